// The converter framework and its registries.
#include "formats/uConvertBase.h"

#include "core/uLocations.h"
#include "core/uOptionSource.h"

#include <cmath>

namespace {

bool SameAscii(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

template <typename Registry>
QString RowsFilter(const Registry& registry)
{
    QStringList pairs;
    for (int i = 0; i < registry.Count(); ++i) {
        const auto* row = registry.Row(i);
        const QString ext = QChar('.') + row->Extension;
        pairs << QStringLiteral("%1 (*%2)|*%2").arg(row->Description, ext);
    }
    return pairs.join(QChar('|'));
}

QString NamePatterns(const QString& extension)
{
    const QString lower = QStringLiteral("*.") + extension.toLower();
    const QString upper = QStringLiteral("*.") + extension.toUpper();
    return lower == upper ? lower : lower + QChar(' ') + upper;
}

template <typename Registry>
QStringList RowsNameFilters(const Registry& registry)
{
    QStringList filters;
    for (int i = 0; i < registry.Count(); ++i) {
        const auto* row = registry.Row(i);
        filters << QStringLiteral("%1 (%2)").arg(row->Description, NamePatterns(row->Extension));
    }
    return filters;
}

template <typename Registry>
void FillList(const Registry& registry, QStringList& strings)
{
    strings.clear();
    for (int i = 0; i < registry.Count(); ++i) {
        const auto* row = registry.Row(i);
        strings << row->Description + QStringLiteral(" (*.") + row->Extension + QChar(')');
    }
}

} // namespace

// --- options ---------------------------------------------------------------------------------

const TOptionInfo* TConvertBase::OptionRow(int i, int assertLine) const
{
    const auto options = Options();
    if (i >= 0 && size_t(i) < options.size())
        return &options[size_t(i)];
    switch (MissingOption()) {
    case TMissingOption::Assert:
        throw EAssertionFailed(QStringLiteral("Assertion failure"), "uConvertBase", assertLine);
    case TMissingOption::Raise:
        throw ETarvellError(tr("Invalid option index"));
    case TMissingOption::Empty:
        return nullptr;
    case TMissingOption::AsFirst:
        AssertOrThrow(!options.empty(), QStringLiteral("Assertion failure"), "uConvertBase", assertLine);
        return &options[0];
    }
    return nullptr;
}

QString TConvertBase::OptionCaption(int i) const
{
    const TOptionInfo* row = OptionRow(i, 390);
    return row ? QCoreApplication::translate(row->Context, row->Caption) : QString();
}

QString TConvertBase::OptionHint(int i) const
{
    const TOptionInfo* row = OptionRow(i, 385);
    return row ? QCoreApplication::translate(row->Context, row->Hint) : QString();
}

TOptionKind TConvertBase::OptionKind(int i) const
{
    const TOptionInfo* row = OptionRow(i, 395);
    return row ? row->Kind : TOptionKind::okBoolean;
}

TOptionValue TConvertBase::OptionDefault(int i) const
{
    const TOptionInfo* row = OptionRow(i, 380);
    if (!row)
        return false;
    if (row->Kind == TOptionKind::okBoolean)
        return row->Default != 0;
    return row->Default;
}

int TConvertBase::OptionMin(int i) const
{
    const TOptionInfo* row = OptionRow(i, 380);
    return row ? row->Min : 0;
}

int TConvertBase::OptionMax(int i) const
{
    const TOptionInfo* row = OptionRow(i, 380);
    return row ? row->Max : 1;
}

bool TConvertBase::ReadBoolOption(int i) const { return ReadBoolOptionFrom(*ActiveOptionSource().OpenSection(OptionSection()), i); }

int TConvertBase::ReadIntegerOption(int i) const { return ReadIntegerOptionFrom(*ActiveOptionSource().OpenSection(OptionSection()), i); }

bool TConvertBase::ReadBoolOptionFrom(const IOptionSection& section, int i) const
{
    const TOptionValue def = OptionDefault(i);
    const bool fallback = std::holds_alternative<bool>(def) ? std::get<bool>(def) : std::get<int>(def) != 0;
    return section.ReadBool(QString::number(i), fallback);
}

int TConvertBase::ReadIntegerOptionFrom(const IOptionSection& section, int i) const
{
    const TOptionValue def = OptionDefault(i);
    const int fallback = std::holds_alternative<int>(def) ? std::get<int>(def) : int(std::get<bool>(def));
    const int value = section.ReadInteger(QString::number(i), fallback);
    // A stored value outside the option's range (a hand-edited store) is not trusted.
    if (const TOptionInfo* row = OptionRow(i, 380); row && (value < row->Min || value > row->Max))
        return fallback;
    return value;
}

TConversionOptions TConvertBase::TakeOptions() const
{
    const IOptionSource& source = ActiveOptionSource();
    TConversionOptions options;
    options.Precision = source.Precision();
    if (OptionCount() == 0)
        return options;
    const std::unique_ptr<IOptionSection> section = source.OpenSection(OptionSection());
    for (int i = 0; i < OptionCount(); ++i) {
        if (OptionKind(i) == TOptionKind::okBoolean)
            options.Values.emplace_back(ReadBoolOptionFrom(*section, i));
        else
            options.Values.emplace_back(ReadIntegerOptionFrom(*section, i));
    }
    return options;
}

bool TConversionOptions::Bool(int i) const { return Integer(i) != 0; }

int TConversionOptions::Integer(int i) const
{
    if (i < 0 || size_t(i) >= Values.size())
        return 0;
    const TOptionValue& value = Values[size_t(i)];
    return std::holds_alternative<bool>(value) ? int(std::get<bool>(value)) : std::get<int>(value);
}

void TConvertBase::WriteBoolOption(int i, bool value) const
{
    ActiveOptionSource().WriteBool(OptionSection(), QString::number(i), value);
}

void TConvertBase::WriteIntegerOption(int i, int value) const
{
    ActiveOptionSource().WriteInteger(OptionSection(), QString::number(i), value);
}

// --- registries ------------------------------------------------------------------------------

template <typename Base>
void TConvertRegistry<Base>::Register(TRow row, TRegisterPosition position, int assertLine)
{
    AssertOrThrow(!row.Extension.contains(QChar('=')), QStringLiteral("Extensions may not contain equal (=) signs"),
                  "uConvertBase", assertLine);
    switch (position) {
    case TRegisterPosition::rpAppend:
        FRows.push_back(std::move(row));
        return;
    case TRegisterPosition::rpFirst:
        FRows.insert(FRows.begin(), std::move(row));
        return;
    case TRegisterPosition::rpBeforeExtension: {
        for (size_t i = 0; i < FRows.size(); ++i) {
            if (SameAscii(FRows[i].Extension, row.Extension)) {
                FRows.insert(FRows.begin() + qsizetype(i), std::move(row));
                return;
            }
        }
        FRows.push_back(std::move(row));
        return;
    }
    }
    throw EEnumError();
}

template <typename Base>
void TConvertRegistry<Base>::Unregister(std::type_index cls)
{
    std::erase_if(FRows, [&](const TRow& row) { return row.Class == cls; });
}

template <typename Base>
int TConvertRegistry<Base>::IndexOf(QString extension, const QString& formatID) const
{
    extension = StripDot(extension);
    int fallback = -1;
    for (int i = 0; i < Count(); ++i) {
        const TRow& row = FRows[size_t(i)];
        if (!SameAscii(row.Extension, extension))
            continue;
        if (fallback < 0)
            fallback = i;
        if (SameAscii(row.FormatID, formatID))
            return i;
    }
    return fallback;
}

template <typename Base>
int TConvertRegistry<Base>::CountForExtension(const QString& extension) const
{
    const QString ext = StripDot(extension);
    int n = 0;
    for (const TRow& row : FRows)
        if (SameAscii(row.Extension, ext))
            ++n;
    return n;
}

template class TConvertRegistry<TConvertToBase>;
template class TConvertRegistry<TConvertFromBase>;

// --- registry class functions ----------------------------------------------------------------

template <typename Base>
typename TRegistryFunctions<Base>::TRegistry& TRegistryFunctions<Base>::Registry()
{
    static TRegistry registry;
    return registry;
}

template <typename Base>
int TRegistryFunctions<Base>::FormatCount() { return Registry().Count(); }

template <typename Base>
std::unique_ptr<Base> TRegistryFunctions<Base>::CreateConverter(const QString& extension, const QString& formatID)
{
    const int i = IndexOf(extension, formatID);
    if (i < 0)
        throw EUserError(Base::NoConverterMessage(StripDot(extension)));
    return Registry().Row(i)->Create();
}

template <typename Base>
std::unique_ptr<Base> TRegistryFunctions<Base>::CreateConverterAt(int i)
{
    const auto* row = Registry().Row(i);
    AssertOrThrow(row != nullptr, QStringLiteral("Converter index %1 out of range").arg(i), "uConvertBase", __LINE__);
    return row->Create();
}

template <typename Base>
int TRegistryFunctions<Base>::IndexOf(const QString& extension, const QString& formatID)
{
    return Registry().IndexOf(extension, formatID);
}

template <typename Base>
int TRegistryFunctions<Base>::FilterIndex(const QString& extension, const QString& formatID)
{
    const int i = IndexOf(extension, formatID);
    return i < 0 ? 1 : i + 1;
}

template <typename Base>
QString TRegistryFunctions<Base>::Description(int i)
{
    const auto* row = Registry().Row(i);
    return row ? row->Description : QString();
}

template <typename Base>
void TRegistryFunctions<Base>::DescriptionOf(const QString& extension, const QString& formatID, QString& text)
{
    const int i = IndexOf(extension, formatID);
    if (i >= 0)
        text = Description(i);
}

template <typename Base>
QString TRegistryFunctions<Base>::Extension(int i)
{
    const auto* row = Registry().Row(i);
    return row ? QChar('.') + row->Extension : QString();
}

template <typename Base>
QString TRegistryFunctions<Base>::FormatIDAt(int i)
{
    const auto* row = Registry().Row(i);
    return row ? row->FormatID : QString();
}

template class TRegistryFunctions<TConvertToBase>;
template class TRegistryFunctions<TConvertFromBase>;

// --- exporters and importers -----------------------------------------------------------------

QString TConvertToBase::NoConverterMessage(const QString& extension)
{
    return tr("Currently it is not possible to save files in this format (extension %1)").arg(extension);
}

int TConvertToBase::IndexOfFormatID(const QString& formatID)
{
    for (int i = 0; i < FormatCount(); ++i)
        if (SameAscii(Registry().Row(i)->FormatID, formatID))
            return i;
    return -1;
}

QString TConvertFromBase::NoConverterMessage(const QString& extension)
{
    return tr("Currently it is not possible to load files from this format (extension %1)").arg(extension);
}

void TConvertFromBase::SetProgress(double percent)
{
    const int whole = std::isfinite(percent) ? static_cast<int>(std::trunc(percent)) : 0;
    if (whole == FLastProgress)
        return;
    FLastProgress = whole;
    if (OnProgress)
        OnProgress(whole);
}

int TConvertFromBase::CountForExtension(const QString& extension) { return Registry().CountForExtension(extension); }

const TConvertFromBase::TRegistry::TRow* TConvertFromBase::ConverterClass(int i) { return Registry().Row(i); }

bool TConvertFromBase::HandlesExtension(int i, const QString& extension)
{
    const auto* row = Registry().Row(i);
    return row && SameAscii(row->Extension, StripDot(extension));
}

// --- writers' numbers ------------------------------------------------------------------------

int64_t RoundExactProduct(double value, double scale)
{
    const double product = value * scale;
    // Ties to even as in the default rounding mode; the sum's trick holds below 2^51.
    constexpr double Shift = 6755399441055744.0;
    const double nearest = std::fabs(product) < 0x1p51 ? (product + Shift) - Shift : std::nearbyint(product);
    // Only a product that came out as an exact half can lie on the other side of it; the product's
    // rounding error, exact from a fused multiply-add, says which side.
    if (std::fabs(product - nearest) != 0.5)
        return static_cast<int64_t>(nearest);
    const double error = std::fma(value, scale, -product);
    if (error > 0)
        return static_cast<int64_t>(product + 0.5);
    if (error < 0)
        return static_cast<int64_t>(product - 0.5);
    return static_cast<int64_t>(nearest);
}

// --- lists and filters -----------------------------------------------------------------------

void FillExporterList(QStringList& strings) { FillList(TConvertToBase::Registry(), strings); }

void FillImporterList(QStringList& strings) { FillList(TConvertFromBase::Registry(), strings); }

QString GetExportFilter() { return RowsFilter(TConvertToBase::Registry()); }

QString GetImportFilter() { return RowsFilter(TConvertFromBase::Registry()); }

QString GetOpenFilter()
{
    const auto& registry = TConvertFromBase::Registry();
    QStringList patterns;
    for (int i = 0; i < registry.Count(); ++i)
        patterns << QStringLiteral("*.") + registry.Row(i)->Extension;
    const QString list = patterns.join(QChar(';'));
    return TConvertBase::tr("All supported filetypes") + QStringLiteral(" (") + list + QStringLiteral(")|") + list
        + QChar('|') + GetImportFilter() + QChar('|') + TConvertBase::tr("All files") + QStringLiteral(" (*.*)|*.*");
}

QStringList GetExportNameFilters() { return RowsNameFilters(TConvertToBase::Registry()); }

QStringList GetImportNameFilters() { return RowsNameFilters(TConvertFromBase::Registry()); }

QStringList GetOpenNameFilters()
{
    const auto& registry = TConvertFromBase::Registry();
    QStringList patterns;
    for (int i = 0; i < registry.Count(); ++i) {
        const QString p = NamePatterns(registry.Row(i)->Extension);
        if (!patterns.contains(p))
            patterns << p;
    }
    QStringList filters;
    filters << TConvertBase::tr("All supported filetypes") + QStringLiteral(" (") + patterns.join(QChar(' ')) + QChar(')');
    filters << GetImportNameFilters();
    filters << TConvertBase::tr("All files") + QStringLiteral(" (*)");
    return filters;
}
