// The event parser over expat. Expat checks every well-formedness rule of XML 1.0 and keeps its
// element stack on the heap, so neither bad input nor deep nesting can bring it down; it is also
// five times faster than QXmlStreamReader on big GPX files (bench/bench_xml_parsers.cpp).
#include "core/uXmlStream.h"

#include "core/uCodePage.h"
#include "core/uXmlDocument.h"

#include <expat.h>

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

// Encodings expat does not know itself are passed under this name and mapped byte by byte.
constexpr char CodePageEncodingName[] = "x-tarvell-code-page";
constexpr size_t ParseChunkSize = size_t(1) << 20;

class TExpatParse {
public:
    // The document is the segments one after the other, without a byte-order mark.
    TExpatParse(std::vector<std::string_view> segments, const TXmlEncoding& encoding, TXmlStreamHandler* handler)
        : FSegments(std::move(segments))
        , FEncoding(encoding)
        , FHandler(handler)
    {
        size_t at = 0;
        for (const std::string_view segment : FSegments) {
            FSegmentStarts.push_back(at);
            at += segment.size();
        }
    }

    bool Run()
    {
        const char* name = "UTF-8";
        switch (FEncoding.Kind) {
        case TXmlEncoding::TKind::Utf8:
            break;
        case TXmlEncoding::TKind::Utf16LE:
            name = "UTF-16LE";
            break;
        case TXmlEncoding::TKind::Utf16BE:
            name = "UTF-16BE";
            break;
        case TXmlEncoding::TKind::CodePage:
            name = CodePageEncodingName;
            break;
        }
        // The name given here wins over the document's declaration, as the decoding rules want.
        FParser = XML_ParserCreate(name);
        if (!FParser)
            throw std::bad_alloc();
        XML_SetUserData(FParser, this);
        XML_SetUnknownEncodingHandler(FParser, &TExpatParse::OnUnknownEncoding, this);
        XML_SetStartDoctypeDeclHandler(FParser, &TExpatParse::OnDoctype);
        if (FHandler) {
            XML_SetElementHandler(FParser, &TExpatParse::OnStart, &TExpatParse::OnEnd);
            XML_SetCharacterDataHandler(FParser, &TExpatParse::OnCharacters);
            XML_SetCdataSectionHandler(FParser, &TExpatParse::OnCdataStart, &TExpatParse::OnCdataEnd);
            // Comments and processing instructions end a text node.
            XML_SetCommentHandler(FParser, &TExpatParse::OnComment);
            XML_SetProcessingInstructionHandler(FParser, &TExpatParse::OnProcessingInstruction);
        }
        bool ok = true;
        // Expat copies what it is given into a buffer of its own: a megabyte at a time keeps that
        // buffer small (it grows only for a longer single token).
        for (size_t i = 0; ok && i < FSegments.size(); ++i) {
            std::string_view rest = FSegments[i];
            const bool last = i + 1 == FSegments.size();
            do {
                const size_t chunk = std::min<size_t>(rest.size(), ParseChunkSize);
                ok = XML_Parse(FParser, rest.data(), int(chunk), last && chunk == rest.size()) == XML_STATUS_OK;
                rest.remove_prefix(chunk);
            } while (ok && !rest.empty());
        }
        XML_ParserFree(FParser);
        FParser = nullptr;
        if (FError)
            std::rethrow_exception(FError);
        return ok && !FRefused;
    }

private:
    static TExpatParse& Self(void* data) { return *static_cast<TExpatParse*>(data); }

    // Handler exceptions must not unwind through expat's C frames.
    template <typename F>
    void Guarded(F f)
    {
        if (FError)
            return;
        try {
            f();
        } catch (...) {
            FError = std::current_exception();
            XML_StopParser(FParser, XML_FALSE);
        }
    }

    // Ends the text node being collected, if any.
    void Flush()
    {
        if (FTextBlank && !FInCdata) {
            FText.clear();
            return;
        }
        if (!FText.empty() || FInCdata)
            Guarded([&] { FHandler->Text(FText, FInCdata); });
        FText.clear();
        FTextBlank = true;
    }

    // Whether the raw bytes of the current event are white space only: a reference that stands
    // for white space ("&#32;") makes a text node, as in the document object.
    bool RawBlank() const
    {
        const XML_Index index = XML_GetCurrentByteIndex(FParser);
        const int count = XML_GetCurrentByteCount(FParser);
        if (index < 0 || count <= 0)
            return false;
        // Expat counts from the first byte it was given, over all segments.
        size_t at = size_t(index);
        size_t left = size_t(count);
        size_t i = size_t(std::upper_bound(FSegmentStarts.begin(), FSegmentStarts.end(), at) - FSegmentStarts.begin());
        if (i == 0)
            return false;
        for (--i; left > 0; ++i) {
            if (i >= FSegments.size())
                return false;
            const std::string_view part = FSegments[i].substr(std::min(at - FSegmentStarts[i], FSegments[i].size()));
            const std::string_view bytes = part.substr(0, std::min(left, part.size()));
            for (const char c : bytes)
                if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\0')
                    return false;
            left -= bytes.size();
            at += bytes.size();
        }
        return true;
    }

    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes)
    {
        TExpatParse& self = Self(data);
        self.Flush();
        self.Guarded([&] { self.FHandler->StartElement(name, attributes); });
    }

    static void XMLCALL OnEnd(void* data, const XML_Char*)
    {
        TExpatParse& self = Self(data);
        self.Flush();
        self.Guarded([&] { self.FHandler->EndElement(); });
    }

    static void XMLCALL OnCharacters(void* data, const XML_Char* text, int length)
    {
        TExpatParse& self = Self(data);
        if (self.FError)
            return;
        if (self.FTextBlank && !self.FInCdata && !self.RawBlank())
            self.FTextBlank = false;
        self.Guarded([&] { self.FText.append(text, size_t(length)); });
    }

    static void XMLCALL OnCdataStart(void* data)
    {
        TExpatParse& self = Self(data);
        self.Flush();
        self.FInCdata = true;
    }

    static void XMLCALL OnCdataEnd(void* data)
    {
        TExpatParse& self = Self(data);
        self.Flush();
        self.FInCdata = false;
    }

    static void XMLCALL OnComment(void* data, const XML_Char* text)
    {
        TExpatParse& self = Self(data);
        self.Flush();
        self.Guarded([&] { self.FHandler->Comment(text); });
    }

    static void XMLCALL OnProcessingInstruction(void* data, const XML_Char* target, const XML_Char* text)
    {
        TExpatParse& self = Self(data);
        self.Flush();
        self.Guarded([&] { self.FHandler->ProcessingInstruction(target, text); });
    }

    // No document type is read: its entities could expand without end or name other files.
    static void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        TExpatParse& self = Self(data);
        self.FRefused = true;
        XML_StopParser(self.FParser, XML_FALSE);
    }

    static int XMLCALL OnUnknownEncoding(void* data, const XML_Char* name, XML_Encoding* info)
    {
        const TExpatParse& self = Self(data);
        if (std::string_view(name) != CodePageEncodingName || self.FEncoding.Kind != TXmlEncoding::TKind::CodePage)
            return XML_STATUS_ERROR;
        // The codec maps every byte to one character of the Basic Multilingual Plane.
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const QString text = AnsiToUnicode(std::string_view(&byte, 1), self.FEncoding.CodePage);
            info->map[b] = text.size() == 1 ? int(text[0].unicode()) : -1;
        }
        info->data = nullptr;
        info->convert = nullptr;
        info->release = nullptr;
        return XML_STATUS_OK;
    }

    std::vector<std::string_view> FSegments;
    std::vector<size_t> FSegmentStarts;
    TXmlEncoding FEncoding;
    TXmlStreamHandler* FHandler;
    XML_Parser FParser = nullptr;
    std::string FText;
    bool FTextBlank = true;
    bool FInCdata = false;
    bool FRefused = false;
    std::exception_ptr FError;
};

} // namespace

bool ParseXmlStream(std::string_view bytes, TXmlStreamHandler* handler)
{
    const TXmlEncoding encoding = XmlInputEncoding(bytes);
    return TExpatParse({bytes.substr(encoding.BomSize)}, encoding, handler).Run();
}

bool ParseXmlStreamUtf8(std::string_view utf8, TXmlStreamHandler* handler)
{
    TXmlEncoding encoding;
    encoding.BomSize = utf8.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    return TExpatParse({utf8.substr(encoding.BomSize)}, encoding, handler).Run();
}

namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The end of the tag whose name starts at from (just past its ">"), npos when it has none;
// a ">" inside a quoted attribute value does not end it.
size_t TagEnd(std::string_view bytes, size_t from)
{
    for (size_t i = from; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '>')
            return i + 1;
        if (c == '"' || c == '\'') {
            i = bytes.find(c, i + 1);
            if (i == std::string_view::npos)
                return i;
        }
    }
    return std::string_view::npos;
}

} // namespace

TXmlPieces::TXmlPieces(std::string_view bytes, std::string_view rootName, std::string_view child, size_t pieces)
    : FBytes(bytes)
    , FEncoding(XmlInputEncoding(bytes))
{
    if (pieces < 2 || (FEncoding.Kind != TXmlEncoding::TKind::Utf8 && FEncoding.Kind != TXmlEncoding::TKind::CodePage))
        return;
    // The prolog: white space, the declaration, comments and processing instructions. A document
    // type declaration or anything unexpected is left to the one parse of the whole document.
    size_t at = FEncoding.BomSize;
    for (;;) {
        while (at < bytes.size() && IsXmlSpace(bytes[at]))
            ++at;
        const std::string_view rest = bytes.substr(std::min(at, bytes.size()));
        size_t end = std::string_view::npos;
        if (rest.starts_with("<?"))
            end = rest.find("?>");
        else if (rest.starts_with("<!--"))
            end = rest.find("-->", 4);
        else
            break;
        if (end == std::string_view::npos)
            return;
        // Past the "?>" or "-->".
        at += end + (rest[1] == '?' ? 2 : 3);
    }
    const std::string_view rest = bytes.substr(std::min(at, bytes.size()));
    if (!rest.starts_with('<') || !rest.substr(1).starts_with(rootName) || rest.size() <= rootName.size() + 1)
        return;
    const char afterName = rest[rootName.size() + 1];
    if (!IsXmlSpace(afterName) && afterName != '>')
        return;
    const size_t rootEnd = TagEnd(bytes, at + 1);
    if (rootEnd == std::string_view::npos || bytes[rootEnd - 2] == '/')
        return;
    FRootStart = bytes.substr(at, rootEnd - at);
    FRootEnd = "</" + std::string(rootName) + ">";
    // A cut is a guess: the start of a child, as far as a look at the bytes before it goes. Only
    // the parses of the pieces prove it, and they do: a cut anywhere but between two children
    // of the root leaves the piece before it unfinished (inside a comment, a CDATA section, a
    // tag or a deeper element), and that piece is then not well-formed.
    const std::string pattern = "<" + std::string(child);
    const size_t spacing = (bytes.size() - rootEnd) / pieces;
    size_t from = rootEnd;
    for (size_t k = 1; k < pieces; ++k) {
        from = std::max(from, rootEnd + k * spacing);
        for (;;) {
            const size_t cut = bytes.find(pattern, from);
            if (cut == std::string_view::npos || cut + pattern.size() >= bytes.size())
                return;
            from = cut + pattern.size();
            const char next = bytes[from];
            if (!IsXmlSpace(next) && next != '>' && next != '/')
                continue;
            size_t before = cut;
            while (before > rootEnd && IsXmlSpace(bytes[before - 1]))
                --before;
            if (bytes[before - 1] != '>')
                continue;
            FCuts.push_back(cut);
            break;
        }
    }
}

size_t TXmlPieces::Count() const { return FCuts.empty() ? 0 : FCuts.size() + 1; }

bool TXmlPieces::Parse(size_t piece, TXmlStreamHandler* handler) const
{
    std::vector<std::string_view> segments;
    const size_t first = piece == 0 ? FEncoding.BomSize : FCuts[piece - 1];
    const size_t end = piece < FCuts.size() ? FCuts[piece] : FBytes.size();
    if (piece > 0)
        segments.push_back(FRootStart);
    segments.push_back(FBytes.substr(first, end - first));
    if (piece < FCuts.size())
        segments.push_back(FRootEnd);
    return TExpatParse(std::move(segments), FEncoding, handler).Run();
}
