// The in-memory stream every converter reads from and writes to, with bounds-checked reads.
#pragma once

#include "core/uGeneral.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

// A read that needs more bytes than remain ("Stream read error"), naming the offset.
class EReadError : public ETarvellError {
public:
    explicit EReadError(uint64_t offset);
    uint64_t Offset() const { return FOffset; }

private:
    uint64_t FOffset;
};

// A growable byte buffer with a position. Read never goes past the end and says how much it got;
// the Read<type> helpers throw EReadError when too few bytes remain. Writes at the position
// overwrite and extend the buffer.
class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string data)
        : FData(std::move(data))
    {
    }

    uint64_t Size() const { return FData.size(); }
    uint64_t Position() const { return FPosition; }
    uint64_t Remaining() const { return FPosition < FData.size() ? FData.size() - FPosition : 0; }
    // Positions past the end are allowed; a later write fills the gap with zeros.
    void Seek(uint64_t position) { FPosition = position; }
    void Skip(uint64_t count);  // throws EReadError when fewer remain
    void Clear()
    {
        FData.clear();
        FPosition = 0;
    }
    void Reserve(uint64_t size) { FData.reserve(size); }

    const std::string& Data() const { return FData; }
    std::string& MutableData() { return FData; }
    std::string TakeData()
    {
        FPosition = 0;
        return std::move(FData);
    }
    // Bytes from the position on, without moving it.
    const char* Current() const { return FData.data() + (FPosition < FData.size() ? FPosition : FData.size()); }

    // Copies up to count bytes; returns how many were copied.
    uint64_t Read(void* buffer, uint64_t count);
    // Exactly count bytes or EReadError.
    void ReadBuffer(void* buffer, uint64_t count);
    std::string ReadBytes(uint64_t count);

    // Fixed-size reads decode their bytes in the file's byte order, whatever the host's; they are
    // inline, since binary readers call them several times per record.
    uint8_t ReadU8()
    {
        Need(1);
        return static_cast<uint8_t>(FData[FPosition++]);
    }
    uint16_t ReadU16LE()
    {
        const unsigned char* p = Take(2);
        return static_cast<uint16_t>(p[0] | p[1] << 8);
    }
    uint32_t ReadU32LE()
    {
        const unsigned char* p = Take(4);
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    int32_t ReadI32LE() { return static_cast<int32_t>(ReadU32LE()); }
    uint16_t ReadU16BE()
    {
        const unsigned char* p = Take(2);
        return static_cast<uint16_t>(p[0] << 8 | p[1]);
    }
    uint32_t ReadU32BE()
    {
        const unsigned char* p = Take(4);
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
    }
    double ReadDoubleLE();
    // The bytes before the next zero byte, which must lie before offset end (or the end of the
    // stream); the position moves past the zero. EReadError when there is none.
    std::string_view ReadZeroTerminated(uint64_t end);
    // The bytes from the position to the end, without copying; the position moves to the end.
    // The view lasts as long as the stream's data is not changed.
    std::string_view ReadRest();

    void Write(const void* buffer, uint64_t count);
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    void WriteU8(uint8_t v) { Write(&v, 1); }
    void WriteU16LE(uint16_t v);
    void WriteU32LE(uint32_t v);
    void WriteI32LE(int32_t v) { WriteU32LE(static_cast<uint32_t>(v)); }
    void WriteDoubleLE(double v);
    // Makes room for count bytes at the position (overwriting or extending the data) and moves
    // the position past them; the writer fills them through the pointer, which lasts until the
    // stream's data changes again.
    char* WriteSpace(uint64_t count);

private:
    void Need(uint64_t count) const
    {
        if (count > Remaining())
            [[unlikely]] ThrowReadError();
    }
    // count bytes from the position on; the position moves past them.
    const unsigned char* Take(uint64_t count)
    {
        Need(count);
        const auto* p = reinterpret_cast<const unsigned char*>(FData.data() + FPosition);
        FPosition += count;
        return p;
    }
    [[noreturn]] void ThrowReadError() const;

    std::string FData;
    uint64_t FPosition = 0;
};

// The little-endian integer of type T at bytes (any alignment), whatever the host's byte order.
template <typename T>
T DecodeLE(const char* bytes)
{
    using U = std::make_unsigned_t<T>;
    U v = 0;
    for (size_t i = sizeof(T); i-- > 0;)
        v = static_cast<U>(v << 8 | static_cast<unsigned char>(bytes[i]));
    return static_cast<T>(v);
}

// Puts value at bytes as a little-endian integer.
template <typename T>
void EncodeLE(char* bytes, T value)
{
    using U = std::make_unsigned_t<T>;
    auto v = static_cast<U>(value);
    for (size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<char>(v & 0xFF);
        v = static_cast<U>(v >> 8);
    }
}

// Reads count bytes from the position as 8-bit text; count -1 means the whole stream from the
// position on. Never reads past the end.
std::string ReadStreamString(TMemoryStream& stream, int64_t count);
