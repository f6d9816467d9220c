// Tests of the Destinator and MioMap comma-separated formats.
#include "formats/uCommaSeparated.h"

#include "support/TestSupport.h"
#include "support/TextFormatSupport.h"

namespace {

struct TCsvCase {
    const char* FormatID;
    const char* Fixture;
    int Precision;
    const char* Summary;
};

const TCsvCase CsvCases[] = {
    { "dstcsv", "dstcsv/museum.csv", 5,
        "Museum@4.89123,52.37312;Zoo, Artis@4.91663,52.36622;Sugarloaf@-43.15639,-22.94861" },
    // reading back failed before the MioMap reader split without a field limit
    { "miomapcsv", "miomapcsv/museum.csv", 4,
        "Museum@4.89120,52.37310;Zoo, Artis@4.91660,52.36620;Sugarloaf@-43.15640,-22.94860" },
};

void PrintTo(const TCsvCase& c, std::ostream* os)
{
    *os << c.FormatID;
}

class CsvFormats : public ::testing::TestWithParam<TCsvCase> { };

TEST_P(CsvFormats, GoldenBytesAndReadBack)
{
    const TCsvCase& c = GetParam();
    const QString id = QString::fromLatin1(c.FormatID);
    const std::string golden = ReadFixture(QString::fromLatin1(c.Fixture));
    for (bool comma : { false, true }) {
        std::optional<TCommaLocale> locale;
        if (comma)
            locale.emplace();
        SCOPED_TRACE(comma ? "comma locale" : "default locale");
        TEntries sample;
        FillSample(sample);
        auto writer = TConvertToBase::CreateConverter(QStringLiteral("csv"), id);
        ASSERT_EQ(writer->FormatID(), id);
        EXPECT_EQ(writer->Precision(), c.Precision);
        EXPECT_BYTES_EQ(golden, WriteAll(*writer, sample));
        TEntries read;
        auto reader = TConvertFromBase::CreateConverter(QStringLiteral("csv"), id);
        ASSERT_EQ(reader->FormatID(), id);
        ReadAll(*reader, golden, read);
        EXPECT_EQ(Summary(read), c.Summary);
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, CsvFormats, ::testing::ValuesIn(CsvCases), [](const auto& info) { return std::string(info.param.FormatID); });

// Quotes would end the quoted field early, line breaks would split the line.
TEST(CsvWriters, DescriptionsStayOneField)
{
    TEntries list;
    list.Add("say \"cheese\"\r\nnow, then", "", 1, 2);
    TConvertToCsv destinator;
    TConvertToMioMap mioMap;
    EXPECT_EQ(
        WriteAll(destinator, list), "\"say cheese  now, then\",\"say cheese  now, then\",1.00000,2.00000,,,,\r\n");
    EXPECT_EQ(WriteAll(mioMap, list), "\"say cheese  now, then\",\"say cheese  now, then\",1.0000,2.0000,,,\r\n");
    struct {
        TConvertToBase& Writer;
        std::unique_ptr<TConvertFromBase> Reader;
    } pairs[]
        = { { destinator, std::make_unique<TConvertFromCsv>() }, { mioMap, std::make_unique<TConvertFromMioMap>() } };
    for (auto& pair : pairs) {
        TEntries read;
        ReadAll(*pair.Reader, WriteAll(pair.Writer, list), read);
        EXPECT_EQ(Summary(read, 1), "say cheese  now, then@1.0,2.0");
    }
}

TEST(CsvReaders, BlankLinesSkippedFieldsPastTheFourthIgnored)
{
    for (const char* id : { "dstcsv", "miomapcsv" }) {
        SCOPED_TRACE(id);
        TEntries read;
        auto reader = ImporterFor(id);
        EXPECT_EQ(ProgressOf(*reader, "a,a,1,2\r\n  \r\nb,,3,4,x,y,z,1,2,3,4,5\n\n", read),
            (std::vector<int> { 25, 50, 75 }));
        EXPECT_EQ(Summary(read, 0), "a@1,2;b@3,4");
    }
}

TEST(CsvReaders, BadLines)
{
    ExpectBadInputs({
        { "dstcsv", "a,a,1\r\n", "4 values expected on line 0", 0 },
        { "dstcsv", "a,a,1,2\r\n\r\nb\r\n", "4 values expected on line 2", 1 },
        { "dstcsv", "a,a,1,2\r\n\"b,c\",d,e\r\n", "4 values expected on line 1", 1 },
        { "dstcsv", "a,a,x,2\r\n", "'x' is not a valid floating point value", 0 },
        { "dstcsv", "a,a,1,inf\r\n", "'inf' is not a valid floating point value", 0 },
        { "miomapcsv", "a,a,1,2\r\nb,b,3,4\r\nc,c,5\r\n", "4 values expected on line 2", 2 },
        { "miomapcsv", "a,a,1,2,,,\r\nb,b,3,4;5\r\n", "'4;5' is not a valid floating point value", 1 },
    });
}

} // namespace
