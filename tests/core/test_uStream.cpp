// Tests of the bounds-checked memory stream.
#include "core/uStream.h"

#include <gtest/gtest.h>

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

} // namespace
