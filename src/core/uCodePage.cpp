// The system ANSI code page codec.
#include "core/uCodePage.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <unordered_map>

namespace {

#include "core/uCodePageTables.inc"

const char16_t* TableFor(int codePage)
{
    switch (codePage) {
    case 1250: return Cp1250;
    case 1251: return Cp1251;
    case 1253: return Cp1253;
    case 1254: return Cp1254;
    case 1257: return Cp1257;
    default: return Cp1252;
    }
}

struct TReverse {
    std::unordered_map<char16_t, unsigned char> Map;
};

const TReverse& ReverseFor(int codePage)
{
    static const auto build = [](const char16_t* table) {
        TReverse r;
        for (int i = 0; i < 128; ++i)
            r.Map.emplace(table[i], static_cast<unsigned char>(0x80 + i));
        return r;
    };
    static const TReverse r1250 = build(Cp1250), r1251 = build(Cp1251), r1252 = build(Cp1252),
                          r1253 = build(Cp1253), r1254 = build(Cp1254), r1257 = build(Cp1257);
    switch (codePage) {
    case 1250: return r1250;
    case 1251: return r1251;
    case 1253: return r1253;
    case 1254: return r1254;
    case 1257: return r1257;
    default: return r1252;
    }
}

std::atomic<int> CachedCodePage{0};

int ParseOverride(const char* text)
{
    QString s = QString::fromLocal8Bit(text).trimmed().toLower();
    if (s.startsWith(QLatin1String("cp")))
        s.remove(0, 2);
    bool ok = false;
    const int cp = s.toInt(&ok);
    if (ok && (cp == 1250 || cp == 1251 || cp == 1252 || cp == 1253 || cp == 1254 || cp == 1257))
        return cp;
    return 0;
}

} // namespace

int CodePageForLocaleName(const QString& localeName)
{
    const QString lang = localeName.section(QChar('.'), 0, 0).section(QChar('_'), 0, 0).section(QChar('@'), 0, 0).toLower();
    static const std::unordered_map<std::string, int> byLanguage = {
        {"cs", 1250}, {"pl", 1250}, {"hu", 1250}, {"sk", 1250}, {"sl", 1250}, {"hr", 1250}, {"ro", 1250},
        {"sq", 1250}, {"bs", 1250}, {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"mk", 1251},
        {"sr", 1251}, {"kk", 1251}, {"ky", 1251}, {"tt", 1251}, {"mn", 1251}, {"el", 1253}, {"tr", 1254},
        {"az", 1254}, {"uz", 1254}, {"lt", 1257}, {"lv", 1257}, {"et", 1257}};
    const auto it = byLanguage.find(lang.toStdString());
    return it == byLanguage.end() ? 1252 : it->second;
}

int SystemAnsiCodePage()
{
    int cp = CachedCodePage.load();
    if (cp != 0)
        return cp;
    if (const char* over = std::getenv("TARVELL_CODEPAGE"))
        cp = ParseOverride(over);
    if (cp == 0) {
        const char* name = nullptr;
        for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* v = std::getenv(var);
            if (v && *v) {
                name = v;
                break;
            }
        }
        cp = CodePageForLocaleName(name ? QString::fromLocal8Bit(name) : QStringLiteral("C"));
    }
    CachedCodePage.store(cp);
    return cp;
}

void ResetSystemAnsiCodePage() { CachedCodePage.store(0); }

QString AnsiToUnicode(std::string_view text, int codePage)
{
    const char16_t* table = TableFor(codePage);
    QString out(qsizetype(text.size()), Qt::Uninitialized);
    QChar* dst = out.data();
    for (unsigned char b : text)
        *dst++ = QChar(b < 0x80 ? char16_t(b) : table[b - 0x80]);
    return out;
}

std::string UnicodeToAnsi(const QString& text, int codePage)
{
    const TReverse& reverse = ReverseFor(codePage);
    std::string out;
    out.reserve(size_t(text.size()));
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out.push_back(char(u));
            continue;
        }
        const auto it = reverse.Map.find(u);
        out.push_back(it == reverse.Map.end() ? '?' : char(it->second));
    }
    return out;
}
