// The "Sketch map" plug-in: an offline map tab drawing the POIs as points on a plain sketch, one
// self-contained page (inline SVG, no script, no remote resource).
#include "plugins/tarvell_plugin.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int MaxPois = 1000;
// Zoom 1 shows every POI; each further level halves the span around the first POI.
constexpr int MinZoom = 1;
constexpr int MaxZoom = 12;
constexpr double Width = 800;
constexpr double Height = 600;
constexpr double Margin = 40;
// Room for the names right of the points.
constexpr double LabelRoom = 140;

struct TPoi {
    double Lon = 0;
    double Lat = 0;
    std::string Name;
};

std::vector<TPoi> Pois;
std::string ZoomValue = "1";
std::string Page;

int Zoom()
{
    int value = 0;
    const auto [end, error] = std::from_chars(ZoomValue.data(), ZoomValue.data() + ZoomValue.size(), value);
    if (error != std::errc() || end != ZoomValue.data() + ZoomValue.size())
        return MinZoom;
    return std::clamp(value, MinZoom, MaxZoom);
}

std::string Number(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr);
}

std::string Escaped(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': result += "&amp;"; break;
        case '<': result += "&lt;"; break;
        case '>': result += "&gt;"; break;
        case '"': result += "&quot;"; break;
        case '\'': result += "&#39;"; break;
        default:
            // Control characters are not allowed in HTML text.
            result += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return result;
}

void Build()
{
    Page.clear();
    double west = 0, east = 0, south = 0, north = 0;
    if (!Pois.empty()) {
        west = east = Pois[0].Lon;
        south = north = Pois[0].Lat;
        for (const TPoi& poi : Pois) {
            west = std::min(west, poi.Lon);
            east = std::max(east, poi.Lon);
            south = std::min(south, poi.Lat);
            north = std::max(north, poi.Lat);
        }
    }
    double centreLon = (west + east) / 2, centreLat = (south + north) / 2;
    // Longitudes shrink towards the poles.
    const double aspect = std::max(0.01, std::cos(centreLat * M_PI / 180));
    double spanLon = std::max((east - west) * aspect, 0.001);
    double spanLat = std::max(north - south, 0.001);
    const int zoom = Zoom();
    if (zoom > MinZoom && !Pois.empty()) {
        centreLon = Pois[0].Lon;
        centreLat = Pois[0].Lat;
        spanLon /= std::pow(2.0, zoom - MinZoom);
        spanLat /= std::pow(2.0, zoom - MinZoom);
    }
    const double scale = std::min((Width - 2 * Margin - LabelRoom) / spanLon, (Height - 2 * Margin) / spanLat);
    auto x = [&](double lon) { return (Width - LabelRoom) / 2 + (lon - centreLon) * aspect * scale; };
    auto y = [&](double lat) { return Height / 2 - (lat - centreLat) * scale; };

    Page.reserve(512 + Pois.size() * 160);
    Page += "<!DOCTYPE html>\n<html><head><meta charset=\"windows-1252\"><title>Sketch map</title>\n"
            "<style>html,body{margin:0;height:100%;background:#f4f1e8;font:12px sans-serif}"
            "svg{display:block;width:100%;height:100%}.poi{fill:#1565c0}.current{fill:#d32f2f}"
            "text{fill:#333}line{stroke:#d8d2c0}</style></head><body>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 800 600\" preserveAspectRatio=\"xMidYMid meet\">\n";
    for (int i = 1; i < 8; ++i) {
        const std::string gx = Number(i * Width / 8), gy = Number(i * Height / 8);
        Page += "<line x1=\"" + gx + "\" y1=\"0\" x2=\"" + gx + "\" y2=\"600\"/>"
              + "<line x1=\"0\" y1=\"" + gy + "\" x2=\"800\" y2=\"" + gy + "\"/>\n";
    }
    // The current POI (index 0) last, so that it is drawn on top.
    for (std::size_t n = 0; n < Pois.size(); ++n) {
        const std::size_t i = (n + 1) % Pois.size();
        const TPoi& poi = Pois[i];
        const std::string px = Number(x(poi.Lon)), py = Number(y(poi.Lat));
        Page += std::string("<g class=\"") + (i == 0 ? "current" : "poi") + "\"><circle cx=\"" + px + "\" cy=\"" + py
              + "\" r=\"" + (i == 0 ? "7" : "5") + "\"/><text x=\"" + Number(x(poi.Lon) + 9) + "\" y=\""
              + Number(y(poi.Lat) + 4) + "\">" + Escaped(poi.Name) + "</text></g>\n";
    }
    Page += "</svg></body></html>\n";
}

} // namespace

extern "C" {

const char* GetPlugInName(void) { return "Sketch map"; }
const char* GetAuthorName(void) { return "Tarvell"; }
uint8_t GetPlugInType(void) { return 1; }
int32_t GetParamCount(void) { return 1; }
uint8_t GetParamType(int32_t index) { return index == 0 ? 3 : 0; }
const char* GetParamName(int32_t index) { return index == 0 ? "Zoom" : ""; }

void SetParamValue(int32_t index, const char* value)
{
    if (index != 0)
        return;
    try {
        ZoomValue = value ? value : "";
    } catch (...) {
    }
}

const char* GetParamValue(int32_t index) { return index == 0 ? ZoomValue.c_str() : ""; }
const char* GetParamDefault(int32_t index) { return index == 0 ? "1" : ""; }
int32_t GetParamOptionCount(int32_t) { return 0; }
const char* GetParamOptionName(int32_t, int32_t) { return ""; }
const char* GetParamOptionValue(int32_t, int32_t) { return ""; }
const char* GetParamMin(int32_t index) { return index == 0 ? "1" : ""; }
const char* GetParamMax(int32_t index) { return index == 0 ? "12" : ""; }
int32_t GetMaxPois(void) { return MaxPois; }

void Init(int32_t count)
{
    try {
        Pois.clear();
        Pois.reserve(std::size_t(std::clamp(count, 0, MaxPois)));
    } catch (...) {
    }
}

void SetPoi(int32_t index, double lon, double lat, const char* name)
{
    if (index < 0 || index >= MaxPois || !std::isfinite(lon) || !std::isfinite(lat))
        return;
    try {
        if (std::size_t(index) >= Pois.size())
            Pois.resize(std::size_t(index) + 1);
        Pois[std::size_t(index)] = { lon, lat, name ? name : "" };
    } catch (...) {
    }
}

const char* GetHtml(void)
{
    try {
        Build();
    } catch (...) {
        Page.clear();
    }
    return Page.c_str();
}

const char* Caption(void) { return "Sketch map"; }

} // extern "C"
