// The reader of the XML spreadsheet a spreadsheet program saves: one POI per row.
#pragma once

#include "formats/uConvertBase.h"

class TConvertFromExcel : public TConvertFromBase {
    Q_DECLARE_TR_FUNCTIONS(uExcelXml)
public:
    QString FormatID() const override { return QStringLiteral("excelxml"); }
    // Throws EUserError without a worksheet, EConvertError naming column and row for a cell that
    // is not a number. Entries read before stay.
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
