// The XML document object every XML text of the program goes through: a small DOM with path
// queries, node text and saving in the declared encoding.
#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

class TMemoryStream;

// Named string values that path expressions refer to as $name; user text is always bound this
// way, never spliced into the expression.
using TXmlVariables = std::vector<std::pair<QString, QString>>;

// A handle on one node of a document; valid while its document lives. A null handle stands for
// "no node".
class TXmlNode {
public:
    TXmlNode() = default;
    explicit TXmlNode(pugi::xml_node node)
        : FNode(node)
    {
    }

    bool IsNull() const { return !FNode; }
    explicit operator bool() const { return bool(FNode); }
    QString NodeName() const;

    // The concatenated text of every descendant text node.
    QString Text() const;
    // Replaces the whole content by one text. Characters XML cannot carry (a NUL, most control
    // characters) become blanks, as by SetAttribute, so the saved document loads again and keeps
    // the text after them. A carriage return is saved as a reference, so it reads back as itself.
    void SetText(const QString& text) const;
    // The node's own markup; namespace declarations in scope from its ancestors are included, so
    // the text loads on its own.
    QString Xml() const;
    // Appends the node's markup as an ISO-8859-1 document saves it, for writers that produce a
    // document's bytes without holding the whole document.
    void AppendLatin1Markup(std::string& out) const { AppendMarkup(out, true); }
    // The same as an ISO-8859-1 (latin1) or a UTF-8 document saves it.
    void AppendMarkup(std::string& out, bool latin1) const;
    // True when an ISO-8859-1 document can hold the node's markup: its names, CDATA sections,
    // comments and processing instructions use no character beyond ISO-8859-1 (nor U+0080..U+009F),
    // where a character reference would not stand for it. Text and attribute values take any.
    bool FitsLatin1() const;

    std::optional<QString> Attribute(const QString& name) const;
    // Replaces the value when the attribute exists, else appends it.
    void SetAttribute(const QString& name, const QString& value) const;
    // The same for ASCII names and UTF-8 values, for readers and writers of big files: the value
    // is null when the attribute is absent.
    const char* AttributeUtf8(const char* name) const;
    void SetAttributeUtf8(const char* name, const std::string& value) const;

    // Creates an element and appends it as the last child.
    TXmlNode AppendElement(const QString& name) const;
    TXmlNode AppendElement(const char* name) const { return TXmlNode(FNode.append_child(name)); }
    // Moves child (a node of the same document) to the end of this node's children.
    void AppendChild(TXmlNode child) const;
    // Appends a deep copy of source, which may belong to another document. Namespace
    // declarations the source had in scope go with the copy unless the same ones are in scope here.
    TXmlNode AppendClone(TXmlNode source) const;
    void RemoveChild(TXmlNode child) const;
    int ChildNodeCount() const;

    // Descendant elements of that name, in document order.
    std::vector<TXmlNode> GetElementsByTagName(const QString& name) const;
    // Element results of a path expression relative to this node; ETarvellError for a bad path.
    std::vector<TXmlNode> SelectNodes(const QString& path, const TXmlVariables& variables = {}) const;
    // The first element match, or a null node.
    TXmlNode SelectSingleNode(const QString& path, const TXmlVariables& variables = {}) const;
    // The first child element of that (ASCII) name, or a null node: SelectSingleNode of a single
    // child step.
    TXmlNode SelectChild(const char* name) const { return TXmlNode(FNode.child(name)); }

    pugi::xml_node Native() const { return FNode; }

private:
    // A handle, like a pointer: a const handle still edits its node.
    mutable pugi::xml_node FNode;
};

// A document. Loading never expands entities or reads a DTD: a document with a DOCTYPE does not
// load.
class TXmlDocument {
public:
    TXmlDocument() = default;
    TXmlDocument(const TXmlDocument&) = delete;
    TXmlDocument& operator=(const TXmlDocument&) = delete;

    // False, with the document left empty, for text that is not well-formed (a bare "&", an
    // undefined entity, a duplicate attribute, a DOCTYPE, ...) or holds no element.
    bool LoadXml(const QString& text);
    // The same for the bytes of a file, decoded as DecodeXmlBytes says.
    bool LoadXmlBytes(std::string_view bytes);
    // The document node itself: paths from here are relative to the document.
    TXmlNode Node() const { return TXmlNode(FDoc); }
    TXmlNode DocumentElement() const;
    // Creates the document element, replacing any.
    TXmlNode CreateDocumentElement(const QString& name);
    // Adds a processing instruction before the document element.
    void AppendProcessingInstruction(const QString& target, const QString& data);

    std::vector<TXmlNode> SelectNodes(const QString& path, const TXmlVariables& variables = {}) const
    {
        return Node().SelectNodes(path, variables);
    }
    TXmlNode SelectSingleNode(const QString& path, const TXmlVariables& variables = {}) const
    {
        return Node().SelectSingleNode(path, variables);
    }

    // Writes the whole document at the stream's position, encoded as the "xml" processing
    // instruction says: ISO-8859-1 with character references above U+00FF, else UTF-8.
    void SaveToStream(TMemoryStream& stream) const;
    // The whole document as bytes, as SaveToStream writes them.
    std::string SaveToBytes() const;

private:
    bool LoadBuffer();
    bool Accept(const pugi::xml_parse_result& result);
    bool SavesLatin1() const;
    void AppendBytes(std::string& out) const;

    // The text a document loaded from bytes lives in (pugixml parses it in place).
    std::string FBuffer;
    pugi::xml_document FDoc;
};

// How the bytes of an XML file are decoded: a byte-order mark wins, then the encoding the
// declaration names, else valid UTF-8, else the system ANSI code page.
struct TXmlEncoding {
    enum class TKind { Utf8, Utf16LE, Utf16BE, CodePage };
    TKind Kind = TKind::Utf8;
    int CodePage = 0;    // for CodePage: the Windows code page
    size_t BomSize = 0;  // bytes of the byte-order mark, not part of the text
};
TXmlEncoding XmlInputEncoding(std::string_view bytes);
// True when every byte is below 0x80.
bool IsAsciiText(std::string_view bytes);
// True for "xmlns" and "xmlns:..." attribute names.
bool IsNamespaceDeclaration(std::string_view name);
// Turns the bytes of an XML file into text, as XmlInputEncoding says.
QString DecodeXmlBytes(std::string_view bytes);
// The same text as UTF-8.
std::string DecodeXmlBytesToUtf8(std::string_view bytes);
// The inverse for a text held in memory (the clipboard): bytes in the encoding its declaration
// names, so that DecodeXmlBytes gives the same text back.
std::string EncodeXmlText(const QString& text);
// A text as an ISO-8859-1 document saves it inside an element (entities and references
// included), for writers that produce the same bytes without building a document.
std::string XmlTextAsLatin1(const QString& text);
// The same as a UTF-8 document saves it.
std::string XmlTextAsUtf8(const QString& text);
// Markup as 8-bit text of the system ANSI code page; characters the code page lacks become
// character references, so the markup still says the same.
std::string MarkupToAnsi(const QString& xml);
// Up to the first 100 characters of a text, control characters removed, for error messages.
QString XmlExcerpt(const QString& text);
// XmlExcerpt of the text of a file's bytes.
QString XmlExcerptOfBytes(std::string_view bytes);
