// The converter framework: exporter and importer bases, their two registries, options read from
// the active option source, and the file-dialog lists and filters.
#pragma once

#include "core/uGeneral.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <typeindex>
#include <variant>
#include <vector>

class IOptionSection;
class TEntries;
class TMemoryStream;

enum class TOptionKind { okBoolean = 0, okInteger = 2 };
using TOptionValue = std::variant<bool, int>;

enum class TRegisterPosition { rpAppend = 0, rpFirst = 1, rpBeforeExtension = 2 };

// One row of a converter's option table. Captions and help texts are translated (context
// Context) when shown. Integer values outside Min..Max read back as Default.
struct TOptionInfo {
    const char* Context;
    const char* Caption;
    const char* Hint;
    TOptionKind Kind;
    int Default;
    int Min = 0;
    int Max = 1;
};

// What a converter answers for an option index it does not have.
enum class TMissingOption {
    Assert,     // a programming error (converters without options)
    Raise,      // "Invalid option index"
    Empty,      // empty texts, a false Boolean
    AsFirst,    // answered as index 0
};

// What one conversion reads of the settings, taken once when it starts: its converter's options
// and the coordinate precision. Its threads are handed this and never read the settings (whose
// singleton is the main thread's).
struct TConversionOptions {
    int Precision = 5;
    std::vector<TOptionValue> Values;  // by option index

    // False (0) for an index the converter does not have.
    bool Bool(int i) const;
    int Integer(int i) const;
};

class TConvertBase {
    Q_DECLARE_TR_FUNCTIONS(uConvertBase)
public:
    virtual ~TConvertBase() = default;
    TConvertBase() = default;
    TConvertBase(const TConvertBase&) = delete;
    TConvertBase& operator=(const TConvertBase&) = delete;

    // "Exporters" or "Importers".
    virtual QString Category() const = 0;
    virtual QString FormatID() const = 0;

    int OptionCount() const { return int(Options().size()); }
    QString OptionCaption(int i) const;
    QString OptionHint(int i) const;
    TOptionKind OptionKind(int i) const;
    TOptionValue OptionDefault(int i) const;
    // The range an Integer option's value must lie in (0..1 for other kinds and missing rows).
    int OptionMin(int i) const;
    int OptionMax(int i) const;

    // Options live in section Category + "\" + FormatID, key = the index in decimal, of the
    // active option source (core/uOptionSource.h), read at each call.
    QString OptionSection() const { return Category() + QChar('\\') + FormatID(); }
    bool ReadBoolOption(int i) const;
    int ReadIntegerOption(int i) const;
    void WriteBoolOption(int i, bool value) const;
    void WriteIntegerOption(int i, int value) const;
    // Every option as Read*Option gives it and CoordinatePrecision, the store opened once.
    TConversionOptions TakeOptions() const;

protected:
    virtual std::span<const TOptionInfo> Options() const { return {}; }
    virtual TMissingOption MissingOption() const { return TMissingOption::Assert; }

private:
    // The row for i, or nullptr when the converter answers it as "empty".
    const TOptionInfo* OptionRow(int i, int assertLine) const;
    bool ReadBoolOptionFrom(const IOptionSection& section, int i) const;
    int ReadIntegerOptionFrom(const IOptionSection& section, int i) const;
};

// A registry row: display name, extension (without the dot), format ID and the class.
template <typename Base>
struct TConvertRow {
    QString Description;
    QString Extension;
    QString FormatID;
    std::type_index Class;
    std::function<std::unique_ptr<Base>()> Create;
};

// An ordered list of rows; one instance for exporters, one for importers.
template <typename Base>
class TConvertRegistry {
public:
    using TRow = TConvertRow<Base>;

    void Register(TRow row, TRegisterPosition position, int assertLine);
    void Unregister(std::type_index cls);
    int Count() const { return int(FRows.size()); }
    // Rows; out-of-range indices answer null.
    const TRow* Row(int i) const { return i >= 0 && i < Count() ? &FRows[size_t(i)] : nullptr; }
    int IndexOf(QString extension, const QString& formatID) const;
    int CountForExtension(const QString& extension) const;
    void Clear() { FRows.clear(); }

private:
    std::vector<TRow> FRows;
};

// The registry class functions both converter bases share; Base is the exporter or importer base.
template <typename Base>
class TRegistryFunctions {
public:
    using TRegistry = TConvertRegistry<Base>;

    static TRegistry& Registry();
    template <typename T>
    static void RegisterFormat(const QString& description, const QString& extension,
                               TRegisterPosition position = TRegisterPosition::rpAppend)
    {
        Registry().Register({description, extension, T().FormatID(), std::type_index(typeid(T)),
                             [] { return std::unique_ptr<Base>(new T()); }},
                            position, Base::RegisterAssertLine);
    }
    template <typename T>
    static void UnregisterFormat() { Registry().Unregister(std::type_index(typeid(T))); }

    static int FormatCount();
    // Raises EUserError when no row has the extension.
    static std::unique_ptr<Base> CreateConverter(const QString& extension, const QString& formatID);
    // Raises EAssertionFailed for an index out of range.
    static std::unique_ptr<Base> CreateConverterAt(int i);
    static int IndexOf(const QString& extension, const QString& formatID);
    static int FilterIndex(const QString& extension, const QString& formatID);
    // Out-of-range rows answer empty texts.
    static QString Description(int i);
    // Leaves text as it was when no row is found.
    static void DescriptionOf(const QString& extension, const QString& formatID, QString& text);
    static QString Extension(int i);
    static QString FormatIDAt(int i);
};

class TConvertToBase : public TConvertBase, public TRegistryFunctions<TConvertToBase> {
public:
    QString Category() const override { return QStringLiteral("Exporters"); }
    // Writes all entries to the stream from its position on.
    virtual void Convert(TEntries& entries, TMemoryStream& stream) = 0;
    // Decimals of a coordinate the format keeps; -1 = no limit.
    virtual int Precision() const { return -1; }

    // Copied from the list; writers report nothing.
    std::function<void(int)> OnProgress;

    static int IndexOfFormatID(const QString& formatID);

    // Not a line of this file: the line number the assertion text of a refused registration has
    // always named ("uConvertBase" line 248 for writers, 501 for readers), kept so the message
    // stays the same wherever it is reported.
    static constexpr int RegisterAssertLine = 248;
    static QString NoConverterMessage(const QString& extension);
};

class TConvertFromBase : public TConvertBase, public TRegistryFunctions<TConvertFromBase> {
public:
    QString Category() const override { return QStringLiteral("Importers"); }
    // Reads the stream and appends the entries to the list.
    virtual void Convert(TEntries& entries, TMemoryStream& stream) = 0;

    std::function<void(int)> OnProgress;
    // Truncates the percentage; calls OnProgress only when the whole number changes.
    void SetProgress(double percent);

    static int CountForExtension(const QString& extension);
    // Row i's class, null out of range.
    static const TRegistry::TRow* ConverterClass(int i);
    static bool HandlesExtension(int i, const QString& extension);

    // The readers' line of the same assertion text; see the writers' registry above.
    static constexpr int RegisterAssertLine = 501;
    static QString NoConverterMessage(const QString& extension);

private:
    int FLastProgress = 0;
};

// value x scale rounded once to the nearest integer (ties to even) from the exact product, as the
// writers' fixed-point coordinates are defined. Rounding the product to double first would turn a
// value just off a half into an exact half (52.37135 x 10000 gives 523713.5) and then round it
// the wrong way.
int64_t RoundExactProduct(double value, double scale);

// One line per row: display name + " (*." + extension + ")".
void FillExporterList(QStringList& strings);
void FillImporterList(QStringList& strings);
// Filter strings of the file dialogs, "|"-separated pairs.
QString GetExportFilter();
QString GetImportFilter();
QString GetOpenFilter();
// The same lists as Qt name filters ("Name (*.ext *.EXT)"), in the same order and so with the
// same indices (0-based here).
QStringList GetExportNameFilters();
QStringList GetImportNameFilters();
QStringList GetOpenNameFilters();
