// The calibration side file beside a map picture: Name=Value lines, the ten keys below.
#include "maps/uMapCalibration.h"

#include "core/uGeneral.h"
#include "core/uLocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace InfColor;

constexpr std::array<TInfColorName, 24> ColorNames { {
    { "clBlack", clBlack },
    { "clMaroon", clMaroon },
    { "clGreen", clGreen },
    { "clOlive", clOlive },
    { "clNavy", clNavy },
    { "clPurple", clPurple },
    { "clTeal", clTeal },
    { "clGray", clGray },
    { "clSilver", clSilver },
    { "clRed", clRed },
    { "clLime", clLime },
    { "clYellow", clYellow },
    { "clBlue", clBlue },
    { "clFuchsia", clFuchsia },
    { "clAqua", clAqua },
    { "clWhite", clWhite },
    { "clBtnFace", clBtnFace },
    { "clWindow", clWindow },
    { "clWindowText", clWindowText },
    { "clHighlight", clHighlight },
    { "clHighlightText", clHighlightText },
    { "clBtnShadow", clBtnShadow },
    { "clBtnText", clBtnText },
    { "clInfoBk", clInfoBk },
} };

bool IsNamedSystemColor(TInfColor color)
{
    for (const auto& entry : ColorNames)
        if ((entry.Color & SystemColorFlag) && entry.Color == color)
            return true;
    return false;
}

// The keys in the order they are written.
constexpr std::array<const char*, 10> Keys { "Cal1Lon", "Cal1Lat", "Cal1X", "Cal1Y", "Cal2Lon", "Cal2Lat", "Cal2X",
    "Cal2Y", "BackColor", "MapCheck" };

enum KeyIndex { kCal1Lon, kCal1Lat, kCal1X, kCal1Y, kCal2Lon, kCal2Lat, kCal2X, kCal2Y, kBackColor, kMapCheck };

bool SameKey(std::string_view a, const char* b)
{
    const std::string_view key(b);
    if (a.size() != key.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(key[i]))
            return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

QString Latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// A value as the warning shows it: whole, control characters (a NUL among them) as \xNN.
QString Shown(std::string_view text)
{
    QString shown;
    shown.reserve(qsizetype(text.size()));
    for (const char c : text) {
        const auto byte = uint8_t(c);
        if (byte < 0x20 || byte == 0x7F)
            shown += QStringLiteral("\\x") + QStringLiteral("%1").arg(byte, 2, 16, QChar('0')).toUpper();
        else
            shown += QChar(byte);
    }
    return shown;
}

// The value of each key, the first occurrence winning; nullopt for a missing key.
std::array<std::optional<std::string_view>, Keys.size()> SplitValues(std::string_view text)
{
    std::array<std::optional<std::string_view>, Keys.size()> values;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        // CR LF, LF and a lone CR all end a line.
        pos = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view name = Trimmed(line.substr(0, equals));
        for (size_t k = 0; k < Keys.size(); ++k)
            if (!values[k] && SameKey(name, Keys[k]))
                values[k] = Trimmed(line.substr(equals + 1));
    }
    return values;
}

struct EBadValue {
    QString Message;
};

double Degrees(const std::optional<std::string_view>& value, KeyIndex key, double limit)
{
    if (!value)
        throw EBadValue { TMapCalibrationTexts::tr("the value %1 is missing").arg(QLatin1String(Keys[key])) };
    double degrees = 0;
    try {
        degrees = StrToFloatSep(*value, '.');
    } catch (const ETarvellError&) {
        throw EBadValue { TMapCalibrationTexts::tr("%1 = '%2' is not a number").arg(QLatin1String(Keys[key]), Shown(*value)) };
    }
    if (!(std::fabs(degrees) <= limit))
        throw EBadValue {
            TMapCalibrationTexts::tr("%1 = %2 is not a position on earth").arg(QLatin1String(Keys[key]), Shown(*value))
        };
    return degrees;
}

int32_t Pixel(const std::optional<std::string_view>& value, KeyIndex key, int32_t fallback)
{
    if (!value)
        return fallback;
    try {
        return StrToInt32(*value);
    } catch (const ETarvellError&) {
        throw EBadValue {
            TMapCalibrationTexts::tr("%1 = '%2' is not a whole number").arg(QLatin1String(Keys[key]), Shown(*value))
        };
    }
}

} // namespace

QString InfColorToText(TInfColor color)
{
    for (const auto& entry : ColorNames)
        if (entry.Color == color)
            return QLatin1String(entry.Name);
    return QStringLiteral("$%1").arg(color, 8, 16, QChar('0')).toUpper();
}

std::optional<TInfColor> InfColorFromText(const QString& untrimmed)
{
    const QString text = untrimmed.trimmed();
    for (const auto& entry : ColorNames)
        if (text.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0)
            return entry.Color;
    if (text.isEmpty() || text.size() > 11)
        return std::nullopt;
    const QByteArray bytes = text.toLatin1();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    uint64_t value = 0;
    std::from_chars_result result {};
    if (*first == '$')
        result = std::from_chars(first + 1, last, value, 16);
    else
        result = std::from_chars(first, last, value, 10);
    if (result.ec != std::errc() || result.ptr != last || (*first == '$' && first + 1 == last) || value > 0xFFFFFFFFu)
        return std::nullopt;
    TInfColor color = TInfColor(value);
    const TInfColor high = color & 0xFF000000;
    if (high == 0)
        return color;
    // Older files mark system colours with 0x80 in the high byte.
    if (high == 0x80000000)
        color = SystemColorFlag | (color & 0xFF);
    if ((color & 0x00FFFF00) == 0 && IsNamedSystemColor(color))
        return color;
    return std::nullopt;
}

const TInfColorName* InfColorNames(int& count)
{
    count = int(ColorNames.size());
    return ColorNames.data();
}

QString CalibrationFileName(const QString& picturePath)
{
    return picturePath + QStringLiteral(".inf");
}

int32_t MapCheckOf(int64_t pictureFileSize)
{
    return int32_t(uint32_t(uint64_t(pictureFileSize)));
}

TCalibrationLoad ParseCalibration(std::string_view text, int pictureWidth, int pictureHeight, int64_t pictureFileSize)
{
    TCalibrationLoad load;
    load.State = TCalibrationState::Invalid;
    if (int64_t(text.size()) > MaxCalibrationFileSize) {
        load.Message
            = TMapCalibrationTexts::tr("the calibration file is larger than %1 bytes").arg(MaxCalibrationFileSize);
        return load;
    }
    // A byte order mark before the first key (an editor saving UTF-8) is no part of it.
    constexpr std::string_view Bom("\xEF\xBB\xBF");
    if (text.substr(0, Bom.size()) == Bom)
        text.remove_prefix(Bom.size());
    const auto values = SplitValues(text);
    // "MapCheck" is a 32-bit pattern: written signed by older versions, unsigned is read too.
    const auto& check = values[kMapCheck];
    if (!check) {
        load.Message = TMapCalibrationTexts::tr("the value %1 is missing").arg(QLatin1String(Keys[kMapCheck]));
        return load;
    }
    int64_t checkValue = 0;
    {
        const std::string_view digits = *check;
        const char* first = digits.data();
        const char* last = first + digits.size();
        if (first != last && *first == '+')
            ++first;
        const auto result = std::from_chars(first, last, checkValue, 10);
        if (digits.empty() || result.ec != std::errc() || result.ptr != last || checkValue < INT32_MIN
            || checkValue > int64_t(UINT32_MAX)) {
            load.Message = TMapCalibrationTexts::tr("'%1' is not a valid file size").arg(Shown(digits));
            return load;
        }
    }
    if (uint32_t(uint64_t(checkValue)) != uint32_t(uint64_t(pictureFileSize))) {
        load.State = TCalibrationState::SizeMismatch;
        return load;
    }
    TMapCalibration& c = load.Calibration;
    try {
        c.Cal1Lon = Degrees(values[kCal1Lon], kCal1Lon, 180);
        c.Cal1Lat = Degrees(values[kCal1Lat], kCal1Lat, 90);
        c.Cal2Lon = Degrees(values[kCal2Lon], kCal2Lon, 180);
        c.Cal2Lat = Degrees(values[kCal2Lat], kCal2Lat, 90);
        c.Cal1X = Pixel(values[kCal1X], kCal1X, 0);
        c.Cal1Y = Pixel(values[kCal1Y], kCal1Y, pictureHeight);
        c.Cal2X = Pixel(values[kCal2X], kCal2X, pictureWidth);
        c.Cal2Y = Pixel(values[kCal2Y], kCal2Y, 0);
        const auto& colour = values[kBackColor];
        if (colour && !colour->empty()) {
            const auto parsed = InfColorFromText(Latin1(*colour));
            if (!parsed)
                throw EBadValue { TMapCalibrationTexts::tr("'%1' is not a valid colour").arg(Shown(*colour)) };
            c.BackColor = *parsed;
        }
    } catch (const EBadValue& e) {
        load.Calibration = TMapCalibration();
        load.Message = e.Message;
        return load;
    }
    // Degrees the side file cannot tell apart (it keeps 15 digits) are one: compared as written, a
    // calibration that loads also loads again after it is saved.
    const auto same = [](double a, double b) { return FloatToPlainText(a) == FloatToPlainText(b); };
    if (c.Cal1X == c.Cal2X || c.Cal1Y == c.Cal2Y || same(c.Cal1Lon, c.Cal2Lon) || same(c.Cal1Lat, c.Cal2Lat)) {
        load.State = TCalibrationState::Degenerate;
        load.Message = TMapCalibrationTexts::tr("the two calibration points share their X, Y, longitude or latitude");
        return load;
    }
    load.State = TCalibrationState::Calibrated;
    return load;
}

TCalibrationLoad LoadCalibration(const QString& picturePath, int pictureWidth, int pictureHeight)
{
    return LoadCalibrationNative(QFile::encodeName(picturePath), pictureWidth, pictureHeight);
}

TCalibrationLoad LoadCalibrationNative(const QByteArray& nativePicturePath, int pictureWidth, int pictureHeight)
{
    TCalibrationLoad load;
    const QByteArray native = nativePicturePath + ".inf";
    const QString name = VisibleFileName(native);
    const TMapFileRead read = ReadMapFileNative(native, MaxCalibrationFileSize);
    if (read.State == TMapFileRead::Missing)
        return load;
    load.State = TCalibrationState::Invalid;
    if (read.State == TMapFileRead::Refused) {
        load.Message = TMapCalibrationTexts::tr("%1 cannot be read: %2").arg(QDir::toNativeSeparators(name), read.Cause);
        return load;
    }
    // The size of exactly that file, no pattern matching (a picture name may hold "*" or "?").
    struct stat picture {};
    const int64_t pictureSize
        = ::stat(nativePicturePath.constData(), &picture) == 0 && S_ISREG(picture.st_mode) ? int64_t(picture.st_size) : 0;
    return ParseCalibration(
        std::string_view(read.Bytes.constData(), size_t(read.Bytes.size())), pictureWidth, pictureHeight, pictureSize);
}

TMapFileRead ReadMapFile(const QString& path, int64_t maxSize) { return ReadMapFileNative(QFile::encodeName(path), maxSize); }

TMapFileRead ReadMapFileNative(const QByteArray& native, int64_t maxSize)
{
    TMapFileRead read;
    const auto refuse = [&read](const QString& cause) {
        read.State = TMapFileRead::Refused;
        read.Cause = cause;
        read.Bytes.clear();
        return read;
    };
    const auto systemError = [&](int error) {
        return refuse(QString::fromStdString(std::error_code(error, std::generic_category()).message()));
    };
    const auto checkType = [&](const struct stat& info) -> std::optional<QString> {
        if (S_ISDIR(info.st_mode))
            return TMapCalibrationTexts::tr("it is a folder");
        if (!S_ISREG(info.st_mode))
            return TMapCalibrationTexts::tr("it is not a regular file (a pipe, a device or a socket)");
        if (info.st_size > maxSize)
            return TMapCalibrationTexts::tr("it is larger than %1 bytes").arg(maxSize);
        return std::nullopt;
    };
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? read : systemError(errno);
    // Checked before opening too: opening a device may already do something.
    if (const auto cause = checkType(info))
        return refuse(*cause);
    // Without blocking, so that a file swapped for a FIFO in between cannot hold the program.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    struct TCloser {
        int Fd;
        ~TCloser() { ::close(Fd); }
    } closer { fd };
    if (::fstat(fd, &info) != 0)
        return systemError(errno);
    if (const auto cause = checkType(info))
        return refuse(*cause);
    // One byte beyond the bound shows a file that grew after it was measured.
    read.Bytes.resize(qsizetype(std::min<int64_t>(info.st_size, maxSize) + 1));
    qsizetype done = 0;
    while (done < read.Bytes.size()) {
        const ssize_t got = ::read(fd, read.Bytes.data() + done, size_t(read.Bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return systemError(errno);
        if (got == 0)
            break;
        done += got;
        if (done == read.Bytes.size() && done <= maxSize)
            read.Bytes.resize(std::min<qsizetype>(done * 2, qsizetype(maxSize) + 1));
    }
    if (done > maxSize)
        return refuse(TMapCalibrationTexts::tr("it is larger than %1 bytes").arg(maxSize));
    read.Bytes.resize(done);
    read.State = TMapFileRead::Read;
    return read;
}

std::string CalibrationText(const TMapCalibration& c, int64_t pictureFileSize)
{
    std::string text;
    const auto line = [&text](const char* key, const std::string& value) {
        text += key;
        text += '=';
        text += value;
        text += "\r\n";
    };
    line(Keys[kCal1Lon], FloatToPlainText(c.Cal1Lon));
    line(Keys[kCal1Lat], FloatToPlainText(c.Cal1Lat));
    line(Keys[kCal1X], std::to_string(c.Cal1X));
    line(Keys[kCal1Y], std::to_string(c.Cal1Y));
    line(Keys[kCal2Lon], FloatToPlainText(c.Cal2Lon));
    line(Keys[kCal2Lat], FloatToPlainText(c.Cal2Lat));
    line(Keys[kCal2X], std::to_string(c.Cal2X));
    line(Keys[kCal2Y], std::to_string(c.Cal2Y));
    line(Keys[kBackColor], InfColorToText(c.BackColor).toStdString());
    line(Keys[kMapCheck], std::to_string(MapCheckOf(pictureFileSize)));
    return text;
}

void SaveCalibration(const QString& picturePath, const TMapCalibration& calibration)
{
    const QFileInfo picture(picturePath);
    const std::string text = CalibrationText(calibration, picture.isFile() ? picture.size() : 0);
    TAtomicFile file(CalibrationFileName(picturePath));
    if (!file.Open() || !file.Write(text) || !file.Commit())
        throw EUserError(TMapCalibrationTexts::tr("The calibration cannot be saved in the folder %1: %2")
                             .arg(QDir::toNativeSeparators(picture.absolutePath()), file.ErrorString()));
}
