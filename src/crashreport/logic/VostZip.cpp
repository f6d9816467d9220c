// zlib's inflate behind the reporter's buffer, file and mapping ends.
#include "crashreport/logic/VostZip.h"

#include "crashreport/logic/VostTypes.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr size_t Window = 0x100000;

constexpr std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> CrcTable = MakeCrcTable();

uint32_t LoadLe32(const char* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

size_t PageSize()
{
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? size_t(size) : 4096;
}

// A 1 MiB view of a file, mapped at a page boundary at or below the wanted offset.
class TView {
public:
    ~TView() { Unmap(); }
    char* Map(int fd, uint64_t offset, size_t length, bool writable)
    {
        Unmap();
        const uint64_t aligned = offset & ~uint64_t(PageSize() - 1);
        FLength = length + size_t(offset - aligned);
        void* p = mmap(nullptr, FLength, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, off_t(aligned));
        if (p == MAP_FAILED) {
            FBase = nullptr;
            return nullptr;
        }
        FBase = static_cast<char*>(p);
        return FBase + (offset - aligned);
    }
    void Unmap()
    {
        if (FBase)
            munmap(FBase, FLength);
        FBase = nullptr;
    }

private:
    char* FBase = nullptr;
    size_t FLength = 0;
};

struct TStream {
    z_stream Z{};
    bool Ready = false;
    TStream() { Ready = inflateInit2(&Z, -15) == Z_OK; }
    ~TStream()
    {
        if (Ready)
            inflateEnd(&Z);
    }
};

void WriteAll(int fd, const char* data, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    if (done < length)
        throw VostException("Stream write error.");
}

} // namespace

uint32_t Crc32Step(uint32_t crc, const void* bytes, size_t length)
{
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < length; ++i)
        crc = CrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint64_t InflateEx(const TInflateEnd& source, const TInflateEnd& destination, uint32_t* crc, uint64_t destinationLength,
                   uint64_t sourceLength, uint64_t inputOffset)
{
    if (destinationLength > MaxInflatedSize || destinationLength == 0 || sourceLength == 0)
        return 0;
    if ((source.Kind == TInflateEnd::TKind::Buffer && !source.Buffer) ||
        (destination.Kind == TInflateEnd::TKind::Buffer && !destination.Buffer))
        return 0;
    if (sourceLength > UINT64_MAX - inputOffset)
        return 0;
    TStream stream;
    if (!stream.Ready)
        return 0;
    z_stream& z = stream.Z;
    std::vector<char> inBuffer, outBuffer;
    TView inView, outView;
    if (destination.Kind == TInflateEnd::TKind::Mapping) {
        if (ftruncate(destination.Descriptor, off_t(destinationLength)) != 0)
            return 0;
    }
    uint32_t runningCrc = 0xFFFFFFFFu;
    uint64_t consumed = 0, produced = 0;
    char* outWindow = nullptr;
    size_t outWindowSize = 0;
    int result = Z_OK;
    // Output windows: the whole buffer, or 1 MiB pieces flushed to the file or mapped views.
    auto nextOutWindow = [&]() -> bool {
        const uint64_t left = destinationLength - produced;
        if (left == 0)
            return false;
        switch (destination.Kind) {
        case TInflateEnd::TKind::Buffer:
            outWindow = static_cast<char*>(destination.Buffer) + produced;
            outWindowSize = size_t(std::min<uint64_t>(left, UINT32_MAX));
            break;
        case TInflateEnd::TKind::File:
            outBuffer.resize(Window);
            outWindow = outBuffer.data();
            outWindowSize = size_t(std::min<uint64_t>(left, Window));
            break;
        case TInflateEnd::TKind::Mapping:
            outWindowSize = size_t(std::min<uint64_t>(left, Window));
            outWindow = outView.Map(destination.Descriptor, produced, outWindowSize, true);
            if (!outWindow)
                return false;
            break;
        }
        z.next_out = reinterpret_cast<Bytef*>(outWindow);
        z.avail_out = uInt(outWindowSize);
        return true;
    };
    auto finishOutWindow = [&] {
        const size_t written = outWindowSize - z.avail_out;
        if (crc)
            runningCrc = Crc32Step(runningCrc, outWindow, written);
        if (destination.Kind == TInflateEnd::TKind::File)
            WriteAll(destination.Descriptor, outWindow, written);
        produced += written;
        outWindow = nullptr;
    };
    auto nextInWindow = [&]() -> bool {
        const uint64_t left = sourceLength - consumed;
        if (left == 0)
            return false;
        const uint64_t at = inputOffset + consumed;
        size_t size = size_t(std::min<uint64_t>(left, Window));
        const char* window = nullptr;
        switch (source.Kind) {
        case TInflateEnd::TKind::Buffer:
            size = size_t(std::min<uint64_t>(left, UINT32_MAX));
            window = static_cast<const char*>(source.Buffer) + at;
            break;
        case TInflateEnd::TKind::File: {
            inBuffer.resize(Window);
            const ssize_t n = ::pread(source.Descriptor, inBuffer.data(), size, off_t(at));
            if (n <= 0)
                return false;
            size = size_t(n);
            window = inBuffer.data();
            break;
        }
        case TInflateEnd::TKind::Mapping:
            window = inView.Map(source.Descriptor, at, size, false);
            if (!window)
                return false;
            break;
        }
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(window));
        z.avail_in = uInt(size);
        consumed += size;
        return true;
    };
    if (!nextOutWindow())
        return 0;
    while (result == Z_OK) {
        if (z.avail_in == 0 && !nextInWindow())
            break;
        if (z.avail_out == 0) {
            finishOutWindow();
            if (!nextOutWindow())
                break; // the destination is full while input remains: a longer stream
        }
        result = inflate(&z, Z_NO_FLUSH);
        if (result == Z_BUF_ERROR)
            result = Z_OK;
    }
    if (outWindow && produced < destinationLength)
        finishOutWindow();
    const bool sourceUsed = consumed == sourceLength && z.avail_in == 0;
    if ((result != Z_STREAM_END && result != Z_OK) || !sourceUsed || produced != destinationLength)
        return 0;
    if (crc)
        *crc = ~runningCrc;
    return produced;
}

size_t InflateBuffer(const void* source, void* destination, size_t sourceLength, size_t destinationLength)
{
    return size_t(InflateEx(TInflateEnd::OfBuffer(source), TInflateEnd::OfBuffer(destination), nullptr, destinationLength,
                            sourceLength, 0));
}

std::string InflateText(std::string_view text)
{
    if (text.size() < 13)
        return {};
    const uint32_t length = LoadLe32(text.data());
    const uint32_t storedCrc = LoadLe32(text.data() + 8);
    // Deflate expands at most about 1032:1; a longer claim is a lie we need not allocate for.
    if (length == 0 || length > MaxInflatedSize || uint64_t(length) > uint64_t(text.size() - 12) * 1032 + 64)
        return {};
    std::string out(length, '\0');
    uint32_t crc = 0;
    if (InflateEx(TInflateEnd::OfBuffer(text.data() + 12), TInflateEnd::OfBuffer(out.data()), &crc, length, text.size() - 12, 0) !=
            length ||
        crc != storedCrc)
        return {};
    return out;
}

std::string DeflateText(std::string_view text)
{
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out(12 + deflateBound(&z, uLong(text.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = uInt(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data() + 12);
    z.avail_out = uInt(out.size() - 12);
    const int result = deflate(&z, Z_FINISH);
    const size_t size = 12 + z.total_out;
    deflateEnd(&z);
    if (result != Z_STREAM_END)
        return {};
    out.resize(size);
    const uint32_t header[3] = {uint32_t(text.size()), 0, ~Crc32Step(0xFFFFFFFFu, text.data(), text.size())};
    std::memcpy(out.data(), header, sizeof header);
    return out;
}
