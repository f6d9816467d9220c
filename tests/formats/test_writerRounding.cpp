// The writers' fixed-point coordinates: the getter value times the scale, rounded once from the
// exact product (ties to even), at every coordinate precision.
#include "formats/uMioMapV3.h"
#include "formats/uSmartpath.h"
#include "formats/uTomTom.h"
#include "formats/uTomTomItn.h"

#include "support/FixtureSupport.h"
#include "support/OptionSupport.h"
#include "support/ParamNames.h"
#include "support/TestSupport.h"
#include "support/TextFormatSupport.h"

#include <random>

namespace {

enum class TWriter { Ov2, Itn, Ovr, MioMapV3 };

struct TRoundingRow {
    TWriter Writer;
    int Precision;
    double Value;
    int64_t Expected;
};

std::string RoundingCaseName(const TRoundingRow& row)
{
    const char* writers[] = {"Ov2", "Itn", "Ovr", "MioMapV3"};
    return std::string(writers[int(row.Writer)]) + "_" + std::to_string(row.Precision) + "Digits_" + CaseName(row.Value);
}

void PrintTo(const TRoundingRow& row, std::ostream* os) { *os << RoundingCaseName(row); }

// The coordinates a writer put in its bytes for one POI: longitude, latitude (and for ov2 the
// root skipper's four edges, which must be rounded the same way).
std::vector<int64_t> WrittenUnits(TWriter writer, TEntries& entries)
{
    auto at = [](const std::string& bytes, size_t offset) { return int64_t(DecodeLE<int32_t>(bytes.data() + offset)); };
    switch (writer) {
    case TWriter::Ov2: {
        const std::string bytes = WriteAll<TConvertToOv2>(entries);
        return {at(bytes, 26), at(bytes, 30), at(bytes, 5), at(bytes, 9), at(bytes, 13), at(bytes, 17)};
    }
    case TWriter::Itn: {
        const std::string line = WriteAll<TConvertToItn>(entries);
        const size_t bar = line.find('|');
        return {std::stoll(line.substr(0, bar)), std::stoll(line.substr(bar + 1))};
    }
    case TWriter::Ovr: {
        const std::string bytes = WriteAll<TConvertToOvr>(entries);
        return {at(bytes, 2), at(bytes, 6)};
    }
    case TWriter::MioMapV3: {
        const std::string bytes = WriteAll<TConvertToMioMapV3>(entries);
        return {at(bytes, 4), at(bytes, 0)};
    }
    }
    return {};
}

class WriterRounding : public MemoryOptionsTest, public ::testing::WithParamInterface<TRoundingRow> {};

TEST_P(WriterRounding, RoundsTheExactProductOnce)
{
    const TRoundingRow& row = GetParam();
    Options.Source.SetPrecision(row.Precision);
    TEntries entries;
    entries.Add("x", "", row.Value, row.Value);
    for (const int64_t written : WrittenUnits(row.Writer, entries))
        EXPECT_EQ(written, row.Expected) << row.Value << " at precision " << row.Precision;
}

// Near ties: the getter value times the scale, rounded to double, is an exact half while the
// exact product lies just below or above it (52.37135 x 10000 is 523713.49999999999963...). Rows
// without a tie keep the plain cases in view.
INSTANTIATE_TEST_SUITE_P(Table, WriterRounding,
    ::testing::Values(
        // Smartpath, x 10000
        TRoundingRow {TWriter::Ovr, 4, 52.3713, 523713},
        TRoundingRow {TWriter::Ovr, 5, 52.37135, 523713},
        TRoundingRow {TWriter::Ovr, 5, 4.89125, 48913},
        TRoundingRow {TWriter::Ovr, 5, 52.37165, 523717},
        TRoundingRow {TWriter::Ovr, 5, -52.37135, -523713},
        TRoundingRow {TWriter::Ovr, 5, 52.37115, 523712},
        TRoundingRow {TWriter::Ovr, 6, 52.37135, 523713},
        TRoundingRow {TWriter::Ovr, 6, 52.371749, 523717},
        // ov2 (POI and skipper edges) and itinerary, x 100000
        TRoundingRow {TWriter::Ov2, 4, 52.3713, 5237130},
        TRoundingRow {TWriter::Ov2, 5, 52.37135, 5237135},
        TRoundingRow {TWriter::Ov2, 6, 52.371015, 5237101},
        TRoundingRow {TWriter::Ov2, 6, 52.371025, 5237103},
        TRoundingRow {TWriter::Ov2, 6, 52.371035, 5237103},
        TRoundingRow {TWriter::Ov2, 6, -52.371045, -5237105},
        TRoundingRow {TWriter::Itn, 4, 4.8912, 489120},
        TRoundingRow {TWriter::Itn, 5, 4.89125, 489125},
        TRoundingRow {TWriter::Itn, 6, 52.371015, 5237101},
        TRoundingRow {TWriter::Itn, 6, 52.371025, 5237103},
        TRoundingRow {TWriter::Itn, 6, -52.371035, -5237103},
        // MioMap v3 truncates x 1000000; coordinates of up to six decimals are whole units
        TRoundingRow {TWriter::MioMapV3, 4, 52.3713, 52371300},
        TRoundingRow {TWriter::MioMapV3, 5, 52.37135, 52371350},
        TRoundingRow {TWriter::MioMapV3, 6, 52.371015, 52371015},
        TRoundingRow {TWriter::MioMapV3, 6, -4.891235, -4891235}),
    [](const auto& info) { return RoundingCaseName(info.param); });

TEST(RoundExactProduct, AgreesWithIntegerArithmeticNearEveryKindOfHalf)
{
    std::mt19937_64 random(15);
    for (const double scale : {10000.0, 100000.0, 1000000.0}) {
        for (int i = 0; i < 20000; ++i) {
            // k + 1/2 over the scale, and its neighbours a few units in the last place away.
            const double k = double(int64_t(random() % 36000001) - 18000000);
            double value = (k + 0.5) / scale;
            for (int step = int(random() % 5); step > 0; --step)
                value = std::nextafter(value, random() % 2 ? 1e9 : -1e9);
            ASSERT_EQ(RoundExactProduct(value, scale), ExactlyRounded(value, int64_t(scale))) << value << " x " << scale;
        }
    }
    // Exact halves go to the even neighbour.
    EXPECT_EQ(RoundExactProduct(2.5, 1), 2);
    EXPECT_EQ(RoundExactProduct(-3.5, 1), -4);
    EXPECT_EQ(RoundExactProduct(0.125, 100), 12);
}

// Zero has no sign: a coordinate that rounds to zero from the west or south is written exactly as
// zero is, by every writer (no "-0", "-0.00000" or "-0.0000"), and the number texts say so too.
class WriterZero : public MemoryOptionsTest {};

TEST_F(WriterZero, EveryWriterWritesARoundedNegativeZeroAsZero)
{
    const TDevSwitch dev;  // no date in headers
    const auto written = [](int exporter, double value) {
        TEntries entries;
        entries.Add("x", "", value, value);
        TMemoryStream stream;
        TConvertToBase::CreateConverterAt(exporter)->Convert(entries, stream);
        return stream.Data();
    };
    ASSERT_GT(TConvertToBase::FormatCount(), 0);
    for (int i = 0; i < TConvertToBase::FormatCount(); ++i) {
        const std::string zero = written(i, 0);
        for (const double value : {-0.000001, -0.000004, -0.0})
            EXPECT_BYTES_EQ(zero, written(i, value)) << TConvertToBase::FormatIDAt(i).toStdString() << " " << value;
    }
    // Values the getters do not round: a writer with fewer decimals than the precision.
    EXPECT_EQ(FloatToFixed(-0.00001, 4), "0.0000");
    EXPECT_EQ(FloatToFixed(-0.00004, 0), "0");
    EXPECT_EQ(FloatToFixed(-0.00006, 4), "-0.0001");
    EXPECT_EQ(FloatToFixed(-0.5, 0), "0");
    EXPECT_EQ(FloatToFixed(-1.2, 0), "-1");
    EXPECT_EQ(FloatToPlainText(-0.0), "0");
    EXPECT_EQ(FloatToPlainText(-0.000001), "-0.000001");
}

} // namespace
