// Tests of the bounds-checked memory stream.
#include "core/uStream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Stream, ReadsNeverPassTheEnd)
{
    TMemoryStream s(std::string("\x01\x02\x03\x04\x05", 5));
    EXPECT_EQ(s.ReadU32LE(), 0x04030201u);
    char buf[8];
    EXPECT_EQ(s.Read(buf, 8), 1u) << "a read reports how much it got";
    EXPECT_EQ(s.Read(buf, 8), 0u);
    s.Seek(2);
    try {
        s.ReadU32LE();
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Offset(), 2u);
    }
    EXPECT_EQ(s.Position(), 2u) << "a failed read does not move";
    EXPECT_THROW(s.Skip(4), EReadError);
    s.Seek(100);
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_THROW(s.ReadU8(), EReadError);
    EXPECT_EQ(ReadStreamString(s, -1), "");
}

TEST(Stream, WritesOverwriteAndExtend)
{
    TMemoryStream s;
    s.WriteU32LE(0x11223344);
    s.WriteDoubleLE(1.5);
    s.Seek(1);
    s.WriteU8(0xAA);
    EXPECT_EQ(s.Size(), 12u);
    s.Seek(14);
    s.WriteU8(1);
    EXPECT_EQ(s.Size(), 15u) << "a gap is zero-filled";
    s.Seek(0);
    EXPECT_EQ(s.ReadU32LE(), 0x1122AA44u);
    EXPECT_EQ(s.ReadDoubleLE(), 1.5);
    EXPECT_EQ(s.ReadU16LE(), 0);
    s.Seek(0);
    EXPECT_EQ(ReadStreamString(s, 2), std::string("\x44\xAA", 2));
    EXPECT_EQ(ReadStreamString(s, 100).size(), 13u);
}

TEST(Stream, CursorTextsViewsAndWriteSpace)
{
    TMemoryStream s(std::string("ab\0cd\0ef", 8));
    EXPECT_EQ(s.ReadZeroTerminated(100), "ab");
    EXPECT_EQ(s.Position(), 3u);
    EXPECT_THROW(s.ReadZeroTerminated(5), EReadError) << "the zero must come before the limit";
    EXPECT_EQ(s.Position(), 3u);
    EXPECT_EQ(s.ReadZeroTerminated(6), "cd");
    EXPECT_THROW(s.ReadZeroTerminated(100), EReadError) << "no zero before the end";
    EXPECT_EQ(s.ReadRest(), "ef");
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(s.ReadRest(), "");

    TMemoryStream w;
    w.Write("xy");
    w.Seek(1);
    std::memcpy(w.WriteSpace(3), "123", 3);
    EXPECT_EQ(w.Data(), "x123");
    EXPECT_EQ(w.Position(), 4u);

    // Byte order is the file's, whatever the host's.
    char bytes[4];
    EncodeLE<int32_t>(bytes, -2);
    EXPECT_EQ(std::string(bytes, 4), std::string("\xfe\xff\xff\xff", 4));
    EXPECT_EQ(DecodeLE<int32_t>(bytes), -2);
    EncodeLE<uint16_t>(bytes, 0x1234);
    EXPECT_EQ(DecodeLE<uint16_t>(bytes), 0x1234);
    EXPECT_EQ(uint8_t(bytes[0]), 0x34);
    TMemoryStream d;
    d.WriteDoubleLE(-1.25);
    d.WriteU16LE(0xBEEF);
    d.Seek(0);
    EXPECT_EQ(d.ReadDoubleLE(), -1.25);
    EXPECT_EQ(d.ReadU16BE(), 0xEFBE);
}

} // namespace
