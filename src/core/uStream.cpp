// The in-memory stream every converter reads from and writes to.
#include "core/uStream.h"

#include <algorithm>
#include <bit>

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

void TMemoryStream::ThrowReadError() const { throw EReadError(FPosition); }

double TMemoryStream::ReadDoubleLE()
{
    const unsigned char* p = Take(8);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | p[i];
    return std::bit_cast<double>(bits);
}

std::string_view TMemoryStream::ReadZeroTerminated(uint64_t end)
{
    end = std::min<uint64_t>(end, FData.size());
    const char* const begin = Current();
    const void* zero = FPosition < end ? std::memchr(begin, 0, size_t(end - FPosition)) : nullptr;
    if (!zero)
        ThrowReadError();
    const auto n = size_t(static_cast<const char*>(zero) - begin);
    FPosition += n + 1;
    return std::string_view(begin, n);
}

std::string_view TMemoryStream::ReadRest()
{
    const std::string_view rest(Current(), size_t(Remaining()));
    FPosition = std::max<uint64_t>(FPosition, FData.size());
    return rest;
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

char* TMemoryStream::WriteSpace(uint64_t count)
{
    if (FPosition + count > FData.size())
        FData.resize(FPosition + count, '\0');
    char* const at = FData.data() + FPosition;
    FPosition += count;
    return at;
}

void TMemoryStream::WriteU16LE(uint16_t v)
{
    const char bytes[2] = {char(v & 0xFF), char(v >> 8)};
    Write(bytes, 2);
}

void TMemoryStream::WriteU32LE(uint32_t v)
{
    const char bytes[4] = {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)};
    Write(bytes, 4);
}

void TMemoryStream::WriteDoubleLE(double v)
{
    const auto bits = std::bit_cast<uint64_t>(v);
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = char(bits >> (8 * i) & 0xFF);
    Write(bytes, 8);
}

std::string ReadStreamString(TMemoryStream& stream, int64_t count)
{
    const uint64_t n = count < 0 ? stream.Remaining() : std::min<uint64_t>(uint64_t(count), stream.Remaining());
    std::string out(stream.Current(), n);
    stream.Seek(stream.Position() + n);
    return out;
}
