// The readers of POI files and the XML services.
#include "FuzzSupport.h"

#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "core/uXmlStream.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// Options are kept in the settings store as the program keeps them; written only on a change.
void SetOptions(const TConvertBase& converter, int row, unsigned bits)
{
    static std::map<std::pair<int, int>, int> written;
    for (int i = 0; i < converter.OptionCount(); ++i) {
        int value = 0;
        if (converter.OptionKind(i) == TOptionKind::okBoolean) {
            value = int(bits & 1);
            bits >>= 1;
        } else {
            const int span = converter.OptionMax(i) - converter.OptionMin(i) + 1;
            value = converter.OptionMin(i) + int(bits % unsigned(std::max(span, 1)));
            bits /= unsigned(std::max(span, 1));
        }
        const auto key = std::make_pair(row, i);
        const auto it = written.find(key);
        if (it != written.end() && it->second == value)
            continue;
        if (converter.OptionKind(i) == TOptionKind::okBoolean)
            converter.WriteBoolOption(i, value != 0);
        else
            converter.WriteIntegerOption(i, value);
        written[key] = value;
    }
}

void CheckEntries(const TEntries& entries, size_t inputSize, const char* when)
{
    Check(size_t(entries.Count()) <= inputSize + 1, std::string(when) + ": more entries than input bytes");
    for (int i = 0; i < entries.Count(); ++i) {
        const double lon = entries[i].GetLongitude();
        const double lat = entries[i].GetLatitude();
        Check(std::isfinite(lon) && std::isfinite(lat) && std::fabs(lon) <= 180 && std::fabs(lat) <= 90,
              std::string(when) + ": entry " + std::to_string(i) + " off the globe");
    }
}

// The writer of exactly this reader's format, -1 for a format that is only read.
int WriterOf(const QString& extension, const QString& formatID)
{
    for (int i = 0; i < TConvertToBase::FormatCount(); ++i)
        if (TConvertToBase::Extension(i).compare(extension, Qt::CaseInsensitive) == 0
            && TConvertToBase::FormatIDAt(i).compare(formatID, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace

int ReaderRow(std::string_view formatID)
{
    for (int i = 0; i < TConvertFromBase::FormatCount(); ++i)
        if (TConvertFromBase::FormatIDAt(i).toStdString() == formatID)
            return i;
    return -1;
}

std::vector<std::string> ReaderFormatIDs()
{
    std::vector<std::string> ids;
    for (int i = 0; i < TConvertFromBase::FormatCount(); ++i)
        ids.push_back(TConvertFromBase::FormatIDAt(i).toStdString());
    return ids;
}

int FuzzReaders(const uint8_t* data, size_t size)
{
    const std::string_view input = Bytes(data, size);
    const size_t end = input.find('\0');
    if (end == std::string_view::npos || end + 1 >= input.size())
        return -1;
    const int row = ReaderRow(input.substr(0, end));
    if (row < 0)
        return -1;
    const std::string_view bytes = input.substr(end + 2);
    const QString extension = TConvertFromBase::Extension(row);  // with its dot
    const QString formatID = TConvertFromBase::FormatIDAt(row);
    SetOptions(*TConvertFromBase::CreateConverterAt(row), row, uint8_t(input[end + 1]));

    // TARVELL_FUZZ_VERBOSE=1 tells what each input read, for a look at a corpus.
    static const bool verbose = qEnvironmentVariableIsSet("TARVELL_FUZZ_VERBOSE");
    TEntries entries;
    try {
        TMemoryStream stream{std::string(bytes)};
        entries.LoadFromStream(stream, extension, formatID, false);
    } catch (const EAssertionFailed& e) {
        Unexpected(e);
    } catch (const ETarvellError& e) {
        if (verbose)
            std::fprintf(stderr, "  %s: %s\n", qPrintable(formatID), e.what());
        CheckEntries(entries, bytes.size(), "after an error");
        return 0;
    }
    if (verbose)
        std::fprintf(stderr, "  %s: %d POIs\n", qPrintable(formatID), entries.Count());
    CheckEntries(entries, bytes.size(), "read");
    if (WriterOf(extension, formatID) < 0)
        return 0;

    TMemoryStream written;
    try {
        entries.SaveToStream(written, extension, formatID);
    } catch (const EAssertionFailed& e) {
        Unexpected(e);
    } catch (const ETarvellError&) {
        // A writer may refuse what it cannot hold (a user error); it must not write it wrong.
        return 0;
    }
    TEntries again;
    try {
        written.Seek(0);
        again.LoadFromStream(written, extension, formatID, false);
    } catch (const ETarvellError& e) {
        Fault(std::string("the written file does not read again: ") + e.what());
    }
    Check(again.Count() == entries.Count(),
          "POIs lost in the round trip: " + std::to_string(entries.Count()) + " read, " + std::to_string(again.Count()) + " reread");
    return 0;
}

// --- XML ---------------------------------------------------------------------------------------

namespace {

class TCountingHandler final : public TXmlStreamHandler {
public:
    void StartElement(const char* name, const char** attributes) override
    {
        ++Depth;
        Check(name && *name, "element without a name");
        for (int i = 0; attributes[i]; i += 2)
            Check(attributes[i + 1] != nullptr, "attribute without a value");
    }
    void EndElement() override
    {
        Check(Depth > 0, "end without a start");
        --Depth;
    }
    void Text(std::string_view utf8, bool) override { Check(utf8.data() != nullptr || utf8.empty(), "text without bytes"); }
    int Depth = 0;
};

} // namespace

int FuzzXml(const uint8_t* data, size_t size)
{
    const std::string_view bytes = Bytes(data, size);
    TCountingHandler handler;
    try {
        if (ParseXmlStream(bytes, &handler))
            Check(handler.Depth == 0, "a well-formed document left elements open");
    } catch (const EAssertionFailed& e) {
        Unexpected(e);
    } catch (const ETarvellError&) {
    }

    TXmlDocument doc;
    if (!doc.LoadXmlBytes(bytes))
        return 0;
    const TXmlNode root = doc.DocumentElement();
    Check(bool(root), "loaded without a document element");
    try {
        doc.SelectNodes(QStringLiteral("//*[@id=$v]"), {{QStringLiteral("v"), root.Text().left(20)}});
        for (const TXmlNode& node : root.GetElementsByTagName(QStringLiteral("name")))
            node.SetText(node.Text() + QChar(0x20AC));
    } catch (const EAssertionFailed& e) {
        Unexpected(e);
    } catch (const ETarvellError&) {
    }
    // Every document we save must load again, saying the same.
    const std::string saved = doc.SaveToBytes();
    TXmlDocument back;
    Check(back.LoadXmlBytes(saved), "a saved document does not load again");
    Check(back.SaveToBytes() == saved, "a saved document saves differently after loading");
    TXmlDocument fragment;
    Check(fragment.LoadXml(root.Xml()), "an element's markup does not load on its own");
    return 0;
}

