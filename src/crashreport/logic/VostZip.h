// Deflate decompression of buffers, files and file mappings with CRC-32 checking, and the
// compressed string container of the debug information.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Nothing inflates to more than this: a hostile length field must not make us allocate it.
constexpr uint64_t MaxInflatedSize = uint64_t(256) << 20;

// The standard CRC-32 table step; start with 0xFFFFFFFF and complement the end value.
uint32_t Crc32Step(uint32_t crc, const void* bytes, size_t length);

// Inflates a raw Deflate stream; the number of bytes produced, which must be exactly
// destinationLength, or 0 on any failure.
size_t InflateBuffer(const void* source, void* destination, size_t sourceLength, size_t destinationLength);

// One end of InflateEx: a memory buffer, a file descriptor read or written in 1 MiB pieces, or a
// file descriptor mapped in 1 MiB views. Exactly one of the three is set.
struct TInflateEnd {
    enum class TKind { Buffer, File, Mapping };
    TKind Kind = TKind::Buffer;
    void* Buffer = nullptr; // source buffers are only read
    int Descriptor = -1;
    static TInflateEnd OfBuffer(const void* buffer) { return {TKind::Buffer, const_cast<void*>(buffer), -1}; }
    static TInflateEnd OfFile(int descriptor) { return {TKind::File, nullptr, descriptor}; }
    static TInflateEnd OfMapping(int descriptor) { return {TKind::Mapping, nullptr, descriptor}; }
};

// Inflates sourceLength bytes of the source starting at inputOffset into destinationLength bytes
// of the destination (a mapped destination file is grown to that length). crc, when given,
// receives the CRC-32 of the bytes written. The number of bytes produced, or 0 when the stream
// does not end cleanly, is not consumed whole, gives another length or exceeds MaxInflatedSize.
// Throws VostException ("Stream write error.") when a destination file takes fewer bytes than asked.
uint64_t InflateEx(const TInflateEnd& source, const TInflateEnd& destination, uint32_t* crc, uint64_t destinationLength,
                   uint64_t sourceLength, uint64_t inputOffset);

// The compressed string container read back: u32 length, u32 unused, u32 CRC-32, raw Deflate.
// Empty when shorter than 13 bytes, when the length or the CRC-32 does not match, or beyond
// MaxInflatedSize.
std::string InflateText(std::string_view text);
// The writer of that container (for the debug-information tool and tests).
std::string DeflateText(std::string_view text);
