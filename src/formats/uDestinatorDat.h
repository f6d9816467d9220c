// The Destinator binary POI format (.dat): UTF-16LE texts and 64-bit float positions.
#pragma once

#include "formats/uConvertBase.h"

// One record per entry in list order; descriptions go from the ANSI code page to UTF-16LE.
class TConvertToDat : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("destdat"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};

// A record cut short, a text without its terminator or a position that is not a finite number
// raises EUserError "Invalid dat file"; the POIs read before it stay.
class TConvertFromDat : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("destdat"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
