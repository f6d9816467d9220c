// The MioMap version 3 / iGo binary POI format (.upd): fixed 80-byte records.
#pragma once

#include "formats/uConvertBase.h"

// One record per entry in list order; option 0 "Country code" (default 8) is written into each.
class TConvertToMioMapV3 : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("miomapv3"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;

protected:
    std::span<const TOptionInfo> Options() const override;
    TMissingOption MissingOption() const override { return TMissingOption::Empty; }
};

// The description is built from the country, type and angle fields. A last record cut short
// raises EUserError "Invalid upd file"; the POIs read before it stay.
class TConvertFromMioMapV3 : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("miomapv3"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
