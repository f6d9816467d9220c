// Binds one POI to the edit row of a child window.
#include "app/logic/uEntryEditSync.h"

#include "core/uCodePage.h"
#include "core/uGeneral.h"
#include "model/uModel.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The locale's decimal separator or a dot; a grouping separator is never read, so that "52.370"
// under a decimal-comma locale is 52.37, not 52370.
std::optional<double> ReadDecimal(const QString& text)
{
    const QLocale locale;
    QString plain = text.trimmed();
    if (locale.decimalPoint() != QLatin1String("."))
        plain.replace(locale.decimalPoint(), QStringLiteral("."));
    if (locale.negativeSign() != QLatin1String("-"))
        plain.replace(locale.negativeSign(), QStringLiteral("-"));
    if (locale.positiveSign() != QLatin1String("+"))
        plain.replace(locale.positiveSign(), QStringLiteral("+"));
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(plain, &ok);
    if (ok && std::isfinite(value))
        return value;
    return std::nullopt;
}

// Whole numbers, truncated toward zero; negative or unreadable text is no value.
std::optional<uint8_t> ReadWhole(const QString& text, int maximum)
{
    const std::optional<double> value = ReadDecimal(text);
    if (!value || *value < 0)
        return std::nullopt;
    return uint8_t(std::min(std::trunc(*value), double(maximum)));
}

} // namespace

QString& TEntryEditValues::Text(TEntryEdit edit)
{
    switch (edit) {
    case TEntryEdit::Description: return Description;
    case TEntryEdit::Latitude: return Latitude;
    case TEntryEdit::Longitude: return Longitude;
    case TEntryEdit::LatDeg: return LatDeg;
    case TEntryEdit::LatMin: return LatMin;
    case TEntryEdit::LatSec: return LatSec;
    case TEntryEdit::LonDeg: return LonDeg;
    case TEntryEdit::LonMin: return LonMin;
    case TEntryEdit::LonSec: return LonSec;
    case TEntryEdit::LatSign: return LatSign;
    case TEntryEdit::LonSign: break;
    }
    return LonSign;
}

void TEntryEditSync::FromEntry(const TEntry* entry, TEntryEditValues& values)
{
    values = TEntryEditValues();
    values.Enabled = entry != nullptr;
    if (!entry)
        return;
    const QLocale locale;
    const int decimals = CoordinatePrecision();
    values.Description = AnsiToUnicode(entry->GetDescription());
    values.Latitude = locale.toString(entry->GetLatitude(), 'f', decimals);
    values.Longitude = locale.toString(entry->GetLongitude(), 'f', decimals);
    values.LatDeg = QString::number(entry->GetLatDeg());
    values.LatMin = QString::number(entry->GetLatMin());
    values.LatSec = QString::number(entry->GetLatSec());
    values.LonDeg = QString::number(entry->GetLonDeg());
    values.LonMin = QString::number(entry->GetLonMin());
    values.LonSec = QString::number(entry->GetLonSec());
    values.LatSign = entry->GetLatSouth() ? QStringLiteral("S") : QStringLiteral("N");
    values.LonSign = entry->GetLonWest() ? QStringLiteral("W") : QStringLiteral("E");
}

bool TEntryEditSync::ToEntry(TEntry* entry, TEntryEdit changed, const TEntryEditValues& values)
{
    if (!entry)
        return false;
    const QString& text = values.Text(changed);
    auto whole = [&](uint8_t current, int maximum, void (TEntry::*set)(uint8_t)) {
        const std::optional<uint8_t> value = ReadWhole(text, maximum);
        if (!value || *value == current)
            return false;
        (entry->*set)(*value);
        return true;
    };
    auto decimal = [&](double current, void (TEntry::*set)(double)) {
        const std::optional<double> value = ReadDecimal(text);
        if (!value || *value == current)
            return false;
        (entry->*set)(*value);
        return true;
    };
    switch (changed) {
    case TEntryEdit::Description: {
        const std::string description = UnicodeToAnsi(text);
        if (description == entry->GetDescription())
            return false;
        entry->SetDescription(description);
        return true;
    }
    case TEntryEdit::Latitude: return decimal(entry->GetLatitude(), &TEntry::SetLatitude);
    case TEntryEdit::Longitude: return decimal(entry->GetLongitude(), &TEntry::SetLongitude);
    case TEntryEdit::LatDeg: return whole(entry->GetLatDeg(), 90, &TEntry::SetLatDeg);
    case TEntryEdit::LatMin: return whole(entry->GetLatMin(), 59, &TEntry::SetLatMin);
    case TEntryEdit::LatSec: return whole(entry->GetLatSec(), 59, &TEntry::SetLatSec);
    case TEntryEdit::LonDeg: return whole(entry->GetLonDeg(), 180, &TEntry::SetLonDeg);
    case TEntryEdit::LonMin: return whole(entry->GetLonMin(), 59, &TEntry::SetLonMin);
    case TEntryEdit::LonSec: return whole(entry->GetLonSec(), 59, &TEntry::SetLonSec);
    case TEntryEdit::LatSign:
        entry->SetLatSouth(text != QLatin1String("S"));
        return true;
    case TEntryEdit::LonSign:
        entry->SetLonWest(text != QLatin1String("W"));
        return true;
    }
    return false;
}

QString TEntryEditSync::ApplySignKey(const QString& text, bool minus)
{
    const int at = int(text.indexOf(QChar('-')));
    if (minus)
        return at < 0 ? QChar('-') + text : text;
    if (at < 0)
        return text;
    QString result = text;
    result.remove(at, 1);
    return result;
}

QString TEntryEditSync::LimitInsertion(const QString& before, const QString& after, int limit, int& cursor)
{
    const qsizetype common = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < common && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < common - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const qsizetype inserted = after.size() - prefix - suffix;
    const qsizetype allowed = std::max<qsizetype>(0, limit - (after.size() - inserted));
    if (inserted <= allowed)
        return after;
    QString kept = after.mid(prefix, allowed);
    // Never half a surrogate pair.
    if (!kept.isEmpty() && kept.back().isHighSurrogate())
        kept.chop(1);
    cursor = int(prefix + kept.size());
    return after.left(prefix) + kept + after.right(suffix);
}
