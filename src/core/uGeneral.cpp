// General routines shared by the whole system.
#include "core/uGeneral.h"

#include "core/uCodePage.h"
#include "core/uVersion.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace {

QStringList& ParamsStore()
{
    static QStringList params;
    return params;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The version record lives in its own ELF section so that GetFileVersionNumbers can find it in
// any executable of the project without running it.
struct TVersionRecord {
    char Magic[16];
    uint32_t Numbers[4];
};

[[gnu::section(".tarvell_version"), gnu::used]] const TVersionRecord EmbeddedVersion = {
    {'T', 'A', 'R', 'V', 'E', 'L', 'L', '-', 'V', 'E', 'R', 'S', 'I', 'O', 'N', 0},
    {TARVELL_VERSION_MAJOR, TARVELL_VERSION_MINOR, TARVELL_VERSION_PATCH, TARVELL_VERSION_TWEAK + 0}};

template <typename T>
bool ReadAt(QFile& file, uint64_t offset, T& out)
{
    if (!file.seek(static_cast<qint64>(offset)))
        return false;
    return file.read(reinterpret_cast<char*>(&out), sizeof(T)) == static_cast<qint64>(sizeof(T));
}

uint16_t Rd16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Rd32(const unsigned char* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
uint64_t Rd64(const unsigned char* p) { return uint64_t(Rd32(p)) | (uint64_t(Rd32(p + 4)) << 32); }

// Finds the ".tarvell_version" section of a little-endian ELF64 file; false when absent.
bool FindVersionSection(QFile& file, TVersionRecord& record)
{
    const qint64 fileSize = file.size();
    unsigned char ehdr[64];
    if (file.read(reinterpret_cast<char*>(ehdr), 64) != 64)
        return false;
    if (std::memcmp(ehdr, "\x7f" "ELF", 4) != 0 || ehdr[4] != 2 || ehdr[5] != 1)
        return false;
    const uint64_t shoff = Rd64(ehdr + 0x28);
    const uint16_t shentsize = Rd16(ehdr + 0x3A);
    const uint16_t shnum = Rd16(ehdr + 0x3C);
    const uint16_t shstrndx = Rd16(ehdr + 0x3E);
    if (shentsize < 64 || shnum == 0 || shstrndx >= shnum)
        return false;
    if (shoff > uint64_t(fileSize) || uint64_t(shnum) * shentsize > uint64_t(fileSize) - shoff)
        return false;
    auto sectionHeader = [&](uint16_t index, unsigned char* out) {
        return file.seek(qint64(shoff + uint64_t(index) * shentsize)) && file.read(reinterpret_cast<char*>(out), 64) == 64;
    };
    unsigned char sh[64];
    if (!sectionHeader(shstrndx, sh))
        return false;
    const uint64_t strOffset = Rd64(sh + 0x18);
    const uint64_t strSize = Rd64(sh + 0x20);
    if (strOffset > uint64_t(fileSize) || strSize > uint64_t(fileSize) - strOffset || strSize > (1u << 24))
        return false;
    if (!file.seek(qint64(strOffset)))
        return false;
    const QByteArray names = file.read(qint64(strSize));
    static constexpr std::string_view wanted = ".tarvell_version";
    for (uint16_t i = 0; i < shnum; ++i) {
        if (!sectionHeader(i, sh))
            return false;
        const uint32_t nameOffset = Rd32(sh);
        if (nameOffset >= uint64_t(names.size()))
            continue;
        const char* name = names.constData() + nameOffset;
        const size_t maxLen = size_t(names.size()) - nameOffset;
        if (strnlen(name, maxLen) != wanted.size() || wanted.compare(0, wanted.size(), name, wanted.size()) != 0)
            continue;
        const uint64_t offset = Rd64(sh + 0x18);
        const uint64_t size = Rd64(sh + 0x20);
        if (size < sizeof(TVersionRecord) || !ReadAt(file, offset, record))
            return false;
        return std::memcmp(record.Magic, EmbeddedVersion.Magic, sizeof record.Magic) == 0;
    }
    return false;
}

} // namespace

ETarvellError::ETarvellError(QString message)
    : FMessage(std::move(message))
    , FUtf8(FMessage.toStdString())
{
}

EAssertionFailed::EAssertionFailed(const QString& text, const char* unit, int line)
    : ETarvellError(QStringLiteral("%1 (%2, line %3)").arg(text, QString::fromLatin1(unit)).arg(line))
{
}

EEnumError::EEnumError()
    : ETarvellError(QStringLiteral("Enum error"))
{
}

void AssertOrThrow(bool cond, const QString& text, const char* unit, int line)
{
    if (!cond)
        throw EAssertionFailed(text, unit, line);
}

namespace {
struct THourglassState {
    std::function<void(bool)> Handler;
    int Depth = 0;
};
THourglassState& Hourglass()
{
    static THourglassState state;
    return state;
}
} // namespace

void SetHourglassHandler(std::function<void(bool busy)> handler) { Hourglass().Handler = std::move(handler); }

THourglass::THourglass()
{
    if (Hourglass().Depth++ == 0 && Hourglass().Handler)
        Hourglass().Handler(true);
}

THourglass::~THourglass()
{
    if (--Hourglass().Depth == 0 && Hourglass().Handler)
        Hourglass().Handler(false);
}

void SetCommandLineParams(const QStringList& params) { ParamsStore() = params; }

const QStringList& CommandLineParams() { return ParamsStore(); }

QString ApplicationTitle()
{
    return QStringLiteral("Tarvell");
}

QString ProductWebSite()
{
    // Deployment data; the environment points tests (and test installations) elsewhere.
    const QString configured = qEnvironmentVariable("TARVELL_WEBSITE");
    QString site = configured.isEmpty() ? QStringLiteral("http://www.tarvell.example") : configured;
    while (site.endsWith(QChar('/')))
        site.chop(1);
    return site;
}

int ParamIndex(const QString& aSwitch)
{
    const QStringList& params = ParamsStore();
    for (int i = 0; i < params.size(); ++i)
        if (params[i].compare(aSwitch, Qt::CaseInsensitive) == 0)
            return i + 1;
    return -1;
}

bool ParamExists(const QString& aSwitch) { return ParamIndex(aSwitch) >= 0; }

bool IsCommandLineSwitch(const QString& param)
{
    static const char* const switches[] = {"/multi", "/update", "/silent", "/tray", "/dev"};
    for (const char* s : switches)
        if (param.compare(QLatin1String(s), Qt::CaseInsensitive) == 0)
            return true;
    return param.startsWith(QLatin1String("/PROF:"), Qt::CaseInsensitive);
}

QStringList CommandLinePaths()
{
    QStringList paths;
    for (const QString& param : ParamsStore())
        if (!IsCommandLineSwitch(param))
            paths << param;
    return paths;
}

std::string StrToHex(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::string HexToStr(std::string_view hex)
{
    AssertOrThrow(hex.size() % 2 == 0, QStringLiteral("Hex text of odd length"), "uGeneral", __LINE__);
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexValue(hex[i]);
        const int lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0)
            throw EConvertError(TGeneralTexts::tr("'%1' is not a valid hexadecimal value")
                                    .arg(QString::fromLatin1(hex.substr(i, 2).data(), 2)));
        out.push_back(char((hi << 4) | lo));
    }
    return out;
}

const TFormatSettings& DotFormatSettings()
{
    static const TFormatSettings settings;
    return settings;
}

namespace {

// The number in text (blanks around allowed), or nothing.
std::optional<double> ParseFloatText(std::string_view trimmed, char separator)
{
    std::string buffer(trimmed);
    if (separator != 0 && separator != '.') {
        for (char& c : buffer)
            if (c == separator)
                c = '.';
    }
    const char* first = buffer.data();
    const char* last = buffer.data() + buffer.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (buffer.empty() || result.ec != std::errc() || result.ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

[[noreturn]] void InvalidFloat(const QString& text)
{
    throw EConvertError(TGeneralTexts::tr("'%1' is not a valid floating point value").arg(text));
}

} // namespace

double StrToFloatSep(std::string_view text, char separator)
{
    const std::string_view trimmed = TrimView(text);
    if (const std::optional<double> value = ParseFloatText(trimmed, separator))
        return *value;
    InvalidFloat(AnsiToUnicode(trimmed));
}

double StrToFloatSepUtf8(std::string_view utf8, char separator)
{
    const std::string_view trimmed = TrimView(utf8);
    if (const std::optional<double> value = ParseFloatText(trimmed, separator))
        return *value;
    InvalidFloat(QString::fromUtf8(trimmed.data(), qsizetype(trimmed.size())));
}

double StrToFloatSep(const QString& text, QChar separator)
{
    const QByteArray bytes = text.toUtf8();
    return StrToFloatSepUtf8(std::string_view(bytes.constData(), size_t(bytes.size())),
                             separator.isNull() ? '\0' : char(separator.unicode() < 128 ? separator.unicode() : '.'));
}

QString FloatToStrSep(double value, QChar separator)
{
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    QString text = QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
    if (!separator.isNull())
        text.replace(QChar('.'), separator);
    return text;
}

std::string FloatToPlainText(double value)
{
    // Coordinates have a few decimals: the first n / 10^k (k <= 6) that reads back as the value
    // is its text, and the 15-digit rounding, as below. Checked by division, so a product
    // rounded the wrong way only means a later k or the general path.
    const double magnitude = std::fabs(value);
    if (magnitude < 1e6) {
        double scale = 1;
        for (int k = 0; k <= 6; ++k, scale *= 10) {
            const double n = std::nearbyint(magnitude * scale);
            if (n / scale != magnitude)
                continue;
            std::array<char, 24> digits;
            const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), int64_t(n)).ptr;
            const std::string_view d(digits.data(), size_t(end - digits.data()));
            // Zero has no sign ("-0" is no coordinate text).
            std::string out = value < 0 ? "-" : "";
            if (k == 0)
                return out += d;
            if (d.size() <= size_t(k)) {
                out += "0.";
                out.append(size_t(k) - d.size(), '0');
                return out += d;
            }
            out += d.substr(0, d.size() - size_t(k));
            out += '.';
            return out += d.substr(d.size() - size_t(k));
        }
    }
    // The shortest text that reads back is the 15-digit rounding whenever it has at most 15
    // significant digits: it lies closer to the value than half a step of 15 digits. That is
    // nearly every coordinate, and far quicker than rounding.
    std::array<char, 400> shortest;  // 330 digits hold the longest fixed text of a finite double
    const auto fixed = std::to_chars(shortest.data(), shortest.data() + shortest.size(), value, std::chars_format::fixed);
    if (fixed.ec == std::errc()) {
        int significant = 0;
        bool leading = true;
        for (const char* c = shortest.data(); c != fixed.ptr; ++c) {
            if (*c < '0' || *c > '9' || (leading && *c == '0'))
                continue;
            leading = false;
            ++significant;
        }
        if (significant <= 15)
            return std::string(shortest.data(), fixed.ptr);
    }
    // Rounded to 15 significant digits: "d.dddddddddddddde+xx".
    std::array<char, 32> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific, 14);
    std::string_view text(buffer.data(), size_t(result.ptr - buffer.data()));
    if (text.find('e') == std::string_view::npos)
        return std::string(text);  // "inf", "nan"
    std::string out;
    if (text.front() == '-') {
        out += '-';
        text.remove_prefix(1);
    }
    const size_t e = text.find('e');
    std::string digits(1, text[0]);
    digits.append(text.substr(2, e - 1 - 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const std::string_view exponentText = text.substr(e + 1);
    int exponent = 0;
    std::from_chars(exponentText.data() + 1, exponentText.data() + exponentText.size(), exponent);
    if (exponentText.front() == '-')
        exponent = -exponent;
    // Digits before the decimal point.
    const int whole = digits == "0" ? 1 : exponent + 1;
    if (whole <= 0) {
        out += "0.";
        out.append(size_t(-whole), '0');
        out += digits;
    } else if (size_t(whole) >= digits.size()) {
        out += digits;
        out.append(size_t(whole) - digits.size(), '0');
    } else {
        out.append(digits, 0, size_t(whole));
        out += '.';
        out.append(digits, size_t(whole));
    }
    return out;
}

namespace {

// The callers hand in UTF-8 (settings, site answers, plug-ins) or 8-bit text of a file in the
// code page; a non-ASCII code-page text is hardly ever valid UTF-8.
QString NumberTextForMessage(std::string_view text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    return utf8.hasError() ? AnsiToUnicode(text) : decoded;
}

} // namespace

int32_t StrToInt32(std::string_view text)
{
    const std::string_view trimmed = TrimView(text);
    const char* first = trimmed.data();
    const char* last = trimmed.data() + trimmed.size();
    if (first != last && *first == '+')
        ++first;
    int32_t value = 0;
    const auto result = std::from_chars(first, last, value);
    if (trimmed.empty() || result.ec != std::errc() || result.ptr != last)
        throw EConvertError(TGeneralTexts::tr("'%1' is not a valid integer value").arg(NumberTextForMessage(trimmed)));
    return value;
}

void AppendFixed(std::string& out, double value, int decimals)
{
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
    char* first = buffer.data();
    // A value that rounds to zero is zero, whatever side it came from: no "-0.00000".
    if (value < 0 && value > -1 && std::all_of(first + 1, result.ptr, [](char c) { return c == '0' || c == '.'; }))
        ++first;
    out.append(first, result.ptr);
}

std::string FloatToFixed(double value, int decimals)
{
    std::string out;
    AppendFixed(out, value, decimals);
    return out;
}

namespace {

constexpr const char* StoredFieldCodes[] = { "7C", "3D", "0D", "0A", "25" };

bool StoredFieldCodeAt(const QString& text, qsizetype i)
{
    for (const char* code : StoredFieldCodes)
        if (QStringView(text).mid(i, 2) == QLatin1String(code))
            return true;
    return false;
}

} // namespace

QString EscapeStoredField(const QString& text, const QString& escaped)
{
    if (!text.contains(QChar('%')) && std::none_of(escaped.begin(), escaped.end(), [&](QChar c) { return text.contains(c); }))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QChar('%') && StoredFieldCodeAt(text, i + 1))
            out += QStringLiteral("%25");
        else if (escaped.contains(c))
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QChar('0')).toUpper();
        else
            out += c;
    }
    return out;
}

QString UnescapeStoredField(const QString& text)
{
    if (!text.contains(QChar('%')))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QChar('%') && StoredFieldCodeAt(text, i + 1)) {
            out += QChar(QStringView(text).mid(i + 1, 2).toUShort(nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

QString CutToken(QString& text, QChar separator)
{
    const qsizetype pos = text.indexOf(separator);
    if (pos < 0) {
        QString token = text;
        text.clear();
        return token;
    }
    QString token = text.left(pos);
    text.remove(0, pos + 1);
    return token;
}

int TokenCount(const QString& text, QChar separator)
{
    QString rest = text;
    int count = 0;
    while (!rest.isEmpty()) {
        CutToken(rest, separator);
        ++count;
    }
    return count;
}

QString TokenAt(const QString& text, QChar separator, int n)
{
    if (n < 0)
        return QString();
    qsizetype start = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype pos = text.indexOf(separator, start);
        if (pos < 0)
            return QString();
        start = pos + 1;
    }
    const qsizetype end = text.indexOf(separator, start);
    return end < 0 ? text.mid(start) : text.mid(start, end - start);
}

QString PadLeft(const QString& text, QChar c, int length)
{
    if (text.size() >= length)
        return text;
    return QString(length - text.size(), c) + text;
}

QString RepeatChar(QChar c, int count) { return count > 0 ? QString(count, c) : QString(); }

void SplitCsvLine(std::string_view line, std::vector<std::string>& fields, int maximum)
{
    fields.clear();
    std::string current;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted && (maximum <= 0 || int(fields.size()) < maximum - 1)) {
            fields.emplace_back(TrimControls(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    fields.emplace_back(TrimControls(current));
}

std::vector<std::string_view> SplitTextLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string_view TrimControls(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::string SingleLineField(std::string_view text, std::string_view dropped, std::string_view blanked)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (dropped.find(c) != std::string_view::npos)
            continue;
        out.push_back(c == '\r' || c == '\n' || blanked.find(c) != std::string_view::npos ? ' ' : c);
    }
    return out;
}

TFileVersionNumbers GetFileVersionNumbers(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    TVersionRecord record{};
    if (!FindVersionSection(file, record))
        return {};
    return {int(record.Numbers[0]), int(record.Numbers[1]), int(record.Numbers[2]), int(record.Numbers[3])};
}

TFileVersionNumbers ProgramVersionNumbers()
{
    return {int(EmbeddedVersion.Numbers[0]), int(EmbeddedVersion.Numbers[1]), int(EmbeddedVersion.Numbers[2]),
            int(EmbeddedVersion.Numbers[3])};
}

namespace {
QString& ExecutableOverride()
{
    static QString path;
    return path;
}
} // namespace

void SetExecutablePathOverride(const QString& path) { ExecutableOverride() = path; }

QString ExecutablePath()
{
    if (!ExecutableOverride().isEmpty())
        return ExecutableOverride();
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return QString();
    return QString::fromLocal8Bit(buffer.data(), n);
}

// Each output byte hides the input under the high byte of a running key that the previous output
// byte advances, so equal letters scramble differently.
std::string ScrambleText(std::string_view text, uint16_t key)
{
    static constexpr uint16_t Mul = 40503;
    static constexpr uint16_t Add = 21617;
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]) ^ static_cast<unsigned char>(key >> 8);
        out[i] = static_cast<char>(c);
        key = static_cast<uint16_t>((c + key) * Mul + Add);
    }
    return out;
}

std::string UnscrambleText(std::string_view text, uint16_t key)
{
    static constexpr uint16_t Mul = 40503;
    static constexpr uint16_t Add = 21617;
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out[i] = static_cast<char>(c ^ static_cast<unsigned char>(key >> 8));
        key = static_cast<uint16_t>((c + key) * Mul + Add);
    }
    return out;
}
