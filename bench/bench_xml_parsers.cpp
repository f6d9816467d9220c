// Compares the two streaming XML parsers on hand (expat and Qt's QXmlStreamReader) on one GPX
// file: each collects the waypoints' "lat", "lon" and "name" text, as the GPX reader does.
// Prints the best of five runs per parser.
//   tarvell-bench-xml FILE.gpx
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QXmlStreamReader>

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TPoint {
    double Lat = 0;
    double Lon = 0;
    std::string Name;
};

double ToDouble(const char* text)
{
    double value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

struct TExpatState {
    std::vector<TPoint>* Points = nullptr;
    int Depth = 0;
    bool InName = false;
};

void XMLCALL ExpatStart(void* data, const XML_Char* name, const XML_Char** atts)
{
    auto* s = static_cast<TExpatState*>(data);
    ++s->Depth;
    if (s->Depth == 2 && std::strcmp(name, "wpt") == 0) {
        TPoint p;
        for (int i = 0; atts[i]; i += 2) {
            if (std::strcmp(atts[i], "lat") == 0)
                p.Lat = ToDouble(atts[i + 1]);
            else if (std::strcmp(atts[i], "lon") == 0)
                p.Lon = ToDouble(atts[i + 1]);
        }
        s->Points->push_back(std::move(p));
    } else if (s->Depth == 3 && std::strcmp(name, "name") == 0) {
        s->InName = true;
    }
}

void XMLCALL ExpatEnd(void* data, const XML_Char*)
{
    auto* s = static_cast<TExpatState*>(data);
    s->InName = false;
    --s->Depth;
}

void XMLCALL ExpatText(void* data, const XML_Char* text, int length)
{
    auto* s = static_cast<TExpatState*>(data);
    if (s->InName)
        s->Points->back().Name.append(text, size_t(length));
}

size_t ParseWithExpat(const QByteArray& bytes)
{
    std::vector<TPoint> points;
    TExpatState state;
    state.Points = &points;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(parser, ExpatStart, ExpatEnd);
    XML_SetCharacterDataHandler(parser, ExpatText);
    const bool ok = XML_Parse(parser, bytes.constData(), int(bytes.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok ? points.size() : 0;
}

size_t ParseWithQt(const QByteArray& bytes)
{
    std::vector<TPoint> points;
    QXmlStreamReader reader(QByteArray::fromRawData(bytes.constData(), bytes.size()));
    int depth = 0;
    bool inName = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth == 2 && reader.qualifiedName() == QLatin1String("wpt")) {
                TPoint p;
                const QXmlStreamAttributes atts = reader.attributes();
                p.Lat = atts.value(QLatin1String("lat")).toDouble();
                p.Lon = atts.value(QLatin1String("lon")).toDouble();
                points.push_back(std::move(p));
            } else if (depth == 3 && reader.qualifiedName() == QLatin1String("name")) {
                inName = true;
            }
            break;
        case QXmlStreamReader::EndElement:
            inName = false;
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (inName)
                points.back().Name += reader.text().toUtf8().toStdString();
            break;
        default:
            break;
        }
    }
    return reader.hasError() ? 0 : points.size();
}

template <typename F>
void Measure(const char* label, const QByteArray& bytes, F parse)
{
    double best = 1e30;
    size_t count = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        count = parse(bytes);
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%-18s %8zu waypoints, best of 5: %7.0f ms, %6.0f MB/s\n", label, count, best,
                double(bytes.size()) / 1e6 / (best / 1000.0));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("Usage: tarvell-bench-xml FILE.gpx\n", stderr);
        return 1;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Cannot open %s\n", argv[1]);
        return 1;
    }
    const QByteArray bytes = file.readAll();
    Measure("expat", bytes, ParseWithExpat);
    Measure("QXmlStreamReader", bytes, ParseWithQt);
    return 0;
}
