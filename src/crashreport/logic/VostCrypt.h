// Blowfish in the modes the crash reporter needs, and Base64 for mail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The core routine: length div 8 blocks in place; a tail of fewer than 8 bytes stays unchanged.
// Big-endian words are the standard Blowfish byte order; little-endian words use the bytes as
// two stored u32. A counter of {0, 0} means ECB; any other is the counter mode. An empty password
// leaves the buffer unchanged.
void CipherBuffer(void* buffer, size_t length, bool encrypt, bool littleEndianWords, uint32_t counterLow, uint32_t counterHigh,
                  std::string_view password);
// Deciphers (big-endian ECB, or the counter mode) and removes the padding: a last byte 1 removes
// one byte; a last byte L of 2..8 removes L bytes when the L - 1 bytes before it are all L.
void DecryptText(std::string& text, std::string_view password, uint32_t counterLow = 0, uint32_t counterHigh = 0);
// ECB on little-endian words, no padding: the debug-information container's payload.
void EncryptWords(std::string& text, std::string_view password);
void DecryptWords(std::string& text, std::string_view password);

// RFC 4648 Base64, standard alphabet, "=" padding, no line breaks; empty for a length <= 0.
std::string Base64Encode(const void* bytes, int64_t length);
std::string Base64EncodeText(std::string_view text);
