// The ASCII text family: five line layouts of longitude, latitude and description.
#pragma once

#include "formats/uConvertBase.h"

#include <QDate>

#include <functional>

// Writes an optional comment header and one line per entry in the class's column layout.
class TConvertToAscBase : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("genasc"); }
    int Precision() const override { return 5; }
    void Convert(TEntries& entries, TMemoryStream& stream) override;

    // 0: longitude, latitude, description; 1: description, longitude, latitude;
    // 2: description, latitude, longitude.
    virtual bool WriteHeader() const { return true; }
    virtual int Layout() const { return 0; }

    // The date in the header; tests make it fixed.
    std::function<QDate()> Today = [] { return QDate::currentDate(); };
};

// Reads lines of the class's layout; comment lines (";") and blank lines are skipped.
class TConvertFromAscBase : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("genasc"); }
    // Throws ETarvellError for a line with too few or too many fields, EConvertError for a
    // coordinate that is not a number; the entries of earlier lines stay.
    void Convert(TEntries& entries, TMemoryStream& stream) override;

    // Layouts 0-2 as the writer's; 3: longitude, latitude, description in the last field (or the
    // third, see DescriptionColumn).
    virtual int Layout() const { return 0; }
    virtual int MinColumns() const { return 3; }
    virtual int MaxColumns() const { return 3; }
    // A first line that does not convert is a header of column titles.
    virtual bool SkipBadFirstLine() const { return false; }

protected:
    // Field index of the description in a line of fieldCount fields, for layout 3.
    virtual int DescriptionColumn(int fieldCount) const { return fieldCount - 1; }
};

class TConvertToAsc : public TConvertToAscBase {
public:
    // The settings' precision when option 0 is on, else option 1.
    int Precision() const override;

protected:
    std::span<const TOptionInfo> Options() const override;
    TMissingOption MissingOption() const override { return TMissingOption::Raise; }
};

class TConvertFromAsc : public TConvertFromAscBase { };

class TConvertToNavmanCsv : public TConvertToAscBase {
public:
    QString FormatID() const override { return QStringLiteral("navmancsv"); }
};

class TConvertFromNavmanCsv : public TConvertFromAscBase {
public:
    QString FormatID() const override { return QStringLiteral("navmancsv"); }
};

class TConvertToNavio : public TConvertToAscBase {
public:
    QString FormatID() const override { return QStringLiteral("navioasc"); }
};

class TConvertFromNavio : public TConvertFromAscBase {
public:
    QString FormatID() const override { return QStringLiteral("navioasc"); }
};

class TConvertToNavioCsv : public TConvertToAscBase {
public:
    QString FormatID() const override { return QStringLiteral("naviocsv"); }
    int Layout() const override { return 2; }
};

class TConvertFromNavioCsv : public TConvertFromAscBase {
public:
    QString FormatID() const override { return QStringLiteral("naviocsv"); }
    int Layout() const override { return 2; }
};

class TConvertToGarminCsv : public TConvertToAscBase {
public:
    QString FormatID() const override { return QStringLiteral("garmincsv"); }
    bool WriteHeader() const override { return false; }
};

// Three or four fields: longitude, latitude, name[, comment]; the comment is the description
// unless option 0 asks for the name.
class TConvertFromGarminCsv : public TConvertFromAscBase {
public:
    QString FormatID() const override { return QStringLiteral("garmincsv"); }
    int Layout() const override { return 3; }
    int MaxColumns() const override { return 4; }
    bool SkipBadFirstLine() const override { return true; }
    void Convert(TEntries& entries, TMemoryStream& stream) override;

protected:
    int DescriptionColumn(int fieldCount) const override { return FThirdColumn ? 2 : fieldCount - 1; }
    std::span<const TOptionInfo> Options() const override;
    TMissingOption MissingOption() const override { return TMissingOption::Raise; }

private:
    bool FThirdColumn = false;
};
