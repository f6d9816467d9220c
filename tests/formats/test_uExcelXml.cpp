// The Excel XML reader.
#include "core/uCodePage.h"
#include "core/uStream.h"
#include "formats/uExcelXml.h"
#include "model/uModel.h"
#include "support/TextFormatSupport.h"

#include <gtest/gtest.h>

namespace {

std::string Fixture(const char* name) { return ReadFixture(QStringLiteral("excelxml/") + QLatin1String(name)); }

void ReadExcel(TEntries& entries, const std::string& bytes)
{
    TMemoryStream stream(bytes);
    entries.LoadFromStream(stream, QStringLiteral("xml"), QStringLiteral("excelxml"), true);
}

} // namespace

TEST(ExcelXml, ReadsOnePoiPerRow)
{
    TEntries entries;
    ReadExcel(entries, Fixture("pois.xml"));
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_DOUBLE_EQ(entries[0].GetLongitude(), 4.9);
    EXPECT_DOUBLE_EQ(entries[0].GetLatitude(), 52.3);
    EXPECT_EQ(entries[0].GetDescription(), "Museum");
    EXPECT_TRUE(entries[0].IpDeparture);
    EXPECT_EQ(entries[1].GetDescription(), UnicodeToAnsi(QStringLiteral("Big Ben Caf\u00e9")));
    EXPECT_DOUBLE_EQ(entries[1].GetLatitude(), 51.5007);
}

TEST(ExcelXml, BadCellsNameColumnAndRow)
{
    struct TCase {
        std::string Text;
        QString Message;
        int Kept;
    };
    const std::string head = "<Workbook xmlns:ss=\"urn:s\"><Worksheet><Table>";
    const std::string tail = "</Table></Worksheet></Workbook>";
    const TCase cases[] = {
        {Fixture("text-in-number.xml"), QStringLiteral("Latitude expected in column 1 of row 7"), 1},
        {Fixture("no-worksheet.xml"), QStringLiteral("File does not contain any worksheets"), 0},
        {"<Workbook><Worksheet>", QStringLiteral("File does not contain any worksheets"), 0},
        {head + "<Row><Cell><Data>1</Data></Cell><Cell><Data>2</Data></Cell></Row><Row><Cell><Data>x</Data></Cell></Row>" + tail,
         QStringLiteral("Longitude expected in column 0 of row 1"), 1},
        {head + "<Row ss:Index=\"\"><Cell><Data>1</Data></Cell></Row>" + tail, QStringLiteral("Latitude expected in column 1 of row 0"), 0},
        // Not well-formed: the document stays empty, so it has no worksheet.
        {head + "<Row><Cell><Data>1</Data></Cell><Cell><Data>2 &amp 3</Data></Cell></Row>" + tail,
         QStringLiteral("File does not contain any worksheets"), 0},
        {"<!DOCTYPE Workbook [<!ENTITY e \"4\">]>" + head + "<Row><Cell><Data>&e;</Data></Cell></Row>" + tail,
         QStringLiteral("File does not contain any worksheets"), 0},
    };
    for (const TCase& c : cases) {
        TEntries entries;
        try {
            ReadExcel(entries, c.Text);
            ADD_FAILURE() << "no error for " << c.Text;
        } catch (const ETarvellError& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_EQ(entries.Count(), c.Kept) << c.Text;
    }
}
