// The Garmin MapSource database format (.gdb), read only: its waypoints become POIs.
#pragma once

#include "formats/uConvertBase.h"

// A wrong header raises EUserError "Invalid gdb file header", an unknown version "Invalid gdb
// file version", a damaged record "Invalid gdb file"; the waypoints read before it stay.
class TConvertFromGdb : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("gdb"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
