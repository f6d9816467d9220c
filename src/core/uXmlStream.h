// Streaming XML reading: an event parser that checks well-formedness, for readers of files too
// big to hold as a document.
#pragma once

#include <string_view>

// The nodes of a document as the document object keeps them, in document order: elements, and
// text nodes (character data between two pieces of markup, with references resolved and line
// ends normalised; a run of nothing but white space is no node, a CDATA section always is).
// Comments and processing instructions are left out.
class TXmlStreamHandler {
public:
    virtual ~TXmlStreamHandler() = default;
    // attributes: name, value, name, value, ..., then null; UTF-8, valid for the call only.
    virtual void StartElement(const char* name, const char** attributes) = 0;
    virtual void EndElement() = 0;
    virtual void Text(std::string_view utf8, bool cdata) = 0;
};

// Parses bytes (decoded as XmlInputEncoding of uXmlDocument says) and hands its nodes to handler, if given.
// False when the text is not one well-formed element: a DOCTYPE (no DTD is ever read), an
// undefined entity, a duplicate attribute, a bad character or a cut end all count. Nesting depth
// costs heap, never stack. An exception of the handler stops the parse and is rethrown.
bool ParseXmlStream(std::string_view bytes, TXmlStreamHandler* handler);
// The same for text already in UTF-8 (its declaration is not consulted).
bool ParseXmlStreamUtf8(std::string_view utf8, TXmlStreamHandler* handler);
