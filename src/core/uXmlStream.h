// Streaming XML reading: an event parser that checks well-formedness, for readers of files too
// big to hold as a document.
#pragma once

#include "core/uXmlDocument.h"

#include <string>
#include <string_view>
#include <vector>

// The nodes of a document as the document object keeps them, in document order: elements, and
// text nodes (character data between two pieces of markup, with references resolved and line
// ends normalised; a run of nothing but white space is no node, a CDATA section always is),
// comments and processing instructions (but the XML declaration).
class TXmlStreamHandler {
public:
    virtual ~TXmlStreamHandler() = default;
    // attributes: name, value, name, value, ..., then null; UTF-8, valid for the call only.
    virtual void StartElement(const char* name, const char** attributes) = 0;
    virtual void EndElement() = 0;
    virtual void Text(std::string_view utf8, bool cdata) = 0;
    // Handlers that keep no comments or processing instructions need not say so.
    virtual void Comment(std::string_view /*utf8*/) { }
    virtual void ProcessingInstruction(const char* /*target*/, std::string_view /*utf8*/) { }
};

// Parses bytes (decoded as XmlInputEncoding of uXmlDocument says) and hands its nodes to handler, if given.
// False when the text is not one well-formed element: a DOCTYPE (no DTD is ever read), an
// undefined entity, a duplicate attribute, a bad character or a cut end all count. Nesting depth
// costs heap, never stack. An exception of the handler stops the parse and is rethrown.
bool ParseXmlStream(std::string_view bytes, TXmlStreamHandler* handler);
// The same for text already in UTF-8 (its declaration is not consulted).
bool ParseXmlStreamUtf8(std::string_view utf8, TXmlStreamHandler* handler);

// A document cut into pieces that separate parsers can read at once. Piece 0 runs from the start
// to the first cut and is closed with the root's end tag; every later piece is the root's start
// tag and the bytes from its cut to the next, closed the same way but for the last, which runs to
// the end. All pieces are well-formed exactly when the whole document is, and their handlers then
// see the whole document's nodes below the root, each piece its own share in order.
class TXmlPieces {
public:
    // Cuts before children named child of a root element named rootName, about every
    // size / pieces bytes. Count() is 0 when the document cannot be cut (an encoding other than
    // UTF-8 or an 8-bit code page, a document type, another root, too few such children).
    TXmlPieces(std::string_view bytes, std::string_view rootName, std::string_view child, size_t pieces);
    size_t Count() const;
    // Parses piece i as ParseXmlStream parses a document; may run on several threads at once.
    bool Parse(size_t piece, TXmlStreamHandler* handler) const;

private:
    std::string_view FBytes;
    TXmlEncoding FEncoding;
    std::string_view FRootStart;
    std::string FRootEnd;
    std::vector<size_t> FCuts;
};
