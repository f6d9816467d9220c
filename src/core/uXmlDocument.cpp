// The XML document object over pugixml.
#include "core/uXmlDocument.h"

#include "core/uCodePage.h"
#include "core/uGeneral.h"
#include "core/uStream.h"
#include "core/uXmlStream.h"

#include <QRegularExpression>

#include <array>
#include <cstring>
#include <map>

namespace {

class TXmlTexts {
    Q_DECLARE_TR_FUNCTIONS(uXmlDocument)
};

std::string Utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

QString FromUtf8(const char* text) { return QString::fromUtf8(text); }

// Whether XML can hold the character at all: the others (NUL, the C0 controls but tab, line feed
// and carriage return, lone surrogates, U+FFFE, U+FFFF) are not even allowed as references.
bool IsXmlCharacter(char16_t c) { return c >= 0x20 ? c < 0xFFFE : c == '\t' || c == '\n' || c == '\r'; }

// A text or attribute value as UTF-8 with every character XML cannot hold replaced by a blank,
// so that every saved document loads again and no text after such a character is lost. The one
// rule of every XML writer (the GPX writer's tables of bytes are made by it too).
std::string XmlValueUtf8(const QString& text)
{
    const auto bad = [&](qsizetype i) {
        const QChar c = text[i];
        if (c.isHighSurrogate())
            return i + 1 >= text.size() || !text[i + 1].isLowSurrogate();
        if (c.isLowSurrogate())
            return i == 0 || !text[i - 1].isHighSurrogate();
        return !IsXmlCharacter(c.unicode());
    };
    // Nearly every text holds nothing but characters from U+0020 to U+D7FF.
    const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
    qsizetype i = 0;
    while (i < text.size() && units[i] >= 0x20 && units[i] < 0xD800)
        ++i;
    while (i < text.size() && !bad(i))
        ++i;
    if (i == text.size())
        return Utf8(text);
    QString clean = text;
    for (; i < text.size(); ++i)
        if (bad(i))
            clean[i] = QChar(' ');
    return Utf8(clean);
}

// Removes child and its subtree from parent leaf by leaf: the library frees a subtree by
// recursion, which a deeply nested file would carry past the end of the stack.
void RemoveSubtree(pugi::xml_node parent, pugi::xml_node child)
{
    pugi::xml_node node = child;
    for (;;) {
        while (pugi::xml_node first = node.first_child())
            node = first;
        if (node == child)
            break;
        pugi::xml_node up = node.parent();
        up.remove_child(node);
        node = up;
    }
    parent.remove_child(child);
}

// Namespace declarations in scope at node (nearest declaration wins).
std::map<std::string, std::string> NamespacesInScope(pugi::xml_node node)
{
    std::map<std::string, std::string> scope;
    for (pugi::xml_node n = node; n; n = n.parent()) {
        if (n.type() != pugi::node_element)
            continue;
        for (pugi::xml_attribute a : n.attributes())
            if (IsNamespaceDeclaration(a.name()))
                scope.emplace(a.name(), a.value());
    }
    return scope;
}

// Iterative, so that a deeply nested file cannot exhaust the stack.
void AppendText(pugi::xml_node root, std::string& out)
{
    pugi::xml_node node = root.first_child();
    while (node) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            out += node.value();
        if (node.type() == pugi::node_element && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != root && !node.next_sibling())
            node = node.parent();
        if (node == root)
            break;
        node = node.next_sibling();
    }
}

class TStringWriter : public pugi::xml_writer {
public:
    std::string Text;
    void write(const void* data, size_t size) override { Text.append(static_cast<const char*>(data), size); }
};

// Appends UTF-8 as ISO-8859-1; characters the encoding lacks (and U+0080..U+009F) become
// character references (every such character of our documents sits in text or an attribute
// value, where references are allowed). A sequence cut at the end of a chunk is kept in pending.
// The end of the ASCII run from i: eight bytes at a time, as such runs make up nearly all of a
// document.
size_t AsciiRun(std::string_view bytes, size_t i)
{
    while (i + 8 <= bytes.size()) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if (word & 0x8080808080808080ull)
            break;
        i += 8;
    }
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80)
        ++i;
    return i;
}

} // namespace

bool IsNamespaceDeclaration(std::string_view name) { return name == "xmlns" || name.starts_with("xmlns:"); }

bool IsAsciiText(std::string_view bytes) { return AsciiRun(bytes, 0) == bytes.size(); }

namespace {

size_t SequenceLength(unsigned char lead) { return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2; }

void AppendCodePoint(std::string& out, std::string_view sequence)
{
    const auto lead = static_cast<unsigned char>(sequence[0]);
    uint32_t cp = lead & (0x3F >> (sequence.size() - 1));
    for (size_t k = 1; k < sequence.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(sequence[k]) & 0x3F);
    if (cp >= 0xA0 && cp <= 0xFF) {
        out += char(cp);
    } else {
        out += "&#";
        out += std::to_string(cp);
        out += ';';
    }
}

void AppendLatin1(std::string& out, std::string_view utf8, std::string& pending)
{
    if (!pending.empty()) {
        const size_t length = SequenceLength(static_cast<unsigned char>(pending[0]));
        const size_t take = std::min(length - pending.size(), utf8.size());
        pending.append(utf8.substr(0, take));
        utf8.remove_prefix(take);
        if (pending.size() < length)
            return;
        AppendCodePoint(out, pending);
        pending.clear();
    }
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t run = AsciiRun(utf8, i);
        out.append(utf8.data() + i, run - i);
        i = run;
        if (i >= utf8.size())
            break;
        const size_t length = SequenceLength(static_cast<unsigned char>(utf8[i]));
        if (i + length > utf8.size()) {
            pending.assign(utf8.substr(i));
            return;
        }
        AppendCodePoint(out, utf8.substr(i, length));
        i += length;
    }
}

std::string Utf8ToLatin1(std::string_view utf8)
{
    std::string out;
    std::string pending;
    out.reserve(utf8.size());
    AppendLatin1(out, utf8, pending);
    return out;
}

// Appends pugixml's output to a string, as UTF-8 or as ISO-8859-1.
class TAppendWriter : public pugi::xml_writer {
public:
    TAppendWriter(std::string& out, bool latin1)
        : FOut(out)
        , FLatin1(latin1)
    {
    }
    void write(const void* data, size_t size) override
    {
        const std::string_view chunk(static_cast<const char*>(data), size);
        if (FLatin1)
            AppendLatin1(FOut, chunk, FPending);
        else
            FOut.append(chunk);
    }

private:
    std::string& FOut;
    bool FLatin1;
    std::string FPending;
};

// Prints a node's markup as the library prints it raw, with one difference the library cannot
// be told: a carriage return in text is written as a reference, as a reader's line-end rule
// would turn it into a line feed (in attribute values tab, line feed and carriage return are
// references already). Characters XML cannot hold become blanks here too. Iterative, so deep
// markup cannot exhaust the stack; the output goes to the writer in chunks.
class TMarkupPrinter {
public:
    explicit TMarkupPrinter(pugi::xml_writer& writer)
        : FWriter(writer)
    {
    }

    void Print(pugi::xml_node root)
    {
        pugi::xml_node node = root;
        for (;;) {
            if (const pugi::xml_node child = Open(node)) {
                node = child;
                continue;
            }
            for (;;) {
                if (node == root) {
                    Flush();
                    return;
                }
                if (const pugi::xml_node next = node.next_sibling()) {
                    node = next;
                    break;
                }
                node = node.parent();
                Close(node);
            }
        }
    }

private:
    static constexpr size_t ChunkSize = size_t(1) << 14;

    void Put(std::string_view text)
    {
        if (text.size() > ChunkSize - FUsed) {
            Flush();
            if (text.size() >= ChunkSize) {
                FWriter.write(text.data(), text.size());
                return;
            }
        }
        std::memcpy(FBuffer.data() + FUsed, text.data(), text.size());
        FUsed += text.size();
    }

    void Flush()
    {
        if (FUsed > 0)
            FWriter.write(FBuffer.data(), FUsed);
        FUsed = 0;
    }

    static const char* NameOf(const char* name) { return *name ? name : ":anonymous"; }

    // Per byte: 1 when text must not hold it as it is, 2 the same for an attribute value.
    static constexpr std::array<unsigned char, 256> Special = [] {
        std::array<unsigned char, 256> table{};
        for (int b = 0; b < 0x20; ++b)
            table[size_t(b)] = 3;
        table['\t'] = table['\n'] = 2;
        table['&'] = table['<'] = 3;
        table['>'] = 1;
        table['"'] = 2;
        return table;
    }();

    void PutEscaped(const char* text, bool attribute)
    {
        const unsigned char mask = attribute ? 2 : 1;
        const char* run = text;
        for (const char* c = text;; ++c) {
            const auto b = static_cast<unsigned char>(*c);
            if (!(Special[b] & mask))
                continue;
            Put(std::string_view(run, size_t(c - run)));
            switch (b) {
            case 0:
                return;
            case '&':
                Put("&amp;");
                break;
            case '<':
                Put("&lt;");
                break;
            case '>':
                Put("&gt;");
                break;
            case '"':
                Put("&quot;");
                break;
            case '\t':
                Put("&#09;");
                break;
            case '\n':
                Put("&#10;");
                break;
            case '\r':
                Put("&#13;");
                break;
            default:
                Put(" ");
                break;
            }
            run = c + 1;
        }
    }

    // Text of nothing but white space is no text node to a reader (nor to us): its first
    // character as a reference keeps it one.
    void PutText(const char* text)
    {
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || (c > 0 && c < 0x20 && c != '\r'); };
        const char* c = text;
        while (blank(*c))
            ++c;
        if (*c || c == text) {
            PutEscaped(text, false);
            return;
        }
        Put(*text == '\t' ? "&#9;" : *text == '\n' ? "&#10;" : "&#32;");
        PutEscaped(text + 1, false);
    }

    // Writes the start of node; its first child when its children follow, else null.
    pugi::xml_node Open(pugi::xml_node node)
    {
        const pugi::xml_node_type type = node.type();
        switch (type) {
        case pugi::node_document:
            return node.first_child();
        case pugi::node_element:
        case pugi::node_declaration: {
            Put(type == pugi::node_element ? "<" : "<?");
            Put(NameOf(node.name()));
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                Put(" ");
                Put(NameOf(a.name()));
                Put("=\"");
                PutEscaped(a.value(), true);
                Put("\"");
            }
            if (type == pugi::node_declaration) {
                Put("?>");
                return {};
            }
            const pugi::xml_node child = node.first_child();
            Put(child ? ">" : "/>");
            return child;
        }
        case pugi::node_pcdata:
            PutText(node.value());
            return {};
        case pugi::node_cdata: {
            // "]]>" would end the section: its ">" starts the next one.
            std::string_view rest = node.value();
            do {
                const size_t end = rest.find("]]>");
                const size_t take = end == std::string_view::npos ? rest.size() : end + 2;
                Put("<![CDATA[");
                Put(rest.substr(0, take));
                Put("]]>");
                rest.remove_prefix(take);
            } while (!rest.empty());
            return {};
        }
        case pugi::node_comment:
            Put("<!--");
            Put(node.value());
            Put("-->");
            return {};
        case pugi::node_pi:
            Put("<?");
            Put(NameOf(node.name()));
            if (*node.value()) {
                Put(" ");
                Put(node.value());
            }
            Put("?>");
            return {};
        case pugi::node_doctype:
            Put("<!DOCTYPE");
            if (*node.value()) {
                Put(" ");
                Put(node.value());
            }
            Put(">");
            return {};
        default:
            return {};
        }
    }

    // Ends an element whose children were written.
    void Close(pugi::xml_node node)
    {
        if (node.type() != pugi::node_element)
            return;
        Put("</");
        Put(NameOf(node.name()));
        Put(">");
    }

    pugi::xml_writer& FWriter;
    std::array<char, ChunkSize> FBuffer;
    size_t FUsed = 0;
};

void PrintMarkup(pugi::xml_node node, pugi::xml_writer& writer) { TMarkupPrinter(writer).Print(node); }

bool NamesLatin1(const QString& encoding)
{
    const QString e = encoding.trimmed().toLower();
    return e == QLatin1String("iso-8859-1") || e == QLatin1String("iso8859-1") || e == QLatin1String("latin1")
           || e == QLatin1String("iso_8859-1") || e == QLatin1String("l1");
}

QString DeclaredEncoding(std::string_view head)
{
    // "<?xml" then blank: "<?xml-stylesheet ...?>" and the like are instructions, not the declaration.
    static const QRegularExpression re(QStringLiteral("^\\s*<\\?xml[ \\t\\r\\n][^>]*?encoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']"));
    const QString text = QString::fromLatin1(head.data(), qsizetype(std::min<size_t>(head.size(), 200)));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

int WindowsCodePage(const QString& encoding)
{
    const QString e = encoding.trimmed().toLower();
    if (NamesLatin1(e))
        return 1252;  // as browsers do: the C1 range of ISO-8859-1 files is really Windows text
    for (int cp : {1250, 1251, 1252, 1253, 1254, 1257})
        if (e == QStringLiteral("windows-%1").arg(cp) || e == QStringLiteral("cp%1").arg(cp))
            return cp;
    return 0;
}

bool IsPlainName(const QString& path)
{
    if (path.isEmpty() || !(path[0].isLetter() || path[0] == QChar('_')))
        return false;
    for (QChar c : path)
        if (!(c.isLetterOrNumber() || c == QChar('_') || c == QChar('-') || c == QChar('.')))
            return false;
    return true;
}

} // namespace

QString TXmlNode::NodeName() const { return FromUtf8(FNode.name()); }

QString TXmlNode::Text() const
{
    if (FNode.type() == pugi::node_pcdata || FNode.type() == pugi::node_cdata)
        return FromUtf8(FNode.value());
    std::string out;
    AppendText(FNode, out);
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

void TXmlNode::SetText(const QString& text) const
{
    while (const pugi::xml_node first = FNode.first_child())
        RemoveSubtree(FNode, first);
    const std::string value = XmlValueUtf8(text);
    if (!value.empty())
        FNode.append_child(pugi::node_pcdata).set_value(value.c_str());
}

QString TXmlNode::Xml() const
{
    if (!FNode)
        return QString();
    pugi::xml_document copyDoc;
    pugi::xml_node copy = copyDoc.append_copy(FNode);
    if (copy.type() == pugi::node_element) {
        for (const auto& [name, uri] : NamespacesInScope(FNode.parent()))
            if (!copy.attribute(name.c_str()))
                copy.append_attribute(name.c_str()).set_value(uri.c_str());
    }
    TStringWriter writer;
    PrintMarkup(copy, writer);
    return QString::fromUtf8(writer.Text.data(), qsizetype(writer.Text.size()));
}

void TXmlNode::AppendMarkup(std::string& out, bool latin1) const
{
    TAppendWriter writer(out, latin1);
    PrintMarkup(FNode, writer);
}

bool TXmlNode::FitsLatin1() const
{
    const auto fits = [](const char* utf8) {
        for (const auto* c = reinterpret_cast<const unsigned char*>(utf8); *c; ++c) {
            if (*c < 0x80)
                continue;
            // U+00A0..U+00FF: C2 A0..BF or C3 80..BF.
            const bool latin1 = (*c == 0xC2 && c[1] >= 0xA0 && c[1] <= 0xBF) || (*c == 0xC3 && c[1] >= 0x80 && c[1] <= 0xBF);
            if (!latin1)
                return false;
            ++c;
        }
        return true;
    };
    if (!FNode)
        return true;
    // Iterative, as deep markup must not exhaust the stack.
    pugi::xml_node node = FNode;
    for (;;) {
        switch (node.type()) {
        case pugi::node_element:
            if (!fits(node.name()))
                return false;
            for (pugi::xml_attribute a : node.attributes())
                if (!fits(a.name()))
                    return false;
            break;
        case pugi::node_cdata:
        case pugi::node_comment:
            if (!fits(node.value()))
                return false;
            break;
        case pugi::node_pi:
        case pugi::node_declaration:
            if (!fits(node.name()) || !fits(node.value()))
                return false;
            break;
        default:
            break;
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != FNode && !node.next_sibling())
            node = node.parent();
        if (node == FNode)
            return true;
        node = node.next_sibling();
    }
}

std::optional<QString> TXmlNode::Attribute(const QString& name) const
{
    const pugi::xml_attribute a = FNode.attribute(Utf8(name).c_str());
    if (!a)
        return std::nullopt;
    return FromUtf8(a.value());
}

void TXmlNode::SetAttribute(const QString& name, const QString& value) const
{
    const std::string n = Utf8(name);
    pugi::xml_attribute a = FNode.attribute(n.c_str());
    if (!a)
        a = FNode.append_attribute(n.c_str());
    a.set_value(XmlValueUtf8(value).c_str());
}

const char* TXmlNode::AttributeUtf8(const char* name) const
{
    const pugi::xml_attribute a = FNode.attribute(name);
    return a ? a.value() : nullptr;
}

void TXmlNode::SetAttributeUtf8(const char* name, const std::string& value) const
{
    pugi::xml_attribute a = FNode.attribute(name);
    if (!a)
        a = FNode.append_attribute(name);
    a.set_value(value.c_str());
}

TXmlNode TXmlNode::AppendElement(const QString& name) const
{
    return TXmlNode(FNode.append_child(Utf8(name).c_str()));
}

void TXmlNode::AppendChild(TXmlNode child) const
{
    AssertOrThrow(bool(FNode.append_move(child.FNode)), QStringLiteral("append of a foreign node"), "uXmlDocument", __LINE__);
}

TXmlNode TXmlNode::AppendClone(TXmlNode source) const
{
    pugi::xml_node copy = FNode.append_copy(source.FNode);
    if (copy.type() != pugi::node_element)
        return TXmlNode(copy);
    const std::map<std::string, std::string> here = NamespacesInScope(FNode);
    // Declarations the copy carries itself that say what is in scope here anyway.
    for (pugi::xml_attribute a = copy.first_attribute(); a;) {
        const pugi::xml_attribute next = a.next_attribute();
        if (IsNamespaceDeclaration(a.name())) {
            const auto it = here.find(a.name());
            if (it != here.end() && it->second == a.value())
                copy.remove_attribute(a);
        }
        a = next;
    }
    for (const auto& [name, uri] : NamespacesInScope(source.FNode.parent())) {
        if (source.FNode.attribute(name.c_str()))
            continue;
        const auto it = here.find(name);
        if (it == here.end() || it->second != uri)
            copy.append_attribute(name.c_str()).set_value(uri.c_str());
    }
    return TXmlNode(copy);
}

void TXmlNode::RemoveChild(TXmlNode child) const
{
    if (child.FNode.parent() == FNode)
        RemoveSubtree(FNode, child.FNode);
}

int TXmlNode::ChildNodeCount() const
{
    int count = 0;
    for (pugi::xml_node c = FNode.first_child(); c; c = c.next_sibling())
        ++count;
    return count;
}

std::vector<TXmlNode> TXmlNode::GetElementsByTagName(const QString& name) const
{
    std::vector<TXmlNode> result;
    const std::string n = Utf8(name);
    struct TCollector : pugi::xml_tree_walker {
        const std::string* Name;
        std::vector<TXmlNode>* Out;
        bool for_each(pugi::xml_node& node) override
        {
            if (node.type() == pugi::node_element && *Name == node.name())
                Out->emplace_back(node);
            return true;
        }
    } collector;
    collector.Name = &n;
    collector.Out = &result;
    FNode.traverse(collector);
    return result;
}

std::vector<TXmlNode> TXmlNode::SelectNodes(const QString& path, const TXmlVariables& variables) const
{
    pugi::xpath_variable_set vars;
    for (const auto& [name, value] : variables)
        vars.set(Utf8(name).c_str(), Utf8(value).c_str());
    std::vector<TXmlNode> result;
    try {
        const pugi::xpath_query query(Utf8(path).c_str(), &vars);
        const pugi::xpath_node_set set = query.evaluate_node_set(FNode);
        result.reserve(set.size());
        for (const pugi::xpath_node& n : set)
            if (n.node())
                result.emplace_back(n.node());
    } catch (const pugi::xpath_exception& e) {
        throw ETarvellError(TXmlTexts::tr("Invalid path %1: %2").arg(path, QString::fromUtf8(e.what())));
    }
    return result;
}

TXmlNode TXmlNode::SelectSingleNode(const QString& path, const TXmlVariables& variables) const
{
    // A single child step needs no query; readers ask this once per waypoint.
    if (variables.empty() && IsPlainName(path))
        return TXmlNode(FNode.child(Utf8(path).c_str()));
    const std::vector<TXmlNode> nodes = SelectNodes(path, variables);
    return nodes.empty() ? TXmlNode() : nodes.front();
}

// No DTD processing and no entities beyond the predefined ones and character references.
// Fragment mode keeps text outside the root as nodes, so that it can be refused. Comments and
// processing instructions are nodes of the document, so a node's markup keeps them.
constexpr unsigned XmlParseFlags = pugi::parse_default | pugi::parse_fragment | pugi::parse_comments | pugi::parse_pi;

bool TXmlDocument::LoadXml(const QString& text)
{
    FDoc.reset();
    FBuffer = Utf8(text);
    return LoadBuffer();
}

bool TXmlDocument::LoadXmlBytes(std::string_view bytes)
{
    FDoc.reset();
    FBuffer = DecodeXmlBytesToUtf8(bytes);
    return LoadBuffer();
}

bool TXmlDocument::LoadBuffer()
{
    // The library is lenient (bare "&", unknown entities, duplicate attributes, a DOCTYPE all
    // load); the event parser decides what is well-formed. Parsed in place: the decoded text is
    // the document's storage, so a big file is held once.
    if (!ParseXmlStreamUtf8(FBuffer, nullptr)) {
        FBuffer.clear();
        return false;
    }
    return Accept(FDoc.load_buffer_inplace(FBuffer.data(), FBuffer.size(), XmlParseFlags, pugi::encoding_utf8));
}

bool TXmlDocument::Accept(const pugi::xml_parse_result& result)
{
    bool ok = bool(result);
    int elements = 0;
    for (pugi::xml_node n : FDoc.children()) {
        if (n.type() == pugi::node_element)
            ++elements;
        else if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
            ok = false;
    }
    if (!ok || elements != 1) {
        FDoc.reset();
        FBuffer.clear();
        return false;
    }
    return true;
}

TXmlNode TXmlDocument::DocumentElement() const { return TXmlNode(FDoc.document_element()); }

TXmlNode TXmlDocument::CreateDocumentElement(const QString& name)
{
    if (pugi::xml_node old = FDoc.document_element())
        FDoc.remove_child(old);
    return TXmlNode(FDoc.append_child(Utf8(name).c_str()));
}

void TXmlDocument::AppendProcessingInstruction(const QString& target, const QString& data)
{
    pugi::xml_node pi = FDoc.document_element() ? FDoc.insert_child_before(pugi::node_pi, FDoc.document_element())
                                                : FDoc.append_child(pugi::node_pi);
    pi.set_name(Utf8(target).c_str());
    pi.set_value(Utf8(data).c_str());
}

bool TXmlDocument::SavesLatin1() const
{
    for (pugi::xml_node n : FDoc.children()) {
        if (n.type() == pugi::node_pi && std::strcmp(n.name(), "xml") == 0) {
            static const QRegularExpression re(QStringLiteral("encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
            const QRegularExpressionMatch m = re.match(FromUtf8(n.value()));
            return m.hasMatch() && NamesLatin1(m.captured(1));
        }
    }
    return false;
}

void TXmlDocument::AppendBytes(std::string& out) const
{
    TAppendWriter writer(out, SavesLatin1());
    bool first = true;
    for (pugi::xml_node n : FDoc.children()) {
        if (!first)
            writer.write("\r\n", 2);
        first = false;
        PrintMarkup(n, writer);
    }
    writer.write("\r\n", 2);
}

std::string TXmlDocument::SaveToBytes() const
{
    std::string out;
    AppendBytes(out);
    return out;
}

void TXmlDocument::SaveToStream(TMemoryStream& stream) const
{
    // Straight into the stream's buffer when writing at its end (the usual case: big documents).
    if (stream.Position() == stream.Size()) {
        AppendBytes(stream.MutableData());
        stream.Seek(stream.Size());
    } else {
        stream.Write(SaveToBytes());
    }
}

namespace {

bool IsValidUtf8(std::string_view bytes)
{
    size_t i = 0;
    while ((i = AsciiRun(bytes, i)) < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                              : lead >= 0xF0 && lead <= 0xF4                             ? 4
                                                                                         : 0;
        if (length == 0 || i + length > bytes.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// 8-bit text of a code page to UTF-8, byte by byte through a table made by the ANSI codec.
std::string AnsiToUtf8(std::string_view bytes, int codePage)
{
    std::array<std::string, 128> table;
    for (int b = 0; b < 128; ++b) {
        const char byte = char(0x80 + b);
        table[size_t(b)] = AnsiToUnicode(std::string_view(&byte, 1), codePage).toUtf8().toStdString();
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t run = AsciiRun(bytes, i);
        out.append(bytes.data() + i, run - i);
        i = run;
        if (i < bytes.size())
            out += table[static_cast<unsigned char>(bytes[i++]) - 0x80];
    }
    return out;
}

} // namespace

TXmlEncoding XmlInputEncoding(std::string_view bytes)
{
    auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
    TXmlEncoding e;
    if (starts("\xEF\xBB\xBF")) {
        e.BomSize = 3;
        return e;
    }
    if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        e.Kind = bytes[0] == '\xFF' ? TXmlEncoding::TKind::Utf16LE : TXmlEncoding::TKind::Utf16BE;
        e.BomSize = 2;
        return e;
    }
    const QString declared = DeclaredEncoding(bytes);
    if (declared.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0
        || declared.compare(QLatin1String("utf8"), Qt::CaseInsensitive) == 0)
        return e;
    e.CodePage = WindowsCodePage(declared);
    // No (or an unknown) declaration: UTF-8 when the bytes are valid UTF-8.
    if (e.CodePage == 0 && IsValidUtf8(bytes))
        return e;
    // ASCII reads the same in every code page, and far faster as UTF-8.
    if (IsAsciiText(bytes))
        return e;
    e.Kind = TXmlEncoding::TKind::CodePage;
    if (e.CodePage == 0)
        e.CodePage = SystemAnsiCodePage();
    return e;
}

std::string DecodeXmlBytesToUtf8(std::string_view bytes)
{
    const TXmlEncoding e = XmlInputEncoding(bytes);
    switch (e.Kind) {
    case TXmlEncoding::TKind::Utf8:
        return std::string(bytes.substr(e.BomSize));
    case TXmlEncoding::TKind::Utf16LE:
    case TXmlEncoding::TKind::Utf16BE: {
        const bool little = e.Kind == TXmlEncoding::TKind::Utf16LE;
        QString text;
        text.reserve(qsizetype(bytes.size() / 2));
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
            const auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
            text += QChar(char16_t((hi << 8) | lo));
        }
        return Utf8(text);
    }
    case TXmlEncoding::TKind::CodePage:
        break;
    }
    return AnsiToUtf8(bytes, e.CodePage);
}

QString DecodeXmlBytes(std::string_view bytes)
{
    const std::string utf8 = DecodeXmlBytesToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

QString XmlExcerptOfBytes(std::string_view bytes)
{
    // Enough bytes for a hundred characters in any encoding; a sequence cut at the end is dropped.
    std::string head = DecodeXmlBytesToUtf8(bytes.substr(0, 1024));
    QString text = QString::fromUtf8(head.data(), qsizetype(head.size()));
    if (bytes.size() > 1024 && text.endsWith(QChar::ReplacementCharacter))
        text.chop(1);
    return XmlExcerpt(text);
}

std::string EncodeXmlText(const QString& text)
{
    const std::string utf8 = Utf8(text);
    const QString declared = DeclaredEncoding(utf8);
    if (NamesLatin1(declared))
        return Utf8ToLatin1(utf8);
    if (const int cp = WindowsCodePage(declared))
        return UnicodeToAnsi(text, cp);
    return utf8;
}

namespace {

std::string XmlTextAs(const QString& text, bool latin1)
{
    pugi::xml_document doc;
    pugi::xml_node pcdata = doc.append_child(pugi::node_pcdata);
    pcdata.set_value(XmlValueUtf8(text).c_str());
    std::string out;
    TAppendWriter writer(out, latin1);
    PrintMarkup(pcdata, writer);
    return out;
}

} // namespace

std::string XmlTextAsLatin1(const QString& text) { return XmlTextAs(text, true); }

std::string XmlTextAsUtf8(const QString& text) { return XmlTextAs(text, false); }

std::string MarkupToAnsi(const QString& xml)
{
    std::string ansi = UnicodeToAnsi(xml);
    if (AnsiToUnicode(ansi) == xml)
        return ansi;
    std::string out;
    for (qsizetype i = 0; i < xml.size(); ++i) {
        char32_t cp = xml[i].unicode();
        QString one(xml[i]);
        if (xml[i].isHighSurrogate() && i + 1 < xml.size() && xml[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(xml[i], xml[i + 1]);
            one += xml[++i];
        }
        const std::string a = UnicodeToAnsi(one);
        if (AnsiToUnicode(a) == one)
            out += a;
        else
            out += "&#" + std::to_string(uint32_t(cp)) + ';';
    }
    return out;
}

QString XmlExcerpt(const QString& text)
{
    QString out;
    const QString head = text.left(100);
    for (QChar c : head)
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            out += c;
    return out;
}
