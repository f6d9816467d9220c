// The Google Earth KML reader and writer.
//
// Layout as written (KML 2.0): <?xml version="1.0" encoding="ISO-8859-1"?>, a "kml" root with
// the KML 2.0 namespace, one "Folder", and per POI a "Placemark" holding "name" (the
// description) and "Point/coordinates" = longitude "," latitude ",0" in decimal degrees.
// As read: every "Placemark" below some element; one without "Point/coordinates" is skipped;
// the description is "name", else "description", else empty. The file is read as a stream of
// nodes, never held as a document.
#include "formats/uKml.h"

#include "core/uCodePage.h"
#include "core/uDownload.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "core/uXmlStream.h"
#include "model/uModel.h"

#include <cstring>
#include <deque>
#include <exception>
#include <optional>
#include <vector>

namespace {

// The Placemarks of a KML file as its nodes stream by: every "Placemark" below another element
// ("//*/Placemark"), in document order, also one inside another. Each one's first
// "Point/coordinates", "name" and "description" are collected; a Placemark is taken when it ends
// and every one before it has been taken. Errors wait for the end of the file: text that is not
// well-formed wins over any error of a Placemark, as when the file was read as a whole.
//
// Open Placemarks nest, so an element concerns at most the innermost three of them, and the text
// of a collected element is one stretch of a shared log (an outer one's "name" may hold an inner
// Placemark): deep nesting costs neither time per level nor a copy per level.
class TKmlReader final : public TXmlStreamHandler {
    Q_DECLARE_TR_FUNCTIONS(uKml)
public:
    TKmlReader(TEntries& entries, size_t inputSize)
        : FEntries(entries)
        // Descriptions beyond this come only from Placemarks nested in names, each holding the
        // text of all inside it: refused before the copies add up to more than memory holds.
        , FTextBudget(16 * inputSize + (size_t(1) << 20))
    {
    }

    void StartElement(const char* name, const char**) override
    {
        ++FDepth;
        for (TOpen* p : Innermost(2)) {
            if (FDepth == p->Depth + 1) {
                if (std::strcmp(name, "Point") == 0)
                    p->PointOpen = true;
                else if (std::strcmp(name, "name") == 0)
                    Capture(*p, &TPlacemark::Name);
                else if (std::strcmp(name, "description") == 0)
                    Capture(*p, &TPlacemark::Description);
            } else if (FDepth == p->Depth + 2 && p->PointOpen && std::strcmp(name, "coordinates") == 0) {
                Capture(*p, &TPlacemark::Coordinates);
            }
        }
        if (FDepth >= 2 && std::strcmp(name, "Placemark") == 0) {
            FOpen.push_back(TOpen{FDepth, FCount, {}, false, nullptr, 0});
            FDone.emplace_back();
            ++FCount;
        }
    }

    void EndElement() override
    {
        for (TOpen* p : Innermost(3)) {
            if (p->Capturing && p->CaptureDepth == FDepth) {
                (p->Result.*p->Capturing)->End = FLog.size();
                p->Capturing = nullptr;
                --FCapturing;
            }
            if (FDepth == p->Depth + 1)
                p->PointOpen = false;
        }
        if (!FOpen.empty() && FOpen.back().Depth == FDepth) {
            FDone[FOpen.back().Index - FFirstWaiting] = FOpen.back().Result;
            FOpen.pop_back();
            while (!FDone.empty() && FDone.front()) {
                Take(*FDone.front());
                FDone.pop_front();
                ++FFirstWaiting;
            }
            if (FDone.empty())
                FLog.clear();
        }
        --FDepth;
    }

    void Text(std::string_view utf8, bool) override
    {
        if (FCapturing > 0)
            FLog.append(utf8);
    }

    // After the parse: progress over the Placemarks taken, then the error of the first bad one.
    // Not well-formed: the list is left as it was and the error says so.
    void Finish(TConvertFromKml& converter, bool wellFormed, std::string_view bytes)
    {
        if (!wellFormed || FOverBudget) {
            for (; FAdded > 0; --FAdded)
                FEntries.Delete(FEntries.Count() - 1);
            throw EUserError(tr("Invalid kml: %1...").arg(XmlExcerptOfBytes(bytes)));
        }
        for (size_t i = 0; i < FTaken; ++i)
            converter.SetProgress(double(i) / double(FCount) * 100.0);
        if (FError)
            std::rethrow_exception(FError);
    }

private:
    struct TStretch {
        size_t Begin = 0;
        size_t End = 0;
    };
    struct TPlacemark {
        std::optional<TStretch> Coordinates, Name, Description;
    };
    using TField = std::optional<TStretch> TPlacemark::*;
    struct TOpen {
        int Depth;
        size_t Index;
        TPlacemark Result;
        bool PointOpen;
        TField Capturing;
        int CaptureDepth;
    };

    // The innermost count open Placemarks.
    std::vector<TOpen*> Innermost(size_t count)
    {
        std::vector<TOpen*> out;
        for (size_t i = FOpen.size(); i-- > 0 && out.size() < count;)
            out.push_back(&FOpen[i]);
        return out;
    }

    // The first element of each kind counts, also when it holds no text.
    void Capture(TOpen& p, TField field)
    {
        if (p.Result.*field || p.Capturing)
            return;
        p.Result.*field = TStretch{FLog.size(), FLog.size()};
        p.Capturing = field;
        p.CaptureDepth = FDepth;
        ++FCapturing;
    }

    QString TextOf(const std::optional<TStretch>& stretch)
    {
        FTextTaken += stretch->End - stretch->Begin;
        return QString::fromUtf8(FLog.data() + stretch->Begin, qsizetype(stretch->End - stretch->Begin));
    }

    void Take(const TPlacemark& placemark)
    {
        if (FError || FOverBudget)
            return;
        try {
            if (placemark.Coordinates) {
                const QString values = TextOf(placemark.Coordinates).trimmed();
                if (TokenCount(values, QChar(',')) < 2)
                    throw EUserError(tr("Invalid value found in coordinates node"));
                const double longitude = StrToFloatSep(TokenAt(values, QChar(','), 0).trimmed(), QChar('.'));
                const double latitude = StrToFloatSep(TokenAt(values, QChar(','), 1).trimmed(), QChar('.'));
                const std::optional<TStretch>& tag = placemark.Name ? placemark.Name : placemark.Description;
                const QString description = tag ? TextOf(tag) : QString();
                if (FTextTaken > FTextBudget) {
                    FOverBudget = true;
                    return;
                }
                FEntries.Add(UnicodeToAnsi(description), std::string(), longitude, latitude);
                ++FAdded;
            }
            ++FTaken;
        } catch (const ETarvellError&) {
            FError = std::current_exception();
        }
    }

    TEntries& FEntries;
    size_t FTextBudget;
    size_t FTextTaken = 0;
    bool FOverBudget = false;
    int FDepth = 0;
    size_t FCount = 0;
    std::vector<TOpen> FOpen;
    // The text of the elements being collected and of those collected for Placemarks waiting.
    std::string FLog;
    int FCapturing = 0;
    // Placemarks from FFirstWaiting on, in document order; filled when each one ends.
    std::deque<std::optional<TPlacemark>> FDone;
    size_t FFirstWaiting = 0;
    size_t FTaken = 0;
    size_t FAdded = 0;
    std::exception_ptr FError;
};

} // namespace

void TConvertToKml::Convert(TEntries& entries, TMemoryStream& stream)
{
    const std::unique_ptr<TXmlDocument> doc = CreateXmlDocument();
    doc->AppendProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"ISO-8859-1\""));
    const TXmlNode root = doc->CreateDocumentElement(QStringLiteral("kml"));
    root.SetAttribute(QStringLiteral("xmlns"), QStringLiteral("http://earth.google.com/kml/2.0"));
    const TXmlNode folder = root.AppendElement(QStringLiteral("Folder"));
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& entry = entries[i];
        const TXmlNode placemark = folder.AppendElement(QStringLiteral("Placemark"));
        placemark.AppendElement(QStringLiteral("name")).SetText(AnsiToUnicode(entry.GetDescription()));
        const std::string coordinates =
            FloatToPlainText(entry.GetLongitude()) + ',' + FloatToPlainText(entry.GetLatitude()) + ",0";
        placemark.AppendElement(QStringLiteral("Point"))
            .AppendElement(QStringLiteral("coordinates"))
            .SetText(QString::fromUtf8(coordinates));
    }
    doc->SaveToStream(stream);
}

void TConvertFromKml::Convert(TEntries& entries, TMemoryStream& stream)
{
    // The stream's own bytes, not a copy.
    const std::string_view bytes(stream.Current(), size_t(stream.Remaining()));
    TKmlReader reader(entries, bytes.size());
    const bool wellFormed = ParseXmlStream(bytes, &reader);
    reader.Finish(*this, wellFormed, bytes);
}
