// The internal map window's rules: the picture list, zoom and wheel steps, the rubber band, the
// visible entries, the current entry's mark, the hint, a picked position and the calibration checks.
#include "maps/uMapInternal.h"
#include "maps/uMapCalibration.h"
#include "maps/uMapScale.h"
#include "core/uLocations.h"
#include "model/uModel.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class MapInternalTest : public CleanSettingsTest { };

// A list of POIs named by their index, at (lon, lat).
struct TPlace {
    const char* Name;
    double Lon, Lat;
};

std::unique_ptr<TEntries> ListOf(std::initializer_list<TPlace> places)
{
    auto list = std::make_unique<TEntries>();
    for (const TPlace& p : places)
        list->Add(p.Name, "", p.Lon, p.Lat);
    return list;
}

std::string Names(const TEntries& list)
{
    std::string names;
    for (int i = 0; i < list.Count(); ++i)
        names += (i ? "," : "") + std::string(list[i].GetDescription());
    return names;
}

void Touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST_F(MapInternalTest, PictureListHoldsTheFourKindsSortedIgnoringCase)
{
    QTemporaryDir dir;
    for (const char* name : { "zoo.JPG", "Amsterdam.gif", "amsterdam.bmp", "b.wmf", "c.jpeg", "d.png", "e.jpg.inf",
             ".hidden.bmp", "noextension", "Amsterdam.GIF" })
        Touch(dir.filePath(QLatin1String(name)));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.jpg")));
    // Neither a FIFO, nor a link to a device, nor a link to nothing.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.jpg"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("zero.wmf"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling.gif"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("zoo.JPG")), dir.filePath(QStringLiteral("link.bmp"))));
    const QStringList names = ListMapPictures(dir.path() + QLatin1Char('/'));
    // Names equal but for case keep one order, so a stored index names one picture.
    EXPECT_EQ(names,
        (QStringList { QStringLiteral(".hidden.bmp"), QStringLiteral("amsterdam.bmp"), QStringLiteral("Amsterdam.GIF"),
            QStringLiteral("Amsterdam.gif"), QStringLiteral("b.wmf"), QStringLiteral("link.bmp"), QStringLiteral("zoo.JPG") }));
    EXPECT_TRUE(ListMapPictures(dir.filePath(QStringLiteral("missing/"))).isEmpty());
}

// Names with a tab or a line break, or not UTF-8 at all: listed, shown escaped, and their own
// bytes kept to open them.
TEST_F(MapInternalTest, OddPictureNamesAreListedEscapedWithTheirBytes)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    for (const QByteArray& name : { QByteArray("tab\there.jpg"), QByteArray("two\nlines.bmp"), QByteArray("caf\xe9.gif") }) {
        const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0) << name.constData();
        ::close(fd);
    }
    const std::vector<TMapPictureName> names = ListMapPictureNames(dir.path() + QLatin1Char('/'));
    ASSERT_EQ(names.size(), size_t(3));
    EXPECT_EQ(names[0].Native, QByteArray("caf\xe9.gif"));
    EXPECT_EQ(names[0].Shown, VisibleFileName(QByteArray("caf\xe9.gif")));
    EXPECT_EQ(names[0].Shown, QStringLiteral("caf\\xE9.gif"));
    EXPECT_EQ(names[1].Native, QByteArray("tab\there.jpg"));
    EXPECT_FALSE(names[1].Shown.contains(QLatin1Char('\t')));
    EXPECT_EQ(names[2].Native, QByteArray("two\nlines.bmp"));
    EXPECT_FALSE(names[2].Shown.contains(QLatin1Char('\n')));
    for (const TMapPictureName& name : names)
        EXPECT_EQ(ReadMapFileNative(folder + name.Native, 100).State, TMapFileRead::Read) << name.Shown.toStdString();
}

TEST_F(MapInternalTest, MapsFolderIsBesideTheExecutableUnlessChosen)
{
    EXPECT_TRUE(MapsFolder().endsWith(QStringLiteral("/maps/")));
    SetMapsFolder(QStringLiteral("/somewhere/"));
    EXPECT_EQ(MapsFolder(), QStringLiteral("/somewhere/"));
    SetMapsFolder(QString());
    EXPECT_TRUE(MapsFolder().endsWith(QStringLiteral("/maps/")));
}

TEST_F(MapInternalTest, ZoomStopsAtFourAndAHalf)
{
    struct TCase {
        bool HasPicture;
        double Factor;
        bool In, Out;
    };
    const TCase cases[] = {
        { true, 1, true, true },
        { true, 2, true, true },
        { true, 4, false, true },
        { true, 0.5, true, false },
        { true, 3.99, true, true },
        { false, 1, false, false },
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CanZoomIn(c.HasPicture, c.Factor), c.In) << c.Factor;
        EXPECT_EQ(CanZoomOut(c.HasPicture, c.Factor), c.Out) << c.Factor;
    }
}

TEST_F(MapInternalTest, WheelMovesSixOrTwentyFourPixelsPerNotch)
{
    struct TCase {
        int Delta;
        bool Ctrl;
        int Step;
    };
    const TCase cases[] = { { 120, false, 6 }, { 120, true, 24 }, { -120, false, -6 }, { -240, true, -48 },
        { 19, false, 0 }, { -19, false, 0 }, { 4, true, 0 }, { 30, false, 1 } };
    for (const TCase& c : cases)
        EXPECT_EQ(WheelScrollStep(c.Delta, c.Ctrl), c.Step) << c.Delta << " " << c.Ctrl;
}

TEST_F(MapInternalTest, BandKeepsOnlyEntriesStrictlyInsideAndTheCurrentOneFollows)
{
    struct TCase {
        int Current;
        TGeoRect Band;
        const char* Kept;
        int NewCurrent;
    };
    // a and e lie on the band's edges, d outside.
    const TGeoRect band { 4.0, 5.0, 52.0, 53.0 };
    const TCase cases[] = {
        { 2, band, "b,c", 1 },
        { 1, band, "b,c", 0 },
        { 0, band, "b,c", -1 },
        { 3, band, "b,c", -1 },
        { -1, band, "b,c", -1 },
        { 7, band, "b,c", -1 },
        { 2, { 3.0, 6.0, 51.0, 54.0 }, "a,b,c,d,e", 2 },
        { 1, { 4.0, 4.0, 52.0, 53.0 }, "", -1 },
    };
    for (const TCase& c : cases) {
        auto source = ListOf({ { "a", 4.0, 52.5 }, { "b", 4.5, 52.5 }, { "c", 4.9, 52.9 }, { "d", 5.5, 52.5 }, { "e", 4.5, 53.0 } });
        auto view = TEntries::CreateView(*source);
        for (int i = 0; i < source->Count(); ++i)
            view->AddEntry(&(*source)[i], false);
        EXPECT_EQ(KeepStrictlyInside(*view, c.Band, c.Current), c.NewCurrent) << c.Current << " " << c.Kept;
        EXPECT_EQ(Names(*view), c.Kept);
        EXPECT_EQ(source->Count(), 5) << "the child's list keeps its POIs";
    }
}

TEST_F(MapInternalTest, BandCornersInAnyOrderGiveOneRectangle)
{
    for (const auto& [lon1, lat1, lon2, lat2] : { std::tuple { 4.0, 53.0, 5.0, 52.0 }, std::tuple { 5.0, 52.0, 4.0, 53.0 },
             std::tuple { 4.0, 52.0, 5.0, 53.0 }, std::tuple { 5.0, 53.0, 4.0, 52.0 } }) {
        const TGeoRect rect = GeoRectOf(lon1, lat1, lon2, lat2);
        EXPECT_EQ(rect.West, 4.0);
        EXPECT_EQ(rect.East, 5.0);
        EXPECT_EQ(rect.South, 52.0);
        EXPECT_EQ(rect.North, 53.0);
    }
}

TEST_F(MapInternalTest, EntriesOnTheVisibleEdgeAreDrawn)
{
    const TGeoRect visible { 4.0, 5.0, 52.0, 53.0 };
    auto list = ListOf({ { "w", 4.0, 52.5 }, { "e", 5.0, 52.5 }, { "s", 4.5, 52.0 }, { "n", 4.5, 53.0 }, { "in", 4.5, 52.5 },
        { "out", 5.00001, 52.5 }, { "below", 4.5, 51.99999 } });
    std::string drawn;
    for (int i = 0; i < list->Count(); ++i)
        if (InsideInclusive((*list)[i], visible))
            drawn += std::string((*list)[i].GetDescription()) + " ";
    EXPECT_EQ(drawn, "w e s n in ");
}

TEST_F(MapInternalTest, MarkScrollsIntoViewNoFurtherThanNeeded)
{
    struct TCase {
        int Left, Top;
        TScrollPos Now;
        TScrollPos Expected;
    };
    // A 32 x 32 mark, a 200 x 100 client area.
    const TCase cases[] = {
        { 50, 40, { 0, 0 }, { 0, 0 } }, // in view
        { 10, 40, { 20, 0 }, { 10, 0 } }, // left of the view
        { 300, 40, { 0, 0 }, { 132, 0 } }, // beyond the right edge
        { 168, 68, { 0, 0 }, { 0, 0 } }, // touching the right and bottom edges
        { 169, 69, { 0, 0 }, { 1, 1 } },
        { 50, 5, { 0, 10 }, { 0, 5 } }, // above
        { 50, 500, { 0, 0 }, { 0, 432 } }, // below
    };
    for (const TCase& c : cases) {
        const TScrollPos pos = ScrollToShow(c.Left, c.Top, 32, 32, c.Now, 200, 100);
        EXPECT_EQ(pos.Horizontal, c.Expected.Horizontal) << c.Left << "," << c.Top;
        EXPECT_EQ(pos.Vertical, c.Expected.Vertical) << c.Left << "," << c.Top;
    }
}

TEST_F(MapInternalTest, HintNamesTheEntryWhoseMarkerIsNearestWithinEightPixels)
{
    QLocale::setDefault(QLocale::c());
    // 400 pixels a degree both ways: lon 4 at x 0, lat 52.75 at y 0.
    TMapScale scale;
    scale.Cal1Lon = 4;
    scale.Cal1Lat = 52;
    scale.Cal1X = 0;
    scale.Cal1Y = 300;
    scale.Cal2Lon = 5;
    scale.Cal2Lat = 52.75;
    scale.Cal2X = 400;
    scale.Cal2Y = 0;
    scale.UpdateScale();
    // Pixels: far (40, 260), near (204, 96), nearer (200, 100), twin (200, 100) after nearer.
    auto list = ListOf({ { "far", 4.1, 52.1 }, { "near", 4.51, 52.51 }, { "nearer", 4.5, 52.5 }, { "twin", 4.5, 52.5 } });
    struct TCase {
        int X, Y;
        double Zoom;
        int Found;
    };
    const TCase cases[] = {
        { 200, 100, 1, 2 }, // on nearer (and its twin): the first of the two
        { 203, 97, 1, 1 }, // nearer to near's marker, although near comes first in the list too
        { 201, 99, 1, 2 },
        { 208, 100, 1, 1 }, // 8 pixels from nearer, 5.7 from near
        { 212, 96, 1, 1 }, // 8 pixels from near
        { 213, 96, 1, -1 }, // 9 pixels: none
        { 40, 260, 1, 0 },
        { 47, 260, 1, 0 },
        { 40, 269, 1, -1 },
        { 400, 200, 2, 2 }, // the reach stays 8 pixels at zoom 2: near is at (408, 192)
        { 409, 200, 2, -1 },
    };
    for (const TCase& c : cases) {
        scale.SetZoom(c.Zoom);
        EXPECT_EQ(FindNearestEntry(*list, scale, c.X, c.Y), c.Found) << c.X << "," << c.Y << " zoom " << c.Zoom;
    }
    EXPECT_EQ(MapHintText((*list)[2], 5), QStringLiteral("nearer\nLat/Lon: 52.50000/4.50000"));
    EXPECT_EQ(MapHintText((*list)[2], 4), QStringLiteral("nearer\nLat/Lon: 52.5000/4.5000"));
}

TEST_F(MapInternalTest, PickIsRoundedTiesToEvenAndRefusedBeyondTheEarth)
{
    EXPECT_EQ(RoundToDecimals(0.125, 2), 0.12);
    EXPECT_EQ(RoundToDecimals(0.375, 2), 0.38);
    EXPECT_EQ(RoundToDecimals(-2.5, 0), -2.0);
    EXPECT_EQ(RoundToDecimals(52.3712345678, 5), 52.37123);
    struct TCase {
        double Lat, Lon;
        bool Taken;
        double RoundedLat, RoundedLon;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const TCase cases[] = {
        { 52.371234567, 4.899876543, true, 52.37123, 4.89988 },
        { 90.000001, 4.0, true, 90.0, 4.0 },
        { 90.00001, 4.0, false, 0, 0 },
        { -90.5, 4.0, false, 0, 0 },
        { 10, 180.2, false, 0, 0 },
        { 10, -181, false, 0, 0 },
        { nan, 4.0, false, 0, 0 },
        { 10, std::numeric_limits<double>::infinity(), false, 0, 0 },
    };
    for (const TCase& c : cases) {
        const std::optional<TGeoPoint> picked = PickedPosition(c.Lat, c.Lon, 5);
        ASSERT_EQ(picked.has_value(), c.Taken) << c.Lat << " " << c.Lon;
        if (picked) {
            EXPECT_EQ(picked->Lat, c.RoundedLat);
            EXPECT_EQ(picked->Lon, c.RoundedLon);
        }
    }
}

TEST_F(MapInternalTest, SetPositionNeedsACalibratedPictureAndOneEntry)
{
    EXPECT_TRUE(CanSetPosition(true, 1));
    EXPECT_FALSE(CanSetPosition(true, 0));
    EXPECT_FALSE(CanSetPosition(true, 2));
    EXPECT_FALSE(CanSetPosition(false, 1));
}

TEST_F(MapInternalTest, CalibrationPointsMustDifferInEveryCoordinate)
{
    struct TCase {
        int X1, Y1, X2, Y2;
        double Lon1, Lat1, Lon2, Lat2;
        const char* Names;
    };
    const TCase cases[] = {
        { 0, 100, 200, 0, 4.8, 52.3, 4.9, 52.4, nullptr },
        { 5, 100, 5, 0, 4.8, 52.3, 4.9, 52.4, "same X" },
        { 0, 7, 200, 7, 4.8, 52.3, 4.9, 52.4, "same Y" },
        { 0, 100, 200, 0, 4.8, 52.3, 4.8, 52.4, "same longitude" },
        { 0, 100, 200, 0, 4.8, 52.3, 4.9, 52.3, "same latitude" },
    };
    for (const TCase& c : cases) {
        const QString error = CalibrationPointsError(c.X1, c.Y1, c.X2, c.Y2, c.Lon1, c.Lat1, c.Lon2, c.Lat2);
        if (!c.Names)
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        else
            EXPECT_TRUE(error.contains(QLatin1String(c.Names))) << c.Names << ": " << error.toStdString();
    }
    // A quarter of 400 x 300 is 100 x 75.
    EXPECT_FALSE(CalibrationPointsClose(0, 300, 400, 0, 400, 300));
    EXPECT_FALSE(CalibrationPointsClose(0, 75, 100, 0, 400, 300));
    EXPECT_TRUE(CalibrationPointsClose(0, 75, 99, 0, 400, 300));
    EXPECT_TRUE(CalibrationPointsClose(0, 74, 100, 0, 400, 300));
    EXPECT_TRUE(CalibrationPointsClose(300, 0, 201, 300, 400, 300));
}
