// The TomTom 5 navigator configuration file, read only: its stored favourite locations.
#pragma once

#include "formats/uConvertBase.h"

// Finds each location by its byte signature. Raises EUserError when the file holds none.
class TConvertFromCfg : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("ttcfg"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
