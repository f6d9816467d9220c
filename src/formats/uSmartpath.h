// The Smartpath binary POI format (.ovr): one length-prefixed record per POI.
#pragma once

#include "formats/uConvertBase.h"

// One record per entry in list order; a description is cut to the 247 bytes the length byte
// can count.
class TConvertToOvr : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("ttovr"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
    int Precision() const override { return 4; }
};

// A damaged file raises EUserError "Invalid ovr file"; the POIs read before it stay.
class TConvertFromOvr : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("ttovr"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
