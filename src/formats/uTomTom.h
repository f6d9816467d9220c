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
//
// A big file is read on every core: the records' bounds are found first, one after the other,
// then the parts between them are parsed on threads. Entries, progress and errors are those of
// the one-thread read: the record that fails is read again by it.
class TConvertFromOv2 : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("ttov2"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;

private:
    // Files smaller than twice this are read on one thread.
    static constexpr uint64_t MinPartBytes = uint64_t(1) << 19;
    // Reads the records from the stream's position on in parts, up to the end or to the first
    // record that fails; leaves the stream there.
    void ReadInParts(TEntries& entries, TMemoryStream& stream, int precision);
};
