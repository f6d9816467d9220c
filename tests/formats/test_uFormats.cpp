// The program's registry: the binary formats' rows, in display order.
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"

#include <gtest/gtest.h>

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

} // namespace

TEST(Formats, BinaryRowsInDisplayOrder)
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
