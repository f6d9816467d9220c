// The Mitac speed camera format (.mtc), read only.
#pragma once

#include "formats/uConvertBase.h"

// The camera's type and angle are folded into the description. A wrong signature, a first-record
// offset outside the file or a record cut short raises EUserError "Invalid Mitac file"; the
// cameras read before it stay.
class TConvertFromMitac : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("mitacmtc"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
