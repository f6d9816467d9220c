// The TomTom binary POI format (.ov2): a bounding-box tree of skipper records over POI records.
#pragma once

#include "formats/uConvertBase.h"

// Writes a skipper tree (option 0 "Optimize", default true) or, with the option off, a flat run
// of POI records in list order. The caller's list is never reordered.
class TConvertToOv2 : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("ttov2"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
    int Precision() const override { return 5; }

protected:
    std::span<const TOptionInfo> Options() const override;
    TMissingOption MissingOption() const override { return TMissingOption::AsFirst; }
};

// Reads flat and tree files; skippers are passed over, deleted POIs dropped. A damaged file
// raises EUserError "Invalid ov2 file"; the POIs read before it stay in the list.
class TConvertFromOv2 : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("ttov2"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
