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

namespace {

// Encodings expat does not know itself are passed under this name and mapped byte by byte.
constexpr char CodePageEncodingName[] = "x-tarvell-code-page";
constexpr size_t ParseChunkSize = size_t(1) << 20;

class TExpatParse {
public:
    TExpatParse(std::string_view bytes, const TXmlEncoding& encoding, TXmlStreamHandler* handler)
        : FBytes(bytes)
        , FEncoding(encoding)
        , FHandler(handler)
    {
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
            // Comments and processing instructions are no nodes, but they end a text node.
            XML_SetCommentHandler(FParser, &TExpatParse::OnComment);
            XML_SetProcessingInstructionHandler(FParser, &TExpatParse::OnProcessingInstruction);
        }
        std::string_view rest = FBytes.substr(FEncoding.BomSize);
        FOffset = FEncoding.BomSize;
        bool ok = true;
        // Expat copies what it is given into a buffer of its own: a megabyte at a time keeps that
        // buffer small (it grows only for a longer single token).
        do {
            const size_t chunk = std::min<size_t>(rest.size(), ParseChunkSize);
            ok = XML_Parse(FParser, rest.data(), int(chunk), chunk == rest.size()) == XML_STATUS_OK;
            rest.remove_prefix(chunk);
        } while (ok && !rest.empty());
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
        // Expat counts from the first byte it was given, after the byte-order mark.
        const size_t at = FOffset + size_t(index);
        if (at + size_t(count) > FBytes.size())
            return false;
        for (const char c : FBytes.substr(at, size_t(count)))
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\0')
                return false;
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

    static void XMLCALL OnComment(void* data, const XML_Char*) { Self(data).Flush(); }
    static void XMLCALL OnProcessingInstruction(void* data, const XML_Char*, const XML_Char*) { Self(data).Flush(); }

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

    std::string_view FBytes;
    TXmlEncoding FEncoding;
    TXmlStreamHandler* FHandler;
    XML_Parser FParser = nullptr;
    size_t FOffset = 0;
    std::string FText;
    bool FTextBlank = true;
    bool FInCdata = false;
    bool FRefused = false;
    std::exception_ptr FError;
};

} // namespace

bool ParseXmlStream(std::string_view bytes, TXmlStreamHandler* handler)
{
    return TExpatParse(bytes, XmlInputEncoding(bytes), handler).Run();
}

bool ParseXmlStreamUtf8(std::string_view utf8, TXmlStreamHandler* handler)
{
    TXmlEncoding encoding;
    encoding.BomSize = utf8.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    return TExpatParse(utf8, encoding, handler).Run();
}
