// Blowfish against the published vectors, its modes and padding; Base64 against Qt's encoder.
#include "crashreport/logic/VostCrypt.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <random>

namespace {

std::string FromHex(std::string_view hex)
{
    return QByteArray::fromHex(QByteArray(hex.data(), qsizetype(hex.size()))).toStdString();
}

std::string ToHex(const std::string& bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size())).toHex().toUpper().toStdString();
}

std::string Encrypted(std::string text, std::string_view key, uint32_t low = 0, uint32_t high = 0)
{
    CipherBuffer(text.data(), text.size(), true, false, low, high, key);
    return text;
}

} // namespace

TEST(Blowfish, PublishedVectors)
{
    struct {
        const char *Key, *Plain, *Cipher;
    } vectors[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    };
    for (auto& v : vectors) {
        const std::string key = FromHex(v.Key);
        const std::string cipher = Encrypted(FromHex(v.Plain), key);
        EXPECT_EQ(ToHex(cipher), v.Cipher) << "key " << v.Key;
        std::string back = cipher;
        CipherBuffer(back.data(), back.size(), false, false, 0, 0, key);
        EXPECT_EQ(ToHex(back), v.Plain) << "key " << v.Key;
    }
}

TEST(Blowfish, BlocksTailsWordOrderAndCounter)
{
    const std::string key = "reporter key";
    EXPECT_EQ(Encrypted("1234567", key), "1234567") << "fewer than 8 bytes stay";
    const std::string twelve = Encrypted("abcdefghijkl", key);
    EXPECT_NE(twelve.substr(0, 8), "abcdefgh");
    EXPECT_EQ(twelve.substr(8), "ijkl") << "the tail stays";
    EXPECT_EQ(Encrypted("abcdefgh", ""), "abcdefgh") << "an empty key changes nothing";

    // Little-endian words are the big-endian form on byte-swapped words.
    std::string words = "0123456789abcdefXYZ";
    std::string swapped = words;
    for (size_t i = 0; i + 4 <= 16; i += 4)
        std::swap(swapped[i], swapped[i + 3]), std::swap(swapped[i + 1], swapped[i + 2]);
    swapped = Encrypted(swapped, key);
    for (size_t i = 0; i + 4 <= 16; i += 4)
        std::swap(swapped[i], swapped[i + 3]), std::swap(swapped[i + 1], swapped[i + 2]);
    std::string little = words;
    EncryptWords(little, key);
    EXPECT_EQ(little, swapped);
    DecryptWords(little, key);
    EXPECT_EQ(little, words);

    // Counter mode: the same operation both ways; the counter's byte 7 carries into byte 6.
    const std::string zeros(16, '\0');
    const std::string stream = Encrypted(zeros, key, 0, 0xFF000000u);
    EXPECT_EQ(Encrypted(stream, key, 0, 0xFF000000u), zeros);
    EXPECT_EQ(stream.substr(8), Encrypted(std::string(8, '\0'), key, 0, 0x00010000u));
    std::string text = Encrypted(std::string("message!\x02\x02"), key, 7, 9);
    DecryptText(text, key, 7, 9);
    EXPECT_EQ(text, "message!");
}

TEST(Blowfish, DecryptTextRemovesOnlyValidPadding)
{
    struct {
        std::string Plain, Out;
    } cases[] = {
        {std::string("abcde\x03\x03\x03", 8), "abcde"},
        {std::string("abcde\x03\x02\x03", 8), std::string("abcde\x03\x02\x03", 8)},
        {std::string("abcdefg\x01", 8), "abcdefg"},
        {std::string("\x08\x08\x08\x08\x08\x08\x08\x08", 8), ""},
        {std::string("abcdefg\x09", 8), std::string("abcdefg\x09", 8)},
        {std::string("abcdefg\x00", 8), std::string("abcdefg\x00", 8)},
    };
    const std::string key = "mail password key";
    for (auto& c : cases) {
        std::string text = Encrypted(c.Plain, key);
        DecryptText(text, key);
        EXPECT_EQ(text, c.Out) << ToHex(c.Plain);
    }
    std::string empty;
    DecryptText(empty, key);
    EXPECT_EQ(empty, "");
}

TEST(Base64, MatchesQtForEveryLength)
{
    std::mt19937 random(5150);
    for (int length = 0; length <= 70; ++length) {
        std::string bytes(size_t(length), '\0');
        for (char& c : bytes)
            c = char(random());
        const QByteArray expected = QByteArray(bytes.data(), length).toBase64();
        EXPECT_EQ(Base64EncodeText(bytes), expected.toStdString()) << "length " << length;
    }
    EXPECT_EQ(Base64EncodeText("a"), "YQ==");
    EXPECT_EQ(Base64EncodeText("ab"), "YWI=");
    EXPECT_EQ(Base64Encode("abc", -1), "");
    EXPECT_EQ(Base64Encode(nullptr, 3), "");
}
