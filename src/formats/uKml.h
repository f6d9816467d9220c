// The Google Earth KML reader and writer.
#pragma once

#include "formats/uConvertBase.h"

class TConvertToKml : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("genkml"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};

class TConvertFromKml : public TConvertFromBase {
    Q_DECLARE_TR_FUNCTIONS(uKml)
public:
    QString FormatID() const override { return QStringLiteral("genkml"); }
    // Throws EUserError for text that is not XML or coordinates with fewer than two values,
    // EConvertError for a coordinate that is not a number. Entries read before stay.
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
