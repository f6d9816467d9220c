// Inflating buffers, files and mappings in 1 MiB windows, the compressed string container and
// its failure cases.
#include "crashreport/logic/VostZip.h"

#include "crashreport/logic/VostTypes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Compressible but not trivial: several windows of output from a stream of mixed runs.
std::string SampleText(size_t size)
{
    std::mt19937 random(104);
    std::string text;
    text.reserve(size);
    while (text.size() < size) {
        const char c = char('a' + random() % 26);
        text.append(1 + random() % 40, c);
        text += char(random());
    }
    text.resize(size);
    return text;
}

void StoreLe32(std::string& text, size_t at, uint32_t v) { std::memcpy(text.data() + at, &v, 4); }

} // namespace

TEST(VostZip, Crc32)
{
    EXPECT_EQ(~Crc32Step(0xFFFFFFFFu, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(~Crc32Step(0xFFFFFFFFu, "", 0), 0u);
}

TEST(VostZip, TextContainerRoundTripAndDamage)
{
    const std::string plain = SampleText(100000);
    const std::string packed = DeflateText(plain);
    ASSERT_GT(packed.size(), 12u);
    EXPECT_EQ(InflateText(packed), plain);

    struct {
        const char* Name;
        std::string Text;
    } bad[] = {
        {"short", packed.substr(0, 12)},
        {"cut stream", packed.substr(0, packed.size() - 5)},
        {"trailing bytes", packed + "xyz"},
        {"crc", [&] { std::string t = packed; t[8] ^= 1; return t; }()},
        {"length too small", [&] { std::string t = packed; StoreLe32(t, 0, uint32_t(plain.size() - 1)); return t; }()},
        {"length too large", [&] { std::string t = packed; StoreLe32(t, 0, uint32_t(plain.size() + 1)); return t; }()},
        {"huge length", [&] { std::string t = packed; StoreLe32(t, 0, 0xFFFFFFFFu); return t; }()},
        {"zero length", [&] { std::string t = packed; StoreLe32(t, 0, 0); return t; }()},
    };
    for (auto& c : bad)
        EXPECT_EQ(InflateText(c.Text), "") << c.Name;
}

TEST(VostZip, BufferFileAndMappingEnds)
{
    QTemporaryDir dir;
    const std::string plain = SampleText(3 * 1024 * 1024 + 12345);
    const std::string packed = DeflateText(plain);
    const uint32_t expectedCrc = ~Crc32Step(0xFFFFFFFFu, plain.data(), plain.size());
    const std::string prefix = "header bytes before the stream";
    const std::string stream = prefix + packed.substr(12);

    const std::string sourcePath = (dir.path() + "/source").toStdString();
    const int source = ::open(sourcePath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_EQ(::write(source, stream.data(), stream.size()), ssize_t(stream.size()));

    struct TCase {
        const char* Name;
        TInflateEnd::TKind From, To;
    } cases[] = {
        {"buffer to buffer", TInflateEnd::TKind::Buffer, TInflateEnd::TKind::Buffer},
        {"file to file", TInflateEnd::TKind::File, TInflateEnd::TKind::File},
        {"mapping to mapping", TInflateEnd::TKind::Mapping, TInflateEnd::TKind::Mapping},
        {"mapping to buffer", TInflateEnd::TKind::Mapping, TInflateEnd::TKind::Buffer},
        {"buffer to file", TInflateEnd::TKind::Buffer, TInflateEnd::TKind::File},
    };
    for (const TCase& c : cases) {
        const std::string outPath = (dir.path() + "/out").toStdString();
        const int out = ::open(outPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        std::string buffer(plain.size(), '\0');
        const TInflateEnd from = c.From == TInflateEnd::TKind::Buffer ? TInflateEnd::OfBuffer(stream.data())
                                 : c.From == TInflateEnd::TKind::File ? TInflateEnd::OfFile(source)
                                                                      : TInflateEnd::OfMapping(source);
        const TInflateEnd to = c.To == TInflateEnd::TKind::Buffer ? TInflateEnd::OfBuffer(buffer.data())
                               : c.To == TInflateEnd::TKind::File ? TInflateEnd::OfFile(out)
                                                                  : TInflateEnd::OfMapping(out);
        uint32_t crc = 0;
        EXPECT_EQ(InflateEx(from, to, &crc, plain.size(), stream.size() - prefix.size(), prefix.size()), plain.size()) << c.Name;
        EXPECT_EQ(crc, expectedCrc) << c.Name;
        if (c.To != TInflateEnd::TKind::Buffer) {
            buffer.assign(plain.size(), '\0');
            ASSERT_EQ(::pread(out, buffer.data(), buffer.size(), 0), ssize_t(plain.size())) << c.Name;
        }
        EXPECT_TRUE(buffer == plain) << c.Name;
        // A wrong destination length fails whatever the ends.
        EXPECT_EQ(InflateEx(from, TInflateEnd::OfBuffer(buffer.data()), nullptr, plain.size() - 1, stream.size() - prefix.size(),
                            prefix.size()),
                  0u)
            << c.Name;
        ::close(out);
    }
    ::close(source);

    std::string small(10, '\0');
    EXPECT_EQ(InflateBuffer(packed.data() + 12, small.data(), packed.size() - 12, MaxInflatedSize + 1), 0u) << "over the cap";
    EXPECT_EQ(InflateBuffer("\xff\xff\xff", small.data(), 3, small.size()), 0u) << "no Deflate stream";
}

TEST(VostZip, ShortWriteToAFileRaises)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe2(pipeEnds, O_NONBLOCK), 0);
    const std::string plain = SampleText(2 * 1024 * 1024);
    const std::string packed = DeflateText(plain);
    try {
        InflateEx(TInflateEnd::OfBuffer(packed.data() + 12), TInflateEnd::OfFile(pipeEnds[1]), nullptr, plain.size(),
                  packed.size() - 12, 0);
        ADD_FAILURE() << "a full pipe took 1 MiB";
    } catch (const VostException& e) {
        EXPECT_STREQ(e.what(), "Stream write error.");
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}
