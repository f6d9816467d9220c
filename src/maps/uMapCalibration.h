// The calibration side file beside a map picture (<picture file>.inf): its keys, defaults and colours.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

// A colour as the side file stores it: 00BBGGRR, or a system colour 0xFF0000nn (nn = its index).
using TInfColor = uint32_t;

namespace InfColor {
constexpr TInfColor clBlack = 0x000000;
constexpr TInfColor clMaroon = 0x000080;
constexpr TInfColor clGreen = 0x008000;
constexpr TInfColor clOlive = 0x008080;
constexpr TInfColor clNavy = 0x800000;
constexpr TInfColor clPurple = 0x800080;
constexpr TInfColor clTeal = 0x808000;
constexpr TInfColor clGray = 0x808080;
constexpr TInfColor clSilver = 0xC0C0C0;
constexpr TInfColor clRed = 0x0000FF;
constexpr TInfColor clLime = 0x00FF00;
constexpr TInfColor clYellow = 0x00FFFF;
constexpr TInfColor clBlue = 0xFF0000;
constexpr TInfColor clFuchsia = 0xFF00FF;
constexpr TInfColor clAqua = 0xFFFF00;
constexpr TInfColor clWhite = 0xFFFFFF;
constexpr TInfColor SystemColorFlag = 0xFF000000;
constexpr TInfColor clWindow = SystemColorFlag | 5;
constexpr TInfColor clWindowText = SystemColorFlag | 8;
constexpr TInfColor clHighlight = SystemColorFlag | 13;
constexpr TInfColor clHighlightText = SystemColorFlag | 14;
constexpr TInfColor clBtnFace = SystemColorFlag | 15;
constexpr TInfColor clBtnShadow = SystemColorFlag | 16;
constexpr TInfColor clBtnText = SystemColorFlag | 18;
constexpr TInfColor clInfoBk = SystemColorFlag | 24;
} // namespace InfColor

// The symbolic name when the colour has one ("clBtnFace"), else "$" and 8 hex digits (00BBGGRR).
QString InfColorToText(TInfColor color);
// A symbolic name (any case) or "$" and hex digits; nullopt for anything else, a system colour
// that is not one of the named ones among them.
std::optional<TInfColor> InfColorFromText(const QString& text);
// The named colours, basic ones first, in the order a colour box lists them.
struct TInfColorName {
    const char* Name;
    TInfColor Color;
};
const TInfColorName* InfColorNames(int& count);

// What a side file holds.
struct TMapCalibration {
    double Cal1Lon = 0;
    double Cal1Lat = 0;
    int32_t Cal1X = 0;
    int32_t Cal1Y = 0;
    double Cal2Lon = 0;
    double Cal2Lat = 0;
    int32_t Cal2X = 0;
    int32_t Cal2Y = 0;
    TInfColor BackColor = InfColor::clBtnFace;
};

enum class TCalibrationState {
    Calibrated, // Calibration holds the file's values
    NoSideFile, // no side file: the geographic points are cleared, the panel shown
    SizeMismatch, // "MapCheck" is not the picture's size: the last calibration stays, the panel shown
    Invalid, // unreadable values: the panel and a warning with Message
    Degenerate, // the points share X, Y, longitude or latitude: Calibration holds them, the panel shown
};

struct TCalibrationLoad {
    TCalibrationState State = TCalibrationState::NoSideFile;
    TMapCalibration Calibration;
    // Invalid: the reason, for "Loading of calibration data failed: %s ..."; Degenerate: why.
    QString Message;
};

class TMapCalibrationTexts {
    Q_DECLARE_TR_FUNCTIONS(uMapCalibration)
};

// A whole file read from the maps folder: only a regular file is opened (a FIFO, a device or a
// socket is refused without waiting on it), and no more than the bound is read.
struct TMapFileRead {
    enum TState { Read, Missing, Refused } State = Missing;
    QByteArray Bytes;
    // Why it was not read ("it is a folder", "it is larger than ... bytes", the system's text).
    QString Cause;
};
TMapFileRead ReadMapFile(const QString& path, int64_t maxSize);
// The same for a path as the file system's bytes (a name that is not UTF-8 too).
TMapFileRead ReadMapFileNative(const QByteArray& nativePath, int64_t maxSize);

// Side files larger than this are refused unread.
constexpr int64_t MaxCalibrationFileSize = 64 * 1024;

// The side file of a picture: the full picture path with ".inf" appended.
QString CalibrationFileName(const QString& picturePath);
// "MapCheck" as written: the low 32 bits of the size, as a signed number (existing files rely on it).
int32_t MapCheckOf(int64_t pictureFileSize);

// Parses side-file text (either line end) for a picture of the given size in pixels and its file
// size in bytes. Missing pixel keys take the defaults (0, height, width, 0).
TCalibrationLoad ParseCalibration(std::string_view text, int pictureWidth, int pictureHeight, int64_t pictureFileSize);
// Reads the side file of the picture at picturePath (its own size taken from the file system).
TCalibrationLoad LoadCalibration(const QString& picturePath, int pictureWidth, int pictureHeight);
// The same for a picture path as the file system's bytes.
TCalibrationLoad LoadCalibrationNative(const QByteArray& nativePicturePath, int pictureWidth, int pictureHeight);

// The ten keys in their order, CR LF line ends, numbers with ".".
std::string CalibrationText(const TMapCalibration& calibration, int64_t pictureFileSize);
// Writes the side file of the picture at picturePath atomically, "MapCheck" from the picture's
// current size. Throws EUserError naming the folder when it cannot be written.
void SaveCalibration(const QString& picturePath, const TMapCalibration& calibration);
