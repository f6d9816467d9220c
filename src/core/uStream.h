// The in-memory stream every converter reads from and writes to, with bounds-checked reads.
#pragma once

#include "core/uGeneral.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

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

    uint8_t ReadU8();
    uint16_t ReadU16LE();
    uint32_t ReadU32LE();
    int32_t ReadI32LE() { return static_cast<int32_t>(ReadU32LE()); }
    uint16_t ReadU16BE();
    uint32_t ReadU32BE();
    double ReadDoubleLE();

    void Write(const void* buffer, uint64_t count);
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    void WriteU8(uint8_t v) { Write(&v, 1); }
    void WriteU16LE(uint16_t v);
    void WriteU32LE(uint32_t v);
    void WriteI32LE(int32_t v) { WriteU32LE(static_cast<uint32_t>(v)); }
    void WriteDoubleLE(double v);

private:
    void Need(uint64_t count) const
    {
        if (count > Remaining())
            throw EReadError(FPosition);
    }

    std::string FData;
    uint64_t FPosition = 0;
};

// Reads count bytes from the position as 8-bit text; count -1 means the whole stream from the
// position on. Never reads past the end.
std::string ReadStreamString(TMemoryStream& stream, int64_t count);
