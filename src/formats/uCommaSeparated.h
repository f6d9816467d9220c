// The Destinator and MioMap comma-separated formats: the description twice, then the
// coordinates, then empty fields. Destinator's is the default reader and writer of csv files.
#pragma once

#include "formats/uConvertBase.h"

class TConvertToCsv : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("dstcsv"); }
    int Precision() const override { return 5; }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};

// Blank lines are skipped; a line with fewer than four fields raises ETarvellError naming it
// (0-based), a coordinate that is not a number EConvertError; the entries of earlier lines stay.
class TConvertFromCsv : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("dstcsv"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};

class TConvertToMioMap : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("miomapcsv"); }
    int Precision() const override { return 4; }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};

// As TConvertFromCsv; fields after the fourth are ignored.
class TConvertFromMioMap : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("miomapcsv"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};
