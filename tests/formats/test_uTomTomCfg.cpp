// Tests of the TomTom 5 configuration reader.
#include "formats/uTomTomCfg.h"

#include "support/TestSupport.h"
#include "support/TextFormatSupport.h"

namespace {

const std::string Signature("\x04\x00\x01\x00\x00\x00\x04\x00\x02\x00\x00\x00\x08\x00"
                            "abcdefgh\x08\x00",
    24);

std::string I32(int32_t v)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[size_t(i)] = char((uint32_t(v) >> (8 * i)) & 0xff);
    return out;
}

std::string Text(const std::string& s)
{
    return char(s.size() + 27) + s;
}

std::string Favourite(int32_t lon, int32_t lat, const std::string& name)
{
    return Signature + I32(lon) + I32(lat) + Text("a") + Text("b") + Text(name);
}

const char NoItems[] = "No items found in this TomTom Navigator configuration file. Are you sure you are opening a "
                       "configuration file that belongs to version 5 or higher of TomTom Navigator?";

TEST(Cfg, TwoFavouritesInFileOrder)
{
    TEntries read;
    auto reader = TConvertFromBase::CreateConverter(QStringLiteral("cfg"), QString());
    ASSERT_EQ(reader->FormatID(), QStringLiteral("ttcfg"));
    ReadAll(*reader, ReadFixture(QStringLiteral("ttcfg/two-favourites.cfg")), read);
    EXPECT_EQ(Summary(read), "Museum@4.89123,52.37312;Sugarloaf@-43.15639,-22.94861");
    ASSERT_EQ(read.Count(), 2);
    EXPECT_TRUE(read[0].IpDeparture);
    EXPECT_FALSE(read[1].IpDeparture);
}

TEST(Cfg, WhatIsNoFavourite)
{
    const struct {
        const char* Name;
        std::string Bytes;
        const char* Summary;
    } cases[] = {
        { "empty", "", "" },
        { "junk", std::string(100, '\x04'), "" },
        // the signature would run past the end
        { "cut signature", "xx" + Signature.substr(0, 23), "" },
        { "no coordinates", Signature + I32(1), "" },
        { "short length byte", Signature + I32(1) + I32(2) + Text("a") + char(20) + Text("x"), "" },
        { "length 26", Signature + I32(1) + I32(2) + char(26) + Text("b") + Text("x"), "" },
        { "text past the end", Signature + I32(1) + I32(2) + Text("a") + Text("b") + char(40) + "short", "" },
        // not a favourite, then one: the search goes on after the first signature's start
        { "bad then good", Signature + I32(9) + I32(9) + char(20) + Favourite(100000, 200000, "Good"),
            "Good@1.00000,2.00000" },
        { "good then cut", Favourite(1, 2, "One") + Signature + I32(3), "One@0.00001,0.00002" },
        { "empty texts", Signature + I32(-1) + I32(-2) + Text("") + Text("") + Text(""), "@-0.00001,-0.00002" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TEntries read;
        TConvertFromCfg reader;
        const std::string error = ErrorOf([&] { ReadAll(reader, c.Bytes, read); });
        EXPECT_EQ(Summary(read), c.Summary);
        EXPECT_EQ(error, read.Count() ? "no error" : NoItems);
    }
}

TEST(Cfg, NothingFoundIsAUserError)
{
    TEntries read;
    TConvertFromCfg reader;
    EXPECT_THROW(ReadAll(reader, "no favourites here", read), EUserError);
}

} // namespace
