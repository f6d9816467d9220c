// The calibration side file: keys, defaults, "MapCheck", colours, line ends, bad values, saving.
#include "maps/uMapCalibration.h"

#include "MapTestSupport.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "support/CoreTestHooks.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

constexpr int Width = 1000;
constexpr int Height = 760;
constexpr int64_t FixtureSize = 12345;

TCalibrationLoad ParseFixture(const char* name, int64_t size = FixtureSize)
{
    const std::string text = ReadFixture(name);
    EXPECT_FALSE(text.empty()) << name;
    return ParseCalibration(text, Width, Height, size);
}

} // namespace

TEST(MapCalibration, FourKeysGiveTheCorners)
{
    const TCalibrationLoad load = ParseFixture("four-keys.inf");
    ASSERT_EQ(load.State, TCalibrationState::Calibrated) << load.Message.toStdString();
    const TMapCalibration& c = load.Calibration;
    EXPECT_EQ(c.Cal1Lon, 4.855);
    EXPECT_EQ(c.Cal1Lat, 52.35);
    EXPECT_EQ(c.Cal2Lon, 4.93);
    EXPECT_EQ(c.Cal2Lat, 52.385);
    // South-west corner (0, height), north-east corner (width, 0).
    EXPECT_EQ(c.Cal1X, 0);
    EXPECT_EQ(c.Cal1Y, Height);
    EXPECT_EQ(c.Cal2X, Width);
    EXPECT_EQ(c.Cal2Y, 0);
    EXPECT_EQ(c.BackColor, InfColor::clBtnFace);
}

TEST(MapCalibration, BothLineEndsAndAnyKeyCase)
{
    for (const char* name : { "full-crlf.inf", "full-lf.inf", "mixed-case.inf" }) {
        const TCalibrationLoad load = ParseFixture(name);
        ASSERT_EQ(load.State, TCalibrationState::Calibrated) << name << " " << load.Message.toStdString();
        const TMapCalibration& c = load.Calibration;
        EXPECT_EQ(c.Cal1Lon, 4.86) << name;
        EXPECT_EQ(c.Cal1Lat, 52.351) << name;
        EXPECT_EQ(c.Cal1X, 12) << name;
        EXPECT_EQ(c.Cal1Y, 700) << name;
        EXPECT_EQ(c.Cal2Lon, 4.92) << name;
        EXPECT_EQ(c.Cal2Lat, 52.384) << name;
        EXPECT_EQ(c.Cal2X, 950) << name;
        EXPECT_EQ(c.Cal2Y, 30) << name;
        EXPECT_EQ(c.BackColor, InfColor::clWhite) << name;
    }
    // A lone CR ends a line too.
    std::string text = ReadFixture("full-lf.inf");
    for (char& ch : text)
        if (ch == '\n')
            ch = '\r';
    EXPECT_EQ(ParseCalibration(text, Width, Height, FixtureSize).State, TCalibrationState::Calibrated);
}

TEST(MapCalibration, MapCheckIsA32BitPattern)
{
    const std::string body = "Cal1Lon=4.855\r\nCal1Lat=52.35\r\nCal2Lon=4.93\r\nCal2Lat=52.385\r\nMapCheck=";
    const struct {
        const char* check;
        int64_t fileSize;
        TCalibrationState state;
    } cases[] = {
        { "12345", 12345, TCalibrationState::Calibrated },
        { "12346", 12345, TCalibrationState::SizeMismatch },
        { "0", 0, TCalibrationState::Calibrated },
        // A 3 GiB picture: older files wrote the low 32 bits signed, unsigned reads too.
        { "-1073741824", 3221225472, TCalibrationState::Calibrated },
        { "3221225472", 3221225472, TCalibrationState::Calibrated },
        // Only the low 32 bits count.
        { "5", 4294967301, TCalibrationState::Calibrated },
        { " +12345 ", 12345, TCalibrationState::Calibrated },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCalibration(body + c.check + "\r\n", Width, Height, c.fileSize).State, c.state) << c.check;
    EXPECT_EQ(MapCheckOf(3221225472), -1073741824);
    EXPECT_EQ(MapCheckOf(4294967301), 5);
}

TEST(MapCalibration, ASizeMismatchLeavesNoValues)
{
    const TCalibrationLoad load = ParseFixture("other-size.inf");
    EXPECT_EQ(load.State, TCalibrationState::SizeMismatch);
    // The window keeps its last calibration: nothing here to apply.
    EXPECT_EQ(load.Calibration.Cal1Lon, 0);
}

TEST(MapCalibration, BadFilesGiveTheWarningText)
{
    const std::string geo = "Cal1Lon=4.855\r\nCal1Lat=52.35\r\nCal2Lon=4.93\r\nCal2Lat=52.385\r\n";
    const struct {
        const char* name;
        std::string text;
        const char* inMessage;
    } cases[] = {
        { "no MapCheck", geo, "MapCheck" },
        { "MapCheck not a number", geo + "MapCheck=12a\r\n", "12a" },
        { "MapCheck empty", geo + "MapCheck=\r\n", "file size" },
        { "MapCheck too large", geo + "MapCheck=99999999999\r\n", "99999999999" },
        { "missing latitude", "Cal1Lon=4.855\r\nCal2Lon=4.93\r\nCal2Lat=52.385\r\nMapCheck=12345\r\n", "Cal1Lat" },
        { "nan", "Cal1Lon=nan\r\nCal1Lat=52.35\r\nCal2Lon=4.93\r\nCal2Lat=52.385\r\nMapCheck=12345\r\n", "nan" },
        { "inf", "Cal1Lon=4.855\r\nCal1Lat=inf\r\nCal2Lon=4.93\r\nCal2Lat=52.385\r\nMapCheck=12345\r\n", "inf" },
        { "1e308", "Cal1Lon=4.855\r\nCal1Lat=52.35\r\nCal2Lon=1e308\r\nCal2Lat=52.385\r\nMapCheck=12345\r\n", "1e308" },
        { "latitude beyond a pole",
            "Cal1Lon=4.855\r\nCal1Lat=52.35\r\nCal2Lon=4.93\r\nCal2Lat=90.5\r\nMapCheck=12345\r\n", "90.5" },
        { "bad pixel", geo + "Cal1X=1.5\r\nMapCheck=12345\r\n", "1.5" },
        { "pixel beyond 32 bits", geo + "Cal2Y=4294967296\r\nMapCheck=12345\r\n", "4294967296" },
        { "unknown colour", geo + "BackColor=clMoneyGreen\r\nMapCheck=12345\r\n", "clMoneyGreen" },
        { "garbage", ReadFixture("garbage.inf"), "MapCheck" },
        { "decimal commas", ReadFixture("comma.inf"), "4,855" },
        { "too large", geo + "MapCheck=12345\r\n" + std::string(MaxCalibrationFileSize, ' '), "65536" },
    };
    for (const auto& c : cases) {
        const TCalibrationLoad load = ParseCalibration(c.text, Width, Height, FixtureSize);
        EXPECT_EQ(load.State, TCalibrationState::Invalid) << c.name;
        EXPECT_TRUE(load.Message.contains(QLatin1String(c.inMessage))) << c.name << ": " << load.Message.toStdString();
        // Never a half-read calibration.
        EXPECT_EQ(load.Calibration.Cal1Lon, 0) << c.name;
    }
}

TEST(MapCalibration, DegeneratePointsNeedCalibration)
{
    const TCalibrationLoad load = ParseFixture("degenerate.inf");
    EXPECT_EQ(load.State, TCalibrationState::Degenerate);
    EXPECT_FALSE(load.Message.isEmpty());
    EXPECT_EQ(load.Calibration.Cal1X, 100);
    // A picture of width 0 makes the default points share X.
    const std::string four = ReadFixture("four-keys.inf");
    EXPECT_EQ(ParseCalibration(four, 0, Height, FixtureSize).State, TCalibrationState::Degenerate);
    EXPECT_EQ(ParseCalibration(four, Width, 0, FixtureSize).State, TCalibrationState::Degenerate);
    // Latitudes that differ beyond the 15 digits the file keeps are one latitude: such a file
    // would come back degenerate once saved.
    const std::string close = "Cal1Lon=4.855\r\nCal1Lat=52\r\nCal2Lon=4.93\r\nCal2Lat=52.0000000000000456\r\nMapCheck=12345\r\n";
    EXPECT_EQ(ParseCalibration(close, Width, Height, FixtureSize).State, TCalibrationState::Degenerate);
}

TEST(MapCalibration, ColoursByNameElseHex)
{
    const struct {
        TInfColor color;
        const char* text;
    } cases[] = {
        { InfColor::clBlack, "clBlack" },
        { InfColor::clMaroon, "clMaroon" },
        { InfColor::clGreen, "clGreen" },
        { InfColor::clOlive, "clOlive" },
        { InfColor::clNavy, "clNavy" },
        { InfColor::clPurple, "clPurple" },
        { InfColor::clTeal, "clTeal" },
        { InfColor::clGray, "clGray" },
        { InfColor::clSilver, "clSilver" },
        { InfColor::clRed, "clRed" },
        { InfColor::clLime, "clLime" },
        { InfColor::clYellow, "clYellow" },
        { InfColor::clBlue, "clBlue" },
        { InfColor::clFuchsia, "clFuchsia" },
        { InfColor::clAqua, "clAqua" },
        { InfColor::clWhite, "clWhite" },
        { InfColor::clBtnFace, "clBtnFace" },
        { InfColor::clWindow, "clWindow" },
        { InfColor::clWindowText, "clWindowText" },
        { InfColor::clHighlight, "clHighlight" },
        { InfColor::clHighlightText, "clHighlightText" },
        { InfColor::clBtnShadow, "clBtnShadow" },
        { InfColor::clBtnText, "clBtnText" },
        { InfColor::clInfoBk, "clInfoBk" },
        // 00BBGGRR: red 0x12, green 0x34, blue 0x56.
        { 0x00563412, "$00563412" },
        { 0x000000FE, "$000000FE" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InfColorToText(c.color), QLatin1String(c.text)) << c.text;
        EXPECT_EQ(InfColorFromText(QLatin1String(c.text)), c.color) << c.text;
    }
    int count = 0;
    InfColorNames(count);
    EXPECT_EQ(count, 24);
}

TEST(MapCalibration, ColourTextsRead)
{
    const struct {
        const char* text;
        std::optional<TInfColor> color;
    } cases[] = {
        { "CLBTNFACE", InfColor::clBtnFace },
        { " clRed ", InfColor::clRed },
        { "$ff", 0xFF },
        { "255", 0xFF },
        { "$8000000F", InfColor::clBtnFace },
        { "$FF000005", InfColor::clWindow },
        { "$80000001", std::nullopt },
        { "$01000000", std::nullopt },
        { "$", std::nullopt },
        { "$1G", std::nullopt },
        { "clMoneyGreen", std::nullopt },
        { "-1", std::nullopt },
        { "$100000000", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(InfColorFromText(QLatin1String(c.text)), c.color) << c.text;
}

TEST(MapCalibration, TextRoundTrip)
{
    TMapCalibration c;
    c.Cal1Lon = -4.85512;
    c.Cal1Lat = -52.35001;
    c.Cal1X = -3;
    c.Cal1Y = 761;
    c.Cal2Lon = 179.99999;
    c.Cal2Lat = 89.5;
    c.Cal2X = 1003;
    c.Cal2Y = 2;
    for (const TInfColor colour :
        { InfColor::clBtnFace, InfColor::clInfoBk, InfColor::clAqua, TInfColor(0x00010203) }) {
        c.BackColor = colour;
        const std::string text = CalibrationText(c, FixtureSize);
        const TCalibrationLoad load = ParseCalibration(text, Width, Height, FixtureSize);
        ASSERT_EQ(load.State, TCalibrationState::Calibrated) << load.Message.toStdString();
        const TMapCalibration& r = load.Calibration;
        EXPECT_EQ(r.Cal1Lon, c.Cal1Lon);
        EXPECT_EQ(r.Cal1Lat, c.Cal1Lat);
        EXPECT_EQ(r.Cal1X, c.Cal1X);
        EXPECT_EQ(r.Cal1Y, c.Cal1Y);
        EXPECT_EQ(r.Cal2Lon, c.Cal2Lon);
        EXPECT_EQ(r.Cal2Lat, c.Cal2Lat);
        EXPECT_EQ(r.Cal2X, c.Cal2X);
        EXPECT_EQ(r.Cal2Y, c.Cal2Y);
        EXPECT_EQ(r.BackColor, colour);
    }
    c.BackColor = InfColor::clBtnFace;
    EXPECT_EQ(CalibrationText(c, 3221225472),
        "Cal1Lon=-4.85512\r\nCal1Lat=-52.35001\r\nCal1X=-3\r\nCal1Y=761\r\nCal2Lon=179.99999\r\n"
        "Cal2Lat=89.5\r\nCal2X=1003\r\nCal2Y=2\r\nBackColor=clBtnFace\r\nMapCheck=-1073741824\r\n");
}

class MapCalibrationFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Picture = Dir.filePath(QStringLiteral("my map.jpg"));
        WriteFile(Picture, QByteArray(777, 'x'));
    }
    QTemporaryDir Dir;
    QString Picture;
};

TEST_F(MapCalibrationFiles, SavedThenLoaded)
{
    EXPECT_EQ(LoadCalibration(Picture, Width, Height).State, TCalibrationState::NoSideFile);
    TMapCalibration c;
    c.Cal1Lon = 4.855;
    c.Cal1Lat = 52.35;
    c.Cal1Y = Height;
    c.Cal2Lon = 4.93;
    c.Cal2Lat = 52.385;
    c.Cal2X = Width;
    c.BackColor = InfColor::clSilver;
    SaveCalibration(Picture, c);
    EXPECT_EQ(CalibrationFileName(Picture), Picture + QStringLiteral(".inf"));
    EXPECT_TRUE(QFileInfo::exists(Picture + QStringLiteral(".inf")));
    const TCalibrationLoad load = LoadCalibration(Picture, Width, Height);
    ASSERT_EQ(load.State, TCalibrationState::Calibrated) << load.Message.toStdString();
    EXPECT_EQ(load.Calibration.Cal2Lon, 4.93);
    EXPECT_EQ(load.Calibration.BackColor, InfColor::clSilver);
    // Another picture under the same name voids the calibration.
    WriteFile(Picture, QByteArray(778, 'x'));
    EXPECT_EQ(LoadCalibration(Picture, Width, Height).State, TCalibrationState::SizeMismatch);
}

TEST_F(MapCalibrationFiles, WildcardsInTheNameAreNotPatterns)
{
    // "*.jpg" must not pick up the size of another picture that matches it as a pattern.
    const QString starred = Dir.filePath(QStringLiteral("*.jpg"));
    WriteFile(starred + QStringLiteral(".inf"), "Cal1Lon=1\r\nCal1Lat=1\r\nCal2Lon=2\r\nCal2Lat=2\r\nMapCheck=777\r\n");
    // No picture of exactly that name: size 0, not 777.
    EXPECT_EQ(LoadCalibration(starred, Width, Height).State, TCalibrationState::SizeMismatch);
}

TEST_F(MapCalibrationFiles, LargeOrSpecialSideFilesNameTheCause)
{
    const QString side = Picture + QStringLiteral(".inf");
    WriteFile(side, QByteArray(MaxCalibrationFileSize + 1, '\n'));
    TCalibrationLoad load = LoadCalibration(Picture, Width, Height);
    EXPECT_EQ(load.State, TCalibrationState::Invalid);
    EXPECT_TRUE(load.Message.contains(QLatin1String("65536")));
    QFile::remove(side);
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("my map.jpg.inf")));
    load = LoadCalibration(Picture, Width, Height);
    EXPECT_EQ(load.State, TCalibrationState::Invalid);
    EXPECT_TRUE(load.Message.contains(QLatin1String("folder"))) << load.Message.toStdString();
    EXPECT_FALSE(load.Message.contains(QLatin1String("Unknown error"))) << load.Message.toStdString();
    ASSERT_TRUE(QDir(Dir.path()).rmdir(QStringLiteral("my map.jpg.inf")));
    // A FIFO nobody writes to: refused at once, never waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(side).constData(), 0600), 0);
    load = LoadCalibration(Picture, Width, Height);
    EXPECT_EQ(load.State, TCalibrationState::Invalid);
    EXPECT_TRUE(load.Message.contains(QLatin1String("not a regular file"))) << load.Message.toStdString();
    QFile::remove(side);
    // A link to an endless device: refused, not read.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), side));
    load = LoadCalibration(Picture, Width, Height);
    EXPECT_EQ(load.State, TCalibrationState::Invalid);
    EXPECT_TRUE(load.Message.contains(QLatin1String("not a regular file"))) << load.Message.toStdString();
}

TEST(MapCalibration, ByteOrderMarkIsSkippedAndControlBytesAreShown)
{
    const std::string geo = "Cal1Lon=4.855\r\nCal1Lat=52.35\r\nCal2Lon=4.93\r\nCal2Lat=52.385\r\n";
    TCalibrationLoad load = ParseCalibration("\xEF\xBB\xBF" + geo + "MapCheck=12345\r\n", Width, Height, FixtureSize);
    ASSERT_EQ(load.State, TCalibrationState::Calibrated) << load.Message.toStdString();
    EXPECT_EQ(load.Calibration.Cal1Lon, 4.855);
    // A NUL inside a value: the whole value in the warning, the rest after the NUL too.
    const std::string withNul = std::string("Cal1Lon=4.8") + '\0' + "55tail\r\nCal1Lat=52.35\r\nCal2Lon=4.93\r\nCal2Lat=52.385\r\nMapCheck=12345\r\n";
    load = ParseCalibration(withNul, Width, Height, FixtureSize);
    EXPECT_EQ(load.State, TCalibrationState::Invalid);
    EXPECT_FALSE(load.Message.contains(QChar(0)));
    EXPECT_TRUE(load.Message.contains(QLatin1String("Cal1Lon = '4.8\\x0055tail'"))) << load.Message.toStdString();
    load = ParseCalibration(geo + "Cal2X=7\x01" + "9\r\nMapCheck=12345\r\n", Width, Height, FixtureSize);
    EXPECT_TRUE(load.Message.contains(QLatin1String("'7\\x019'"))) << load.Message.toStdString();
}

TEST_F(MapCalibrationFiles, AFailedSaveNamesTheFolderAndKeepsTheOldFile)
{
    TMapCalibration c;
    c.Cal1Lon = 1;
    c.Cal2Lon = 2;
    c.Cal1Lat = 1;
    c.Cal2Lat = 2;
    c.Cal2X = 5;
    c.Cal1Y = 5;
    SaveCalibration(Picture, c);
    const std::string before = LoadBytesFromFile(Picture + QStringLiteral(".inf"));
    SetAtomicFileFaultHook([](const QString&) { throw EInOutError(QStringLiteral("killed")); });
    c.Cal2Lon = 3;
    EXPECT_THROW(SaveCalibration(Picture, c), ETarvellError);
    SetAtomicFileFaultHook({});
    EXPECT_EQ(LoadBytesFromFile(Picture + QStringLiteral(".inf")), before);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 2) << "no temporary file left";

    const QString missing = Dir.filePath(QStringLiteral("gone/map.jpg"));
    try {
        SaveCalibration(missing, c);
        FAIL() << "saved into a missing folder";
    } catch (const EUserError& e) {
        EXPECT_TRUE(e.Message().contains(QDir::toNativeSeparators(Dir.filePath(QStringLiteral("gone")))))
            << e.Message().toStdString();
    }
}
