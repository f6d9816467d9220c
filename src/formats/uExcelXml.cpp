// The Excel XML (XML spreadsheet) reader.
//
// Layout as read: rows "Workbook/Worksheet/Table/Row" of every worksheet in document order; in
// each row the "Cell" children by position: 0 longitude, 1 latitude, 2 description (decimal
// degrees, "." decimal point). The cells' own "ss:Index" is not consulted, so a row that skips
// empty cells shifts its columns. A row's "ss:Index" (else its 0-based position) names it in
// messages.
#include "formats/uExcelXml.h"

#include "core/uCodePage.h"
#include "core/uDownload.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "model/uModel.h"

void TConvertFromExcel::Convert(TEntries& entries, TMemoryStream& stream)
{
    const std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
    // Text that does not load leaves the document empty: it then has no worksheet.
    doc->LoadXmlBytes(std::string_view(stream.Current(), size_t(stream.Remaining())));
    if (doc->SelectNodes(QStringLiteral("Workbook/Worksheet")).empty())
        throw EUserError(tr("File does not contain any worksheets"));

    const std::vector<TXmlNode> rows = doc->SelectNodes(QStringLiteral("Workbook/Worksheet/Table/Row"));
    for (size_t i = 0; i < rows.size(); ++i) {
        const TXmlNode& row = rows[i];
        const std::optional<QString> index = row.Attribute(QStringLiteral("ss:Index"));
        const QString r = index && !index->isEmpty() ? *index : QString::number(i);
        const std::vector<TXmlNode> cells = row.SelectNodes(QStringLiteral("Cell"));
        auto cellText = [&](size_t c) { return c < cells.size() ? cells[c].Text() : QString(); };

        double longitude = 0;
        double latitude = 0;
        try {
            longitude = StrToFloatSep(cellText(0), DotFormatSettings().DecimalSeparator);
        } catch (const EConvertError&) {
            throw EConvertError(tr("Longitude expected in column %1 of row %2").arg(0).arg(r));
        }
        try {
            latitude = StrToFloatSep(cellText(1), DotFormatSettings().DecimalSeparator);
        } catch (const EConvertError&) {
            throw EConvertError(tr("Latitude expected in column %1 of row %2").arg(1).arg(r));
        }
        auto entry = std::make_unique<TEntry>();
        entry->SetLongitude(longitude);
        entry->SetLatitude(latitude);
        entry->SetDescription(UnicodeToAnsi(cellText(2)));
        entries.AddEntry(std::move(entry), true);
        SetProgress(double(i) / double(rows.size()) * 100.0);
    }
}
