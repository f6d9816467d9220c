// A map plug-in for tests, built once per behaviour (the macros below). Its name is its file name
// without ".so", so one build copied under several names gives several plug-ins. It records the
// calls made to it; tests read them through the extra export TestLog and steer it with TestSet.
#include "plugins/tarvell_plugin.h"

#include <dlfcn.h>
#include <cstring>
#include <sys/mman.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

#ifndef TEST_KIND_HTML
#define TEST_KIND_HTML 0
#endif

#ifdef TEST_ZOOM_SECOND
constexpr int ZoomIndex = 1;
#else
constexpr int ZoomIndex = 0;
#endif

namespace {

std::string Log;
std::string Name;
std::string Page;
std::string Values[3] = { ZoomIndex == 0 ? "16" : "abc", ZoomIndex == 0 ? "abc" : "16", "s" };
std::string Max = "19";
std::string Min = "1";
int32_t MaxPois = 100;
std::string PageOverride;
bool HavePageOverride = false;
TarvellCloseCallback CloseCallback = nullptr;
// The function whose next answers run into a page that cannot be read ("unterminated").
std::string Unterminated;
// Parameter 1's name and option 0's name once a test chose them ("name1", "option0").
std::string Name1;
std::string Option0;

// size bytes of 'x' without a terminator, followed directly by a page that cannot be read.
const char* BeforeUnreadablePage(size_t size)
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t pages = (size + page - 1) / page;
    void* area = mmap(nullptr, (pages + 1) * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        return "mmap failed";
    char* guard = static_cast<char*>(area) + pages * page;
    // Not unmapped: another mapping could take the hole; no access reads the same.
    mprotect(guard, page, PROT_NONE);
    memset(guard - size, 'x', size);
    return guard - size;
}

void Record(const std::string& line) { Log += line + "\n"; }

const char* OwnName()
{
    if (Name.empty()) {
        Dl_info info {};
        dladdr(reinterpret_cast<void*>(&OwnName), &info);
        std::string path = info.dli_fname ? info.dli_fname : "test";
        path = path.substr(path.rfind('/') + 1);
        if (path.size() > 3 && path.compare(path.size() - 3, 3, ".so") == 0)
            path.resize(path.size() - 3);
        Name = path;
    }
    return Name.c_str();
}

std::string Num(double v)
{
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%.5f", v);
    return buffer;
}

} // namespace

#define EXPORT extern "C" TARVELL_PLUGIN_EXPORT

EXPORT const char* TestLog(void) { return Log.c_str(); }
EXPORT void TestReset(void) { Log.clear(); }
EXPORT void TestCallClose(void)
{
    if (CloseCallback)
        CloseCallback();
}
// "page" (every next GetHtml), "maxpois", "max", "min", "value0" (the zoom's value).
EXPORT void TestSet(const char* key, const char* value)
{
    const std::string k = key;
    if (k == "page") {
        PageOverride = value;
        HavePageOverride = true;
    } else if (k == "maxpois") {
        MaxPois = std::stoi(value);
    } else if (k == "max") {
        Max = value;
    } else if (k == "min") {
        Min = value;
    } else if (k == "value0") {
        Values[ZoomIndex] = value;
    } else if (k == "unterminated") {
        Unterminated = value;
    } else if (k == "name1") {
        Name1 = value;
    } else if (k == "option0") {
        Option0 = value;
    }
}

extern "C" {

const char* GetPlugInName(void)
{
#ifdef TEST_CRASH_ON_LOAD
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
#endif
#ifdef TEST_HANG_ON_LOAD
    for (;;)
        sleep(1);
#endif
#ifdef TEST_THROW_ON_LOAD
    throw std::runtime_error("broken on load");
#endif
#ifdef TEST_HUGE_NAME
    static std::string huge(1 << 20, 'x');
    return huge.c_str();
#endif
#ifdef TEST_STORE_BREAKING_NAME
    return "Bad]Name";
#endif
    return OwnName();
}

#ifndef TEST_NO_AUTHOR
#ifndef TEST_AUTHOR_FROM_DEPENDENCY
const char* GetAuthorName(void) { return "Tests"; }
#endif
#endif

uint8_t GetPlugInType(void)
{
#ifdef TEST_TYPE
    return TEST_TYPE;
#else
    return TEST_KIND_HTML ? 1 : 0;
#endif
}

int32_t GetParamCount(void)
{
#ifdef TEST_HUGE_COUNT
    return 1 << 30;
#else
    return 3;
#endif
}

// Parameter ZoomIndex is the zoom (integer for open-external plug-ins), the other of 0 and 1 a
// text, 2 a list.
uint8_t GetParamType(int32_t index)
{
    if (index == ZoomIndex)
        return TEST_KIND_HTML ? 3 : 0;
    return index == 2 ? 2 : 1;
}

const char* GetParamName(int32_t index)
{
#ifdef TEST_BAD_PARAM_NAME
    if (index == 1)
        return "Label=x";
#endif
    if (index == 1 && !Name1.empty())
        return Name1.c_str();
    static const char* const names[3] = { ZoomIndex == 0 ? "Zoom" : "Label", ZoomIndex == 0 ? "Label" : "Zoom", "Mode" };
    return index >= 0 && index < 3 ? names[index] : "";
}

void SetParamValue(int32_t index, const char* value)
{
    Record("SetParamValue " + std::to_string(index) + " " + (value ? value : "(null)"));
    if (index >= 0 && index < 3)
        Values[index] = value ? value : "";
}

const char* GetParamValue(int32_t index)
{
    if (Unterminated == "GetParamValue")
        return BeforeUnreadablePage(100);
    return index >= 0 && index < 3 ? Values[index].c_str() : nullptr;
}

const char* GetParamDefault(int32_t index)
{
    static const char* const defaults[3] = { ZoomIndex == 0 ? "10" : "default text", ZoomIndex == 0 ? "default text" : "10", "f" };
    return index >= 0 && index < 3 ? defaults[index] : nullptr;
}

int32_t GetParamOptionCount(int32_t index) { return index == 2 ? 3 : 0; }

const char* GetParamOptionName(int32_t, int32_t option)
{
    if (option == 0 && !Option0.empty())
        return Option0.c_str();
    static const char* const names[3] = { "Fast", "Slow", "Slow again" };
    return option >= 0 && option < 3 ? names[option] : "";
}

const char* GetParamOptionValue(int32_t, int32_t option)
{
    // The last option repeats a value: the dialog selects the last that matches.
    static const char* const values[3] = { "f", "s", "s" };
    return option >= 0 && option < 3 ? values[option] : "";
}

const char* GetParamMin(int32_t index) { return index == ZoomIndex ? Min.c_str() : nullptr; }
const char* GetParamMax(int32_t index) { return index == ZoomIndex ? Max.c_str() : nullptr; }
#ifdef TEST_NEEDS_DEPENDENCY
extern "C" int32_t TvDepValue(void);
int32_t GetMaxPois(void) { return TvDepValue(); }
#else
int32_t GetMaxPois(void) { return MaxPois; }
#endif

#if !TEST_KIND_HTML
void GotoPoi(double lon, double lat, const char* name)
{
    Record("GotoPoi " + Num(lon) + " " + Num(lat) + " " + name);
#ifdef TEST_THROWING_CALLS
    throw std::runtime_error("no external program");
#endif
}

void SetArrangeArea(int32_t left, int32_t top, int32_t width, int32_t height)
{
    Record("SetArrangeArea " + std::to_string(left) + " " + std::to_string(top) + " " + std::to_string(width) + " "
        + std::to_string(height));
}

void AddPoi(double lon, double lat, const char* name, int32_t first)
{
    Record("AddPoi " + Num(lon) + " " + Num(lat) + " " + name + " " + std::to_string(first));
#ifdef TEST_THROWING_CALLS
    throw 42;
#endif
}

uint8_t GetCanAddPoi(void)
{
#ifdef TEST_CANNOT_ADD
    return 0;
#else
    return 1;
#endif
}

uint8_t GetCanAutoArrange(void) { return 1; }
void SetAutoArrange(uint8_t value) { Record("SetAutoArrange " + std::to_string(int(value))); }

void SetCloseCallBack(TarvellCloseCallback callback)
{
    Record(std::string("SetCloseCallBack ") + (callback ? "set" : "null"));
    CloseCallback = callback;
}
#else
void Init(int32_t count) { Record("Init " + std::to_string(count)); }

void SetPoi(int32_t index, double lon, double lat, const char* name)
{
    Record("SetPoi " + std::to_string(index) + " " + Num(lon) + " " + Num(lat) + " " + name);
}

const char* GetHtml(void)
{
    Record("GetHtml");
#ifdef TEST_THROWING_CALLS
    throw std::runtime_error("no page today");
#endif
    if (Unterminated == "GetHtml")
        return BeforeUnreadablePage(64 * 1024);
    if (HavePageOverride) {
        Page = PageOverride;
    } else {
        Page = "<html><body>" + std::string(OwnName()) + " " + Log.substr(0, 0) + "</body></html>";
    }
    return Page.c_str();
}

const char* Caption(void) { return Unterminated == "Caption" ? BeforeUnreadablePage(100) : OwnName(); }
#endif

} // extern "C"
