// The in-memory stream every converter reads from and writes to.
#include "core/uStream.h"

#include <bit>

static_assert(std::endian::native == std::endian::little, "the stream helpers assume a little-endian host");

EReadError::EReadError(uint64_t offset)
    : ETarvellError(TGeneralTexts::tr("Stream read error at offset %1").arg(offset))
    , FOffset(offset)
{
}

void TMemoryStream::Skip(uint64_t count)
{
    Need(count);
    FPosition += count;
}

uint64_t TMemoryStream::Read(void* buffer, uint64_t count)
{
    const uint64_t n = count < Remaining() ? count : Remaining();
    if (n > 0)
        std::memcpy(buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
}

void TMemoryStream::ReadBuffer(void* buffer, uint64_t count)
{
    Need(count);
    Read(buffer, count);
}

std::string TMemoryStream::ReadBytes(uint64_t count)
{
    Need(count);
    std::string out(FData.data() + FPosition, count);
    FPosition += count;
    return out;
}

uint8_t TMemoryStream::ReadU8()
{
    Need(1);
    return static_cast<uint8_t>(FData[FPosition++]);
}

uint16_t TMemoryStream::ReadU16LE()
{
    uint16_t v;
    ReadBuffer(&v, 2);
    return v;
}

uint32_t TMemoryStream::ReadU32LE()
{
    uint32_t v;
    ReadBuffer(&v, 4);
    return v;
}

uint16_t TMemoryStream::ReadU16BE() { return __builtin_bswap16(ReadU16LE()); }

uint32_t TMemoryStream::ReadU32BE() { return __builtin_bswap32(ReadU32LE()); }

double TMemoryStream::ReadDoubleLE()
{
    double v;
    ReadBuffer(&v, 8);
    return v;
}

void TMemoryStream::Write(const void* buffer, uint64_t count)
{
    if (count == 0)
        return;
    if (FPosition == FData.size()) {
        FData.append(static_cast<const char*>(buffer), count);
    } else {
        if (FPosition + count > FData.size())
            FData.resize(FPosition + count, '\0');
        std::memcpy(FData.data() + FPosition, buffer, count);
    }
    FPosition += count;
}

void TMemoryStream::WriteU16LE(uint16_t v) { Write(&v, 2); }

void TMemoryStream::WriteU32LE(uint32_t v) { Write(&v, 4); }

void TMemoryStream::WriteDoubleLE(double v) { Write(&v, 8); }

std::string ReadStreamString(TMemoryStream& stream, int64_t count)
{
    const uint64_t n = count < 0 ? stream.Remaining() : std::min<uint64_t>(uint64_t(count), stream.Remaining());
    std::string out(stream.Current(), n);
    stream.Seek(stream.Position() + n);
    return out;
}
