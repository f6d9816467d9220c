// The "Web map" plug-in: shows a POI on a web map in the desktop's browser through xdg-open.
#include "plugins/tarvell_plugin.h"

#include <charconv>
#include <cstring>
#include <cerrno>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int MinZoom = 1;
constexpr int MaxZoom = 19;
constexpr int DefaultZoom = 16;
const char* const DefaultAddress = "https://www.openstreetmap.org/?mlat=%lat%&mlon=%lon%#map=%zoom%/%lat%/%lon%";

enum { ParamZoom, ParamAddress, ParamMarker, ParamCount_ };

struct TParam {
    const char* Name;
    uint8_t Type;
    const char* Default;
    std::string Value;
};

TParam Params[ParamCount_] = {
    { "Zoom", 0, "16", "16" },
    { "Address", 1, DefaultAddress, DefaultAddress },
    { "Marker", 2, "1", "1" },
};

const char* const MarkerNames[2] = { "Show marker", "No marker" };
const char* const MarkerValues[2] = { "1", "0" };

int Zoom()
{
    const std::string& text = Params[ParamZoom].Value;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return DefaultZoom;
    return value < MinZoom ? MinZoom : value > MaxZoom ? MaxZoom : value;
}

// Degrees with "." and 5 decimals, whatever the locale.
std::string Coordinate(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 5);
    return std::string(buffer, result.ptr);
}

std::string PercentEncoded(const char* text)
{
    static const char* const Hex = "0123456789ABCDEF";
    std::string result;
    for (const char* p = text; p && *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || std::strchr("-._~", c)) {
            result += char(c);
        } else {
            result += '%';
            result += Hex[c >> 4];
            result += Hex[c & 15];
        }
    }
    return result;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// The template without its "mlat=..." and "mlon=..." query items (and without "?" when nothing is
// left of the query).
std::string WithoutMarker(const std::string& address)
{
    const std::size_t query = address.find('?');
    if (query == std::string::npos)
        return address;
    std::size_t end = address.find('#', query);
    if (end == std::string::npos)
        end = address.size();
    std::string kept;
    std::size_t start = query + 1;
    while (start <= end) {
        std::size_t amp = address.find('&', start);
        if (amp == std::string::npos || amp > end)
            amp = end;
        const std::string item = address.substr(start, amp - start);
        if (!item.empty() && item.rfind("mlat=", 0) != 0 && item.rfind("mlon=", 0) != 0)
            kept += (kept.empty() ? "" : "&") + item;
        start = amp + 1;
    }
    return address.substr(0, query) + (kept.empty() ? "" : "?" + kept) + address.substr(end);
}

std::string Address(double lon, double lat, const char* name)
{
    std::string address = Params[ParamAddress].Value;
    if (Params[ParamMarker].Value == "0")
        address = WithoutMarker(address);
    ReplaceAll(address, "%lat%", Coordinate(lat));
    ReplaceAll(address, "%lon%", Coordinate(lon));
    ReplaceAll(address, "%zoom%", std::to_string(Zoom()));
    ReplaceAll(address, "%name%", PercentEncoded(name));
    return address;
}

// xdg-open gets the address as its one argument: no shell ever sees it. It runs as a grandchild,
// so nothing of this library waits for it (the library may be unloaded while the browser runs).
void Open(const std::string& address)
{
    std::string program = "xdg-open";
    char* argv[] = { program.data(), const_cast<char*>(address.c_str()), nullptr };
    const pid_t child = fork();
    if (child < 0)
        return;
    if (child == 0) {
        if (fork() == 0) {
            execvp(argv[0], argv);
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

const char* Param(int32_t index, const char* TParam::*field)
{
    return index >= 0 && index < ParamCount_ ? Params[index].*field : "";
}

} // namespace

extern "C" {

const char* GetPlugInName(void) { return "Web map"; }
const char* GetAuthorName(void) { return "Tarvell"; }
uint8_t GetPlugInType(void) { return 0; }
int32_t GetParamCount(void) { return ParamCount_; }
uint8_t GetParamType(int32_t index) { return index >= 0 && index < ParamCount_ ? Params[index].Type : 0; }
const char* GetParamName(int32_t index) { return Param(index, &TParam::Name); }

void SetParamValue(int32_t index, const char* value)
{
    if (index >= 0 && index < ParamCount_) {
        try {
            Params[index].Value = value ? value : "";
        } catch (...) {
        }
    }
}

const char* GetParamValue(int32_t index)
{
    return index >= 0 && index < ParamCount_ ? Params[index].Value.c_str() : "";
}

const char* GetParamDefault(int32_t index) { return Param(index, &TParam::Default); }
int32_t GetParamOptionCount(int32_t index) { return index == ParamMarker ? 2 : 0; }

const char* GetParamOptionName(int32_t index, int32_t option)
{
    return index == ParamMarker && option >= 0 && option < 2 ? MarkerNames[option] : "";
}

const char* GetParamOptionValue(int32_t index, int32_t option)
{
    return index == ParamMarker && option >= 0 && option < 2 ? MarkerValues[option] : "";
}

const char* GetParamMin(int32_t index) { return index == ParamZoom ? "1" : ""; }
const char* GetParamMax(int32_t index) { return index == ParamZoom ? "19" : ""; }
int32_t GetMaxPois(void) { return 1; }

void GotoPoi(double lon, double lat, const char* name)
{
    try {
        Open(Address(lon, lat, name));
    } catch (...) {
    }
}

void SetArrangeArea(int32_t, int32_t, int32_t, int32_t) { }
void AddPoi(double, double, const char*, int32_t) { }
uint8_t GetCanAddPoi(void) { return 0; }
// The browser's window is the desktop's to place.
uint8_t GetCanAutoArrange(void) { return 0; }
void SetAutoArrange(uint8_t) { }
void SetCloseCallBack(TarvellCloseCallback) { }

} // extern "C"
