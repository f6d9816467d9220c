// The TomTom itinerary: one route stop per text line with the three itinerary flags.
#pragma once

#include "formats/uConvertBase.h"

class TConvertToItn : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("ttitn"); }
    int Precision() const override { return 5; }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};

// Lines without all three separators are ignored; a field that is not a 32-bit decimal integer
// raises EConvertError (the entries of earlier lines stay). The departure mark comes only from
// the file's flags.
class TConvertFromItn : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("ttitn"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
