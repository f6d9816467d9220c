// The sample map beside the executable: it loads, its side file calibrates it, and every POI of
// the sample file lies on it.
#include "maps/uMap.h"

#include "core/uStream.h"
#include "formats/uFormats.h"
#include "model/uModel.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(SampleMap, CalibratedAndHoldsTheSamplePois)
{
    const QString picture = QStringLiteral(TARVELL_APP_DIR "/maps/amsterdam.jpg");
    TOrvikMap map;
    map.LoadMapPic(picture);
    EXPECT_NEAR(map.width(), 1000, 50);
    EXPECT_NEAR(map.height(), 760, 40);
    const TCalibrationLoad load = LoadCalibration(picture, map.GetMapPic().Width(), map.GetMapPic().Height());
    ASSERT_EQ(load.State, TCalibrationState::Calibrated) << load.Message.toStdString();
    const TMapCalibration& c = load.Calibration;
    EXPECT_EQ(c.Cal1Lon, 4.855);
    EXPECT_EQ(c.Cal1Lat, 52.350);
    EXPECT_EQ(c.Cal2Lon, 4.930);
    EXPECT_EQ(c.Cal2Lat, 52.385);
    map.SetCal1Lon(c.Cal1Lon);
    map.SetCal1Lat(c.Cal1Lat);
    map.SetCal1X(c.Cal1X);
    map.SetCal1Y(c.Cal1Y);
    map.SetCal2Lon(c.Cal2Lon);
    map.SetCal2Lat(c.Cal2Lat);
    map.SetCal2X(c.Cal2X);
    map.SetCal2Y(c.Cal2Y);

    QFile file(QStringLiteral(TARVELL_SOURCE_DIR "/samples/amsterdam.ov2"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TMemoryStream stream(file.readAll().toStdString());
    RegisterAllFormats();
    TEntries entries;
    entries.LoadFromStream(stream, QStringLiteral("ov2"), QString(), false);
    ASSERT_EQ(entries.Count(), 12);
    for (int i = 0; i < entries.Count(); ++i) {
        const int x = map.LonToX(entries[i].GetLongitude());
        const int y = map.LatToY(entries[i].GetLatitude());
        // Away from the edges, so that a whole marker shows.
        EXPECT_TRUE(x > 10 && x < map.width() - 10 && y > 10 && y < map.height() - 10)
            << entries[i].GetDescription() << " at " << x << "," << y;
    }
}
