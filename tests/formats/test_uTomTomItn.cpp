// Tests of the TomTom itinerary format.
#include "formats/uTomTomItn.h"

#include "support/TestSupport.h"
#include "support/TextFormatSupport.h"

namespace {

std::string Flags(const TEntries& entries)
{
    std::string out;
    for (int i = 0; i < entries.Count(); ++i)
        out += std::to_string(entries[i].GetFlag());
    return out;
}

TEST(Itn, GoldenBytesAndReadBack)
{
    const std::string golden = ReadFixture(QStringLiteral("ttitn/museum.itn"));
    for (bool comma : { false, true }) {
        std::optional<TCommaLocale> locale;
        if (comma)
            locale.emplace();
        TEntries sample;
        FillSample(sample);
        auto writer = TConvertToBase::CreateConverter(QStringLiteral(".itn"), QString());
        EXPECT_EQ(writer->Precision(), 5);
        EXPECT_BYTES_EQ(golden, WriteAll(*writer, sample));
        TEntries read;
        auto reader = TConvertFromBase::CreateConverter(QStringLiteral("itn"), QString());
        ReadAll(*reader, golden, read);
        EXPECT_EQ(Summary(read), "Museum@4.89123,52.37312;Zoo, Artis@4.91663,52.36622;Sugarloaf@-43.15639,-22.94861");
        EXPECT_EQ(Flags(read), "513");
    }
}

TEST(Itn, ReadingLines)
{
    const struct {
        const char* Text;
        const char* Summary;
        const char* Flags;
    } cases[] = {
        { "489123|5237312|Museum", "", "" },
        { "489123|5237312|Museum|0", "Museum@4.89123,52.37312", "0" },
        { "489123|5237312|Museum|", "", "" },
        { "  489123|5237312|Museum|6|\t\r\n\r\n   \n", "Museum@4.89123,52.37312", "6" },
        { "1|2||7|\n3|4|b|1|", "@0.00001,0.00002;b@0.00003,0.00004", "71" },
        { "1|2\r3|4|c|2|", "c@0.00003,0.00004", "2" },
        // no departure mark from the reader itself
        { "1|2|a|1|", "a@0.00001,0.00002", "1" },
    };
    for (const auto& c : cases) {
        TEntries read;
        TConvertFromItn reader;
        ReadAll(reader, c.Text, read);
        EXPECT_EQ(Summary(read), c.Summary) << c.Text;
        EXPECT_EQ(Flags(read), c.Flags) << c.Text;
    }
}

TEST(Itn, ProgressOnlyForEntries)
{
    TEntries read;
    TConvertFromItn reader;
    EXPECT_EQ(ProgressOf(reader, "1|2|a|1|\r\n\r\n\r\n3|4|b|1|\r\n", read), (std::vector<int> { 75 }));
}

TEST(Itn, BadFields)
{
    ExpectBadInputs({
        { "ttitn", "x|1|a|1|", "'x' is not a valid integer value", 0 },
        { "ttitn", "1|2|a|1|\r\n1|2.5|b|1|", "'2.5' is not a valid integer value", 1 },
        // a "|" in the description moves the rest into the flag field
        { "ttitn", "1|2|a|b|1|", "'b|1' is not a valid integer value", 0 },
        { "ttitn", "2147483648|1|a|1|", "'2147483648' is not a valid integer value", 0 },
        { "ttitn", "1|-2147483649|a|1|", "'-2147483649' is not a valid integer value", 0 },
        { "ttitn", "1|2|a|99999999999|", "'99999999999' is not a valid integer value", 0 },
    });
}

// Separators and line breaks in a description become blanks, so the line reads back.
TEST(Itn, DescriptionsStayOneField)
{
    TEntries list;
    list.Add("A|B\r\nC", "", -0.5, 0.25);
    TConvertToItn writer;
    const std::string bytes = WriteAll(writer, list);
    EXPECT_EQ(bytes, "-50000|25000|A B  C|5|\r\n");
    TEntries read;
    TConvertFromItn reader;
    ReadAll(reader, bytes, read);
    EXPECT_EQ(Summary(read), "A B  C@-0.50000,0.25000");
}

} // namespace
