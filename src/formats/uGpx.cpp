// The GPS eXchange Format (GPX 1.1) reader and writer.
//
// Layout as written: <?xml version="1.0" encoding="ISO-8859-1"?>, a "gpx" root with the GPX 1.1
// namespace, schema location, version "1.1" and creator; one "wpt" per POI with "lat" and "lon"
// in decimal degrees ("." decimal point, fixed notation) and a "name" holding the description
// as its last child. A POI read with its extra information keeps the waypoint's own markup in
// Extra; the writer starts from that markup, so unknown children survive a round trip. A file
// whose extra markup has a name or CDATA beyond ISO-8859-1 is written as UTF-8 (so declared).
// As read: "gpx/wpt", then "gpx/trk/trkseg/trkpt"; routes are not read. The file is read as a
// stream of nodes, never held as a document; only the points' own nodes are built, and only to
// keep them in Extra.
#include "formats/uGpx.h"

#include "core/uCodePage.h"
#include "core/uDownload.h"
#include "core/uGeneral.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "core/uXmlStream.h"
#include "formats/uMappedBuffer.h"
#include "formats/uParallel.h"
#include "model/uModel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace {

constexpr char GpxNamespace[] = "http://www.topografix.com/GPX/1/1";
constexpr char SchemaInstanceNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
constexpr char GpxSchema[] = "http://www.topografix.com/GPX/1/1/gpx.xsd";

QString CreatorText()
{
    const TFileVersionNumbers v = ProgramVersionNumbers();
    return QStringLiteral("Tarvell v%1.%2.%3 build %4 - Tarvell POI editor by Orvik Software")
        .arg(v.Major)
        .arg(v.Minor)
        .arg(v.Release)
        .arg(v.Build);
}

constexpr std::string_view Utf8Flag = "\xEF\xBB\xBF";

// How the document saves each byte of an 8-bit description in ISO-8859-1 or UTF-8. The codec
// maps each byte to one character, so a table per byte says it all (a NUL included).
std::array<std::string, 256> TextTable(bool latin1)
{
    std::array<std::string, 256> table;
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        // After a letter: a blank alone would be text of nothing but white space, written otherwise.
        const QString text = AnsiToUnicode(std::string_view(&byte, 1)) + QChar('x');
        table[size_t(b)] = latin1 ? XmlTextAsLatin1(text) : XmlTextAsUtf8(text);
        table[size_t(b)].pop_back();
    }
    return table;
}

// ISO-8859-1, as the file was always written, unless the markup of an extra waypoint has a name
// or CDATA section that encoding cannot hold: then UTF-8, so that the file loads again.
bool ExtrasFitLatin1(TEntries& entries)
{
    TXmlDocument extra;
    for (int i = 0; i < entries.Count(); ++i) {
        const std::string_view bytes = entries[i].GetExtra();
        if (IsAsciiText(bytes))
            continue;
        const QString markup = GpxMarkupOfExtra(bytes);
        if (std::all_of(markup.begin(), markup.end(), [](QChar c) { return c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF); }))
            continue;
        if (extra.LoadXml(markup) && !extra.DocumentElement().FitsLatin1())
            return false;
    }
    return true;
}

// How the waypoints' texts are written: each byte's text, and which bytes stand for themselves
// (copied in runs).
struct TTextTables {
    std::array<std::string, 256> Text;
    std::array<bool, 256> Plain{};
    explicit TTextTables(bool latin1)
        : Text(TextTable(latin1))
    {
        for (int b = 0; b < 256; ++b)
            Plain[size_t(b)] = Text[size_t(b)] == std::string(1, char(b));
    }
};

// The text of one part of the waypoints but the first. Its memory goes back to the system when
// it is freed, so the parts copied into the stream do not stay on the heap beside it.
using TPartText = std::basic_string<char, std::char_traits<char>, TMappedAllocator<char>>;

// The waypoints first .. last - 1, appended to out (a std::string or a TPartText). A waypoint
// without extra information is written from the tables; one with it is cloned under root from
// its own markup, edited, written and removed again (root: the document's, or one of a copy of
// its head for another thread).
template <typename Text>
void WriteWaypointRange(TEntries& entries, int first, int last, const TTextTables& tables, bool latin1, int precision, const TXmlNode& root,
                        Text& out)
{
    TXmlDocument extra;
    std::string markup;
    const QString wptName = QStringLiteral("wpt");
    for (int i = first; i < last; ++i) {
        const TEntry& entry = entries[i];
        // Extra that is not a waypoint's markup (another format's data) is not written.
        if (!entry.GetExtra().empty() && extra.LoadXml(GpxMarkupOfExtra(entry.GetExtra()))
            && extra.DocumentElement().NodeName() == wptName) {
            const TXmlNode wpt = root.AppendClone(extra.DocumentElement());
            wpt.SetAttributeUtf8("lat", FloatToPlainText(entry.GetLatitude(precision)));
            wpt.SetAttributeUtf8("lon", FloatToPlainText(entry.GetLongitude(precision)));
            // Only the waypoint's own "name" carries the description: a "name" deeper down
            // belongs to an extension and stays where it is.
            TXmlNode name = wpt.SelectChild("name");
            if (!name)
                name = wpt.AppendElement("name");
            name.SetText(AnsiToUnicode(entry.GetDescription()));
            wpt.AppendChild(name);
            markup.clear();
            wpt.AppendMarkup(markup, latin1);
            out += markup;
            root.RemoveChild(wpt);
            continue;
        }
        out += "<wpt lat=\"";
        out += FloatToPlainText(entry.GetLatitude(precision));
        out += "\" lon=\"";
        out += FloatToPlainText(entry.GetLongitude(precision));
        out += "\">";
        const size_t nameStart = out.size();
        out += "<name>";
        const std::string_view description = entry.GetDescription();
        size_t plainFrom = 0;
        for (size_t k = 0; k < description.size(); ++k) {
            const auto c = static_cast<unsigned char>(description[k]);
            if (tables.Plain[c])
                continue;
            out.append(description, plainFrom, k - plainFrom);
            out += tables.Text[c];
            plainFrom = k + 1;
        }
        out.append(description, plainFrom);
        // Nothing but white space would be no text to a reader: the document writes it otherwise.
        if (out.size() > nameStart + 6
            && std::all_of(out.begin() + ptrdiff_t(nameStart + 6), out.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n'; })) {
            out.resize(nameStart + 6);
            out += latin1 ? XmlTextAsLatin1(AnsiToUnicode(description)) : XmlTextAsUtf8(AnsiToUnicode(description));
        }
        if (out.size() == nameStart + 6) {
            out.resize(nameStart);
            out += "<name/>";
        } else {
            out += "</name>";
        }
        out += "</wpt>";
    }
}

// About a hundred bytes a waypoint: a part's buffer is reserved at that, growing one step by step
// costs more.
constexpr size_t WaypointBytesGuess = 100;
// Fewer waypoints than this in one part cost more in threads than they save.
constexpr int MinWaypointsPerPart = 16384;

// The waypoints are written straight after the document's head, each as the bytes the whole
// document would save for it: a document of a million waypoints costs several times as long and
// some 400 MB. The list is written in parts (on several threads when it is big), each part into
// a buffer of its own, then copied into place in list order.
void WriteWaypoints(TEntries& entries, const TXmlDocument& doc, const std::function<std::unique_ptr<TXmlDocument>()>& makeDocument,
                    TMemoryStream& stream, bool latin1, int precision)
{
    const TTextTables tables(latin1);
    // The document without waypoints ends in "<gpx .../>" and a line break.
    std::string head = doc.SaveToBytes();
    head.erase(head.rfind("/>"));
    head += '>';
    std::string buffer;
    std::string& out = stream.Position() == stream.Size() ? stream.MutableData() : buffer;
    const int count = entries.Count();
    const int parts = std::clamp(std::min(ConversionThreads() * 4, count / MinWaypointsPerPart), 1, count);
    const auto partStart = [&](int part) { return int(int64_t(count) * part / parts); };
    std::vector<TPartText> texts(static_cast<size_t>(parts));
    // Only the first part that needs it uses the caller's document.
    const TXmlNode root = doc.DocumentElement();
    RunParallel(size_t(parts), [&](size_t part) {
        const int first = partStart(int(part));
        const int last = partStart(int(part) + 1);
        TPartText& text = texts[part];
        text.reserve(size_t(last - first) * WaypointBytesGuess);
        // A waypoint with extra information is cloned under the root of a document of the
        // part's own (but for part 0).
        std::unique_ptr<TXmlDocument> own;
        for (int i = first; i < last && !own && part > 0; ++i)
            if (!entries[i].GetExtra().empty())
                own = makeDocument();
        WriteWaypointRange(entries, first, last, tables, latin1, precision, own ? own->DocumentElement() : root, text);
    });
    // The stream's buffer is made once, at its final size.
    size_t size = out.size() + head.size() + 16;
    for (const TPartText& text : texts)
        size += text.size();
    out.reserve(size);
    out += head;
    // The parts are copied into place on threads, one part a thread at a time: the pages of
    // those copies are first provided on the threads (faulting the whole buffer in on one thread
    // took longer than all the copies), and each part is given back once copied, so the copies
    // never hold much more than the text.
    const size_t wave = size_t(ConversionThreads());
    for (size_t from = 0; from < texts.size(); from += wave) {
        const size_t to = std::min(texts.size(), from + wave);
        std::vector<size_t> at(to - from);
        size_t end = out.size();
        for (size_t part = from; part < to; ++part) {
            at[part - from] = end;
            end += texts[part].size();
        }
        if (to - from > 1) {
            char* const base = out.data();
            RunParallel(to - from, [&](size_t k) { PopulatePages(base + at[k], texts[from + k].size()); });
        }
        out.resize(end);
        RunParallel(to - from, [&](size_t k) {
            TPartText& text = texts[from + k];
            std::memcpy(out.data() + at[k], text.data(), text.size());
            TPartText().swap(text);
        });
    }
    out += "</gpx>\r\n";
    if (&out == &buffer)
        stream.Write(buffer);
    else
        stream.Seek(stream.Size());
}

// UTF-8 text as 8-bit text of the code page; ASCII is the same in both.
std::string Utf8ToAnsi(std::string_view utf8)
{
    if (IsAsciiText(utf8))
        return std::string(utf8);
    return UnicodeToAnsi(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

using TAttributes = std::vector<std::pair<std::string, std::string>>;

TAttributes NamespaceDeclarations(const char** attributes)
{
    TAttributes out;
    for (int i = 0; attributes[i]; i += 2)
        if (IsNamespaceDeclaration(attributes[i]))
            out.emplace_back(attributes[i], attributes[i + 1]);
    return out;
}

pugi::xml_node AppendElement(pugi::xml_node parent, const char* name, const TAttributes& attributes)
{
    pugi::xml_node element = parent.append_child(name);
    for (const auto& [n, v] : attributes)
        element.append_attribute(n.c_str()).set_value(v.c_str());
    return element;
}

// The points of a GPX file as its nodes stream by: "gpx/wpt" at depth 2 and
// "gpx/trk/trkseg/trkpt" at depth 4. Waypoints go into the list at once; track points wait until
// the end, as they come after all waypoints. Errors wait for the end of the file as well: text
// that is not well-formed wins over any error of a point, as when the file was read as a whole.
class TGpxReader final : public TXmlStreamHandler {
    Q_DECLARE_TR_FUNCTIONS(uGpx)
public:
    TGpxReader(TEntries& entries, bool useDesc, bool retainExtra, int precision)
        : FEntries(entries)
        , FPrimary(useDesc ? "desc" : "name")
        , FSecondary(useDesc ? "name" : "desc")
        , FRetainExtra(retainExtra)
        , FPrecision(precision)
    {
    }

    void StartElement(const char* name, const char** attributes) override
    {
        ++FDepth;
        if (FPoint) {
            if (FDepth == FPointDepth + 1 && FCapture < 0) {
                for (int c = 0; c < 2; ++c)
                    if (!FTag[c].Found && std::strcmp(name, c == 0 ? FPrimary : FSecondary) == 0) {
                        FTag[c].Found = true;
                        FCapture = c;
                    }
            }
            if (FTree) {
                FCursor = FCursor.append_child(name);
                for (int i = 0; attributes[i]; i += 2)
                    FCursor.append_attribute(attributes[i]).set_value(attributes[i + 1]);
                if (FCapture >= 0 && FDepth == FPointDepth + 1)
                    FTag[FCapture].Node = FCursor;
            }
            return;
        }
        switch (FDepth) {
        case 1:
            FGpx = std::strcmp(name, "gpx") == 0;
            if (FGpx)
                FRootNamespaces = NamespaceDeclarations(attributes);
            return;
        case 2:
            if (FGpx && std::strcmp(name, "wpt") == 0) {
                ++FWaypointCount;
                if (!FWaypointError)
                    BeginPoint(name, attributes, false);
            } else if (FGpx && std::strcmp(name, "trk") == 0) {
                FInTrack = true;
                FTrackNamespaces = NamespaceDeclarations(attributes);
            }
            return;
        case 3:
            if (FInTrack && std::strcmp(name, "trkseg") == 0) {
                FInSegment = true;
                FSegmentNamespaces = NamespaceDeclarations(attributes);
            }
            return;
        case 4:
            if (FInSegment && std::strcmp(name, "trkpt") == 0) {
                ++FTrackPointCount;
                if (!FTrackPointError && !FWaypointError)
                    BeginPoint(name, attributes, true);
            }
            return;
        default:
            return;
        }
    }

    void EndElement() override
    {
        if (FPoint) {
            if (FDepth == FPointDepth) {
                EndPoint();
            } else {
                if (FCapture >= 0 && FDepth == FPointDepth + 1)
                    FCapture = -1;
                if (FTree)
                    FCursor = FCursor.parent();
            }
        } else if (FDepth == 2) {
            FInTrack = false;
        } else if (FDepth == 3) {
            FInSegment = false;
        }
        --FDepth;
    }

    void Text(std::string_view utf8, bool cdata) override
    {
        if (!FPoint)
            return;
        if (FCapture >= 0)
            FTag[FCapture].Text.append(utf8);
        if (FTree)
            FCursor.append_child(cdata ? pugi::node_cdata : pugi::node_pcdata).set_value(utf8.data(), utf8.size());
    }

    // Comments and processing instructions of a point are part of its markup.
    void Comment(std::string_view utf8) override
    {
        if (FPoint && FTree)
            FCursor.append_child(pugi::node_comment).set_value(utf8.data(), utf8.size());
    }

    void ProcessingInstruction(const char* target, std::string_view utf8) override
    {
        if (!FPoint || !FTree)
            return;
        pugi::xml_node pi = FCursor.append_child(pugi::node_pi);
        pi.set_name(target);
        pi.set_value(utf8.data(), utf8.size());
    }

    // After the parse: puts the track points into the list and reports progress over all points
    // in list order, then raises the error of the first bad point. Not well-formed: the list is
    // left as it was and the error says so.
    void Finish(TConvertFromGpx& converter, bool wellFormed, std::string_view bytes)
    {
        if (!wellFormed) {
            for (; FAdded > 0; --FAdded)
                FEntries.Delete(FEntries.Count() - 1);
            throw EUserError(tr("Invalid xml: %1...").arg(XmlExcerptOfBytes(bytes)));
        }
        const double n = double(FWaypointCount + FTrackPointCount);
        size_t k = 0;
        for (; k < FAdded; ++k)
            converter.SetProgress(double(k) / n * 100.0);
        if (FWaypointError)
            std::rethrow_exception(FWaypointError);
        for (TPending& p : FTrackPoints) {
            FEntries.Add(std::move(p.Description), std::move(p.Extra), p.Longitude, p.Latitude, FPrecision);
            converter.SetProgress(double(k) / n * 100.0);
            ++k;
        }
        if (FTrackPointError)
            std::rethrow_exception(FTrackPointError);
    }

    // The same after the parses of a document's pieces, all well-formed, each read into a list
    // of its own: moves the waypoints into entries up to the first bad one in document order,
    // then adds the track points, reporting progress and raising the first error as the
    // reader of the whole document would.
    static void FinishPieces(TConvertFromGpx& converter, TEntries& entries, std::span<TGpxReader* const> pieces)
    {
        size_t n = 0;
        for (const TGpxReader* piece : pieces)
            n += piece->FWaypointCount + piece->FTrackPointCount;
        std::exception_ptr waypointError;
        size_t added = 0;
        for (TGpxReader* piece : pieces) {
            const int first = entries.Count();
            entries.AddAll(piece->FEntries);
            // Each piece's list marked its own first entry; only the list's first is the departure.
            if (first > 0 && piece->FAdded > 0)
                entries[first].IpDeparture = false;
            added += piece->FAdded;
            if (piece->FWaypointError) {
                waypointError = piece->FWaypointError;
                break;
            }
        }
        size_t k = 0;
        for (; k < added; ++k)
            converter.SetProgress(double(k) / double(n) * 100.0);
        if (waypointError)
            std::rethrow_exception(waypointError);
        for (TGpxReader* piece : pieces) {
            for (TPending& p : piece->FTrackPoints) {
                entries.Add(std::move(p.Description), std::move(p.Extra), p.Longitude, p.Latitude, piece->FPrecision);
                converter.SetProgress(double(k) / double(n) * 100.0);
                ++k;
            }
            if (piece->FTrackPointError)
                std::rethrow_exception(piece->FTrackPointError);
        }
    }

private:
    struct TTag {
        bool Found = false;
        std::string Text;
        pugi::xml_node Node;
    };
    struct TPending {
        std::string Description;
        std::string Extra;
        double Longitude;
        double Latitude;
    };

    void BeginPoint(const char* name, const char** attributes, bool track)
    {
        FPoint = true;
        FTrackPoint = track;
        FPointDepth = FDepth;
        FLatitude = nullptr;
        FLongitude = nullptr;
        for (int i = 0; attributes[i]; i += 2) {
            if (!FLatitude && std::strcmp(attributes[i], "lat") == 0)
                FLatitude = FLatitudeText.assign(attributes[i + 1]).c_str();
            else if (!FLongitude && std::strcmp(attributes[i], "lon") == 0)
                FLongitude = FLongitudeText.assign(attributes[i + 1]).c_str();
        }
        for (TTag& tag : FTag) {
            tag.Found = false;
            tag.Text.clear();
            tag.Node = pugi::xml_node();
        }
        FCapture = -1;
        FTree = FRetainExtra;
        if (!FTree)
            return;
        // The point under its ancestors with their namespace declarations, so that its markup
        // declares what is in scope, as when it was part of the whole document.
        FPointDocument.reset();
        pugi::xml_node parent = AppendElement(FPointDocument, "gpx", FRootNamespaces);
        if (track)
            parent = AppendElement(AppendElement(parent, "trk", FTrackNamespaces), "trkseg", FSegmentNamespaces);
        FCursor = parent.append_child(name);
        for (int i = 0; attributes[i]; i += 2)
            FCursor.append_attribute(attributes[i]).set_value(attributes[i + 1]);
    }

    void EndPoint()
    {
        FPoint = false;
        try {
            if (!FLatitude || !FLongitude)
                throw EUserError(tr("Invalid entry found in GPX format"));
            const double latitude = StrToFloatSepUtf8(FLatitudeText, DotFormatSettings().DecimalSeparator);
            const double longitude = StrToFloatSepUtf8(FLongitudeText, DotFormatSettings().DecimalSeparator);
            const TTag* tag = FTag[0].Found ? &FTag[0] : FTag[1].Found ? &FTag[1] : nullptr;
            // ASCII is the same in the code page: the tag's own text then, not a copy per point.
            std::string converted;
            std::string_view description;
            if (tag) {
                description = tag->Text;
                if (!IsAsciiText(description)) {
                    converted = Utf8ToAnsi(description);
                    description = converted;
                }
            }
            std::string extra;
            if (FTree) {
                const TXmlNode point(FCursor);
                if (tag)
                    point.RemoveChild(TXmlNode(tag->Node));
                if (point.ChildNodeCount() > 0) {
                    QString xml = point.Xml();
                    if (xml.startsWith(QLatin1String("<trkpt ")))
                        xml.replace(0, 7, QStringLiteral("<wpt "));
                    if (xml.endsWith(QLatin1String("</trkpt>")))
                        xml.replace(xml.size() - 8, 8, QStringLiteral("</wpt>"));
                    extra = GpxExtraOfMarkup(xml);
                }
                FPointDocument.reset();
            }
            if (FTrackPoint) {
                FTrackPoints.push_back({std::string(description), std::move(extra), longitude, latitude});
            } else {
                FEntries.Add(description, extra, longitude, latitude, FPrecision);
                ++FAdded;
            }
        } catch (const ETarvellError&) {
            (FTrackPoint ? FTrackPointError : FWaypointError) = std::current_exception();
        }
        FTree = false;
    }

    TEntries& FEntries;
    const char* FPrimary;
    const char* FSecondary;
    bool FRetainExtra;
    const int FPrecision;

    int FDepth = 0;
    bool FGpx = false;
    bool FInTrack = false;
    bool FInSegment = false;
    TAttributes FRootNamespaces, FTrackNamespaces, FSegmentNamespaces;

    bool FPoint = false;
    bool FTrackPoint = false;
    int FPointDepth = 0;
    // The point's "lat" and "lon" (null when absent) in buffers kept from point to point.
    const char* FLatitude = nullptr;
    const char* FLongitude = nullptr;
    std::string FLatitudeText, FLongitudeText;
    TTag FTag[2];  // primary, secondary
    int FCapture = -1;
    bool FTree = false;
    pugi::xml_document FPointDocument;
    pugi::xml_node FCursor;

    size_t FWaypointCount = 0;
    size_t FTrackPointCount = 0;
    size_t FAdded = 0;
    std::vector<TPending> FTrackPoints;
    std::exception_ptr FWaypointError, FTrackPointError;
};

const TOptionInfo GpxImportOptions[] = {
    {"uGpx", QT_TRANSLATE_NOOP("uGpx", "Use desc tag instead of name tag when available"),
     QT_TRANSLATE_NOOP("uGpx",
                       "The GPX format defines 2 possible places where the description of the poi may be entered.\r"
                       "If you check this option, Tarvell will use the \"desc\" tag as the poi description instead of the\r"
                       "\"name\" tag. When the prefered tag is not available, Tarvell will automatically try the other tag."),
     TOptionKind::okBoolean, 0},
    {"uGpx", QT_TRANSLATE_NOOP("uGpx", "Retain extra poi information present in GPX file"),
     QT_TRANSLATE_NOOP("uGpx",
                       "If you check this option, Tarvell will load the extra poi information that might be present in\r"
                       "the GPX file. When saving back to the same file, or another GPX file, Tarvell will reinsert\r"
                       "this information."),
     TOptionKind::okBoolean, 0},
};

} // namespace

void TConvertToGpx::Convert(TEntries& entries, TMemoryStream& stream)
{
    const QString creator = CreatorText();
    const bool latin1 = ExtrasFitLatin1(entries);
    // The document's head without waypoints; the writer's threads make copies of it.
    const auto makeDocument = [&creator, latin1] {
        std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
        doc->AppendProcessingInstruction(QStringLiteral("xml"), latin1 ? QStringLiteral("version=\"1.0\" encoding=\"ISO-8859-1\"")
                                                                       : QStringLiteral("version=\"1.0\" encoding=\"UTF-8\""));
        const TXmlNode root = doc->CreateDocumentElement(QStringLiteral("gpx"));
        root.SetAttribute(QStringLiteral("xmlns"), QString::fromLatin1(GpxNamespace));
        root.SetAttribute(QStringLiteral("xmlns:xsi"), QString::fromLatin1(SchemaInstanceNamespace));
        root.SetAttribute(QStringLiteral("xsi:schemaLocation"),
                          QString::fromLatin1(GpxNamespace) + QChar(' ') + QString::fromLatin1(GpxSchema));
        root.SetAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
        root.SetAttribute(QStringLiteral("creator"), creator);
        return doc;
    };
    const std::unique_ptr<TXmlDocument> doc = makeDocument();
    if (entries.Count() > 0)
        WriteWaypoints(entries, *doc, makeDocument, stream, latin1, TakeOptions().Precision);
    else
        doc->SaveToStream(stream);
}

std::span<const TOptionInfo> TConvertFromGpx::Options() const { return GpxImportOptions; }

bool TConvertFromGpx::ReadInPieces(TEntries& entries, std::string_view bytes, const TConversionOptions& options)
{
    const size_t threads = size_t(ConversionThreads());
    if (threads < 2 || bytes.size() < MinPieceBytes * 2)
        return false;
    // A few pieces a thread, so that one slow piece does not keep the others waiting.
    const TXmlPieces split(bytes, "gpx", "wpt", std::min(threads * 4, bytes.size() / MinPieceBytes));
    if (split.Count() == 0)
        return false;
    struct TPiece {
        TEntries Entries;
        std::unique_ptr<TGpxReader> Reader;
        bool WellFormed = false;
    };
    std::vector<TPiece> pieces(split.Count());
    std::vector<TGpxReader*> readers;
    for (TPiece& piece : pieces) {
        piece.Reader = std::make_unique<TGpxReader>(piece.Entries, options.Bool(0), options.Bool(1), options.Precision);
        readers.push_back(piece.Reader.get());
    }
    RunParallel(pieces.size(), [&](size_t i) { pieces[i].WellFormed = split.Parse(i, pieces[i].Reader.get()); });
    // The reader of the whole document then says what is wrong.
    if (!std::all_of(pieces.begin(), pieces.end(), [](const TPiece& piece) { return piece.WellFormed; }))
        return false;
    TGpxReader::FinishPieces(*this, entries, readers);
    return true;
}

void TConvertFromGpx::Convert(TEntries& entries, TMemoryStream& stream)
{
    // The stream's own bytes, not a copy: GPX files of a million waypoints are common.
    const std::string_view bytes(stream.Current(), size_t(stream.Remaining()));
    // Option 0: desc before name; option 1: the extra information kept.
    const TConversionOptions options = TakeOptions();
    if (ReadInPieces(entries, bytes, options))
        return;
    TGpxReader reader(entries, options.Bool(0), options.Bool(1), options.Precision);
    const bool wellFormed = ParseXmlStream(bytes, &reader);
    reader.Finish(*this, wellFormed, bytes);
}

std::string GpxExtraOfMarkup(const QString& xml)
{
    std::string ansi = UnicodeToAnsi(xml);
    if (AnsiToUnicode(ansi) == xml)
        return ansi;
    // Character references stand for what the code page lacks in text and attribute values; in a
    // name or CDATA they would not, so the 8-bit form must load back as the same markup.
    ansi = MarkupToAnsi(xml);
    TXmlDocument check;
    if (check.LoadXml(AnsiToUnicode(ansi)) && check.DocumentElement().Xml() == xml)
        return ansi;
    return std::string(Utf8Flag) + xml.toStdString();
}

QString GpxMarkupOfExtra(std::string_view extra)
{
    if (extra.starts_with(Utf8Flag)) {
        extra.remove_prefix(Utf8Flag.size());
        return QString::fromUtf8(extra.data(), qsizetype(extra.size()));
    }
    return AnsiToUnicode(extra);
}

QString GpxClipboardText(TEntries& entries)
{
    // Creating a document first makes a missing XML component fail before anything is written.
    CreateXmlDocument();
    TMemoryStream stream;
    entries.SaveToStream(stream, QStringLiteral(".gpx"), QString());
    return DecodeXmlBytes(stream.Data());
}

void AppendGpxClipboardText(TEntries& entries, const QString& text)
{
    TMemoryStream stream(EncodeXmlText(text));
    entries.LoadFromStream(stream, QStringLiteral(".gpx"), QString(), true);
}
