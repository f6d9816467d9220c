// The program's registry: the binary formats' rows, in display order.
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "core/uStream.h"
#include "model/uModel.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct TRowInfo {
    const char* Name;
    const char* Extension;
    const char* FormatID;
};

// Rows of the given format IDs in registry order (other formats' rows may lie between them).
template <typename Base>
std::vector<std::string> RowsOf(const std::vector<TRowInfo>& expected)
{
    std::vector<std::string> out;
    for (int i = 0; i < Base::FormatCount(); ++i) {
        for (const TRowInfo& row : expected)
            if (Base::FormatIDAt(i) == QLatin1String(row.FormatID))
                out.push_back((Base::Description(i) + QChar('|') + Base::Extension(i) + QChar('|') + Base::FormatIDAt(i)).toStdString());
    }
    return out;
}

template <typename Base>
std::vector<std::string> Expected(const std::vector<TRowInfo>& rows)
{
    std::vector<std::string> out;
    for (const TRowInfo& row : rows)
        out.push_back(std::string(row.Name) + "|." + row.Extension + "|" + row.FormatID);
    return out;
}

class Formats : public CleanSettingsTest {};

} // namespace

TEST_F(Formats, BinaryRowsInDisplayOrder)
{
    const std::vector<TRowInfo> exporters = {
        {"TomTom Binary", "ov2", "ttov2"},
        {"Smartpath Binary", "ovr", "ttovr"},
        {"Destinator Binary", "dat", "destdat"},
        {"MioMapv3/IGo Binary", "upd", "miomapv3"},
    };
    const std::vector<TRowInfo> importers = {
        {"TomTom Binary", "ov2", "ttov2"},         {"Smartpath Binary", "ovr", "ttovr"},
        {"Destinator Binary", "dat", "destdat"},   {"Garmin Mapsource", "gdb", "gdb"},
        {"Mitac Speedcams file", "mtc", "mitacmtc"}, {"MioMapv3/IGo Binary", "upd", "miomapv3"},
    };
    EXPECT_EQ(RowsOf<TConvertToBase>(exporters), Expected<TConvertToBase>(exporters));
    EXPECT_EQ(RowsOf<TConvertFromBase>(importers), Expected<TConvertFromBase>(importers));
    // The TomTom pair is row 0 of both lists.
    EXPECT_EQ(TConvertToBase::FormatIDAt(0), QStringLiteral("ttov2"));
    EXPECT_EQ(TConvertFromBase::FormatIDAt(0), QStringLiteral("ttov2"));
    EXPECT_EQ(TConvertToBase::CreateConverter(QStringLiteral("ov2"), QString())->Precision(), 5);
    EXPECT_EQ(TConvertToBase::CreateConverter(QStringLiteral("ovr"), QString())->Precision(), 4);
    EXPECT_EQ(TConvertToBase::CreateConverter(QStringLiteral("dat"), QString())->Precision(), -1);
    EXPECT_EQ(TConvertToBase::CreateConverter(QStringLiteral("upd"), QString())->Precision(), -1);
    EXPECT_EQ(TConvertToBase::CreateConverter(QStringLiteral("ov2"), QString())->OptionCount(), 1);
    EXPECT_EQ(TConvertToBase::CreateConverter(QStringLiteral("upd"), QString())->OptionCount(), 1);
}

// Each binary writer's file read back by its reader: the same positions at the format's
// precision and, where the format carries them, the same descriptions.
TEST_F(Formats, BinaryWritersReadBack)
{
    struct {
        const char* Ext;
        int Decimals;
        bool KeepsDescription;
    } formats[] = {{"ov2", 5, true}, {"ovr", 4, true}, {"dat", 5, true}, {"upd", 5, false}};
    const struct {
        const char* Text;
        double Lon, Lat;
    } pois[] = {
        {"Dam", 4.8932, 52.3731}, {"South-west", -71.06251, -33.43749}, {"Edge", 180, 90}, {"Other edge", -180, -90},
        {"Zero", 0, 0},           {"\xe9t\xe9", 12.34567, -0.00001},
    };
    for (const auto& f : formats) {
        TEntries entries;
        for (const auto& p : pois)
            entries.Add(p.Text, "", p.Lon, p.Lat);
        TMemoryStream stream;
        entries.SaveToStream(stream, QString::fromLatin1(f.Ext), QString());
        stream.Seek(0);
        TEntries back;
        back.LoadFromStream(stream, QString::fromLatin1(f.Ext), QString(), false);
        ASSERT_EQ(back.Count(), entries.Count()) << f.Ext;
        const double unit = std::pow(10.0, -f.Decimals);
        for (int i = 0; i < entries.Count(); ++i) {
            // The ov2 tree may reorder a file, not a list this short.
            EXPECT_NEAR(back[i].GetLongitude(), entries[i].GetLongitude(), unit / 2 + 1e-9) << f.Ext << " " << i;
            EXPECT_NEAR(back[i].GetLatitude(), entries[i].GetLatitude(), unit / 2 + 1e-9) << f.Ext << " " << i;
            if (f.KeepsDescription) {
                EXPECT_EQ(back[i].GetDescription(), entries[i].GetDescription()) << f.Ext << " " << i;
            }
        }
    }
}
