// Blowfish (the published algorithm and constants) and Base64.
#include "crashreport/logic/VostCrypt.h"

#include <cstring>

namespace {

#include "crashreport/logic/VostCryptTables.inc"

struct TBlowfish {
    uint32_t P[18];
    uint32_t S[4][256];

    uint32_t F(uint32_t x) const
    {
        return ((S[0][x >> 24] + S[1][(x >> 16) & 0xFF]) ^ S[2][(x >> 8) & 0xFF]) + S[3][x & 0xFF];
    }
    void Encrypt(uint32_t& left, uint32_t& right) const
    {
        uint32_t l = left, r = right;
        for (int i = 0; i < 16; ++i) {
            l ^= P[i];
            r ^= F(l);
            std::swap(l, r);
        }
        std::swap(l, r);
        r ^= P[16];
        l ^= P[17];
        left = l;
        right = r;
    }
    void Decrypt(uint32_t& left, uint32_t& right) const
    {
        uint32_t l = left, r = right;
        for (int i = 17; i > 1; --i) {
            l ^= P[i];
            r ^= F(l);
            std::swap(l, r);
        }
        std::swap(l, r);
        r ^= P[1];
        l ^= P[0];
        left = l;
        right = r;
    }
    explicit TBlowfish(std::string_view key)
    {
        std::memcpy(P, InitialP, sizeof P);
        std::memcpy(S, InitialS, sizeof S);
        size_t k = 0;
        for (uint32_t& p : P) {
            uint32_t word = 0;
            for (int b = 0; b < 4; ++b) {
                word = word << 8 | uint8_t(key[k]);
                k = (k + 1) % key.size();
            }
            p ^= word;
        }
        uint32_t l = 0, r = 0;
        for (int i = 0; i < 18; i += 2) {
            Encrypt(l, r);
            P[i] = l;
            P[i + 1] = r;
        }
        for (auto& box : S)
            for (int i = 0; i < 256; i += 2) {
                Encrypt(l, r);
                box[i] = l;
                box[i + 1] = r;
            }
    }
};

uint32_t LoadWord(const uint8_t* p, bool littleEndian)
{
    if (littleEndian)
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
}

void StoreWord(uint8_t* p, uint32_t v, bool littleEndian)
{
    for (int i = 0; i < 4; ++i)
        p[littleEndian ? i : 3 - i] = uint8_t(v >> (8 * i));
}

} // namespace

void CipherBuffer(void* buffer, size_t length, bool encrypt, bool littleEndianWords, uint32_t counterLow, uint32_t counterHigh,
                  std::string_view password)
{
    if (!buffer || length < 8 || password.empty())
        return;
    const TBlowfish cipher(password);
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    const bool counterMode = counterLow != 0 || counterHigh != 0;
    uint8_t counter[8];
    StoreWord(counter, counterLow, true);
    StoreWord(counter + 4, counterHigh, true);
    for (size_t block = 0; block < length / 8; ++block) {
        uint8_t* p = bytes + block * 8;
        if (counterMode) {
            for (int i = 7; i >= 0 && ++counter[i] == 0; --i) {
            }
            uint32_t l = LoadWord(counter, littleEndianWords), r = LoadWord(counter + 4, littleEndianWords);
            cipher.Encrypt(l, r);
            uint8_t key[8];
            StoreWord(key, l, littleEndianWords);
            StoreWord(key + 4, r, littleEndianWords);
            for (int i = 0; i < 8; ++i)
                p[i] ^= key[i];
            continue;
        }
        uint32_t l = LoadWord(p, littleEndianWords), r = LoadWord(p + 4, littleEndianWords);
        if (encrypt)
            cipher.Encrypt(l, r);
        else
            cipher.Decrypt(l, r);
        StoreWord(p, l, littleEndianWords);
        StoreWord(p + 4, r, littleEndianWords);
    }
}

void DecryptText(std::string& text, std::string_view password, uint32_t counterLow, uint32_t counterHigh)
{
    if (text.empty())
        return;
    CipherBuffer(text.data(), text.size(), false, false, counterLow, counterHigh, password);
    const uint8_t last = uint8_t(text.back());
    if (last == 1) {
        text.pop_back();
        return;
    }
    if (last < 2 || last > 8 || text.size() < last)
        return;
    for (size_t i = text.size() - last; i + 1 < text.size(); ++i)
        if (uint8_t(text[i]) != last)
            return;
    text.resize(text.size() - last);
}

void EncryptWords(std::string& text, std::string_view password) { CipherBuffer(text.data(), text.size(), true, true, 0, 0, password); }

void DecryptWords(std::string& text, std::string_view password) { CipherBuffer(text.data(), text.size(), false, true, 0, 0, password); }

std::string Base64Encode(const void* bytes, int64_t length)
{
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (!bytes || length <= 0)
        return {};
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    const size_t n = size_t(length);
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    for (size_t i = 0; i < n; i += 3) {
        const uint32_t b0 = p[i];
        const uint32_t b1 = i + 1 < n ? p[i + 1] : 0;
        const uint32_t b2 = i + 2 < n ? p[i + 2] : 0;
        const uint32_t triple = b0 << 16 | b1 << 8 | b2;
        out += Alphabet[(triple >> 18) & 63];
        out += Alphabet[(triple >> 12) & 63];
        out += i + 1 < n ? Alphabet[(triple >> 6) & 63] : '=';
        out += i + 2 < n ? Alphabet[triple & 63] : '=';
    }
    return out;
}

std::string Base64EncodeText(std::string_view text) { return Base64Encode(text.data(), int64_t(text.size())); }
