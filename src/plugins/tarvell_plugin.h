/* The C interface of Tarvell's map plug-ins: every function a plug-in exports.

   A plug-in is a shared object ("*.so") in one of two folders beside the executable:
     plugins/openexternal/  shows or adds POIs in another program ("Show in", "Add to");
     plugins/htmlembed/     turns POIs into an HTML page shown in a map tab of the editor.
   It exports every common function and every function of its kind, unmangled (extern "C"), from
   the shared object itself: a function that only a library it depends on provides does not count,
   and a plug-in lacking any one function is refused, even one the editor never calls.

   Strings:
   - A `const char*` a plug-in returns is a zero-terminated 8-bit string in the system's ANSI code
     page, owned by the plug-in. The editor copies it at once; it must stay valid until the plug-in
     is called again. A null pointer reads as the empty string.
   - A `const char*` the editor passes is valid only for the duration of the call.

   Threads: the editor calls every function on its GUI thread, one call at a time. The close
   callback may be called from any thread of the plug-in; the editor hands the work to its GUI thread.

   Errors: no exception may leave any function. The editor turns one that does into an error message
   naming the plug-in, but the plug-in's state is then undefined.

   Limits (a plug-in outside them is refused when it is loaded, or its answer is refused when asked):
   - a returned text at most 4 KiB (4096 bytes), the page of GetHtml at most 64 MiB; a text whose
     bytes run into memory that cannot be read before the terminator is refused;
   - GetParamCount 0 .. 256, GetParamOptionCount 0 .. 4096;
   - GetPlugInName and every GetParamName non-empty, without control characters, "[", "]" or "=";
     two plug-ins of one name are not both loaded;
   - GetMaxPois below 0 counts as 0;
   - each plug-in is first tried in a separate process: one that crashes, throws or takes more than
     5 seconds to load and answer its names and parameters is refused. After that it is loaded into
     the editor, and every later call runs there: a plug-in that hangs hangs the editor, one that
     calls exit() ends it.

   Parameters: the editor keeps each parameter's value text in its settings under the section
   "plugins\" + GetPlugInName, named by GetParamName. It passes stored values with SetParamValue when
   the plug-in is loaded and stores GetParamValue when the editor ends. Types: 0 integer (GetParamMin
   .. GetParamMax, decimal texts; the settings dialog offers -32768 .. 32767), 1 text, 2 one of the
   options (GetParamOptionName shown, GetParamOptionValue stored), 3 zoom level of an HTML map
   (declare it as parameter 0: the map's zoom buttons step parameter 0).

   Coordinates are degrees: longitude east, latitude north. */
#ifndef TARVELL_PLUGIN_H
#define TARVELL_PLUGIN_H

#include <stdint.h>

#if defined(__GNUC__)
#define TARVELL_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define TARVELL_PLUGIN_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Called by an open-external plug-in when its window closes. */
typedef void (*TarvellCloseCallback)(void);

/* ---- common functions, bound in this order ---------------------------------------------------- */
/* Display name; also names the plug-in's settings section and the default plug-in. */
TARVELL_PLUGIN_EXPORT const char* GetPlugInName(void);
/* Required, never called. */
TARVELL_PLUGIN_EXPORT const char* GetAuthorName(void);
/* 1 = HTML map plug-in; only an htmlembed plug-in answering 1 gets a map tab. */
TARVELL_PLUGIN_EXPORT uint8_t GetPlugInType(void);
TARVELL_PLUGIN_EXPORT int32_t GetParamCount(void);
/* Index counts from 0. */
TARVELL_PLUGIN_EXPORT uint8_t GetParamType(int32_t index);
TARVELL_PLUGIN_EXPORT const char* GetParamName(int32_t index);
TARVELL_PLUGIN_EXPORT void SetParamValue(int32_t index, const char* value);
TARVELL_PLUGIN_EXPORT const char* GetParamValue(int32_t index);
TARVELL_PLUGIN_EXPORT const char* GetParamDefault(int32_t index);
TARVELL_PLUGIN_EXPORT int32_t GetParamOptionCount(int32_t index);
TARVELL_PLUGIN_EXPORT const char* GetParamOptionName(int32_t index, int32_t option);
TARVELL_PLUGIN_EXPORT const char* GetParamOptionValue(int32_t index, int32_t option);
TARVELL_PLUGIN_EXPORT const char* GetParamMin(int32_t index);
TARVELL_PLUGIN_EXPORT const char* GetParamMax(int32_t index);
/* Most POIs the plug-in accepts at once. */
TARVELL_PLUGIN_EXPORT int32_t GetMaxPois(void);

/* ---- open-external plug-ins (plugins/openexternal/), bound in this order ---------------------- */
TARVELL_PLUGIN_EXPORT void GotoPoi(double lon, double lat, const char* name);
/* Screen area in pixels the plug-in's window may use. */
TARVELL_PLUGIN_EXPORT void SetArrangeArea(int32_t left, int32_t top, int32_t width, int32_t height);
/* first = 1 for the first POI of a batch, else 0. */
TARVELL_PLUGIN_EXPORT void AddPoi(double lon, double lat, const char* name, int32_t first);
/* Booleans: 0 = false. */
TARVELL_PLUGIN_EXPORT uint8_t GetCanAddPoi(void);
TARVELL_PLUGIN_EXPORT uint8_t GetCanAutoArrange(void);
TARVELL_PLUGIN_EXPORT void SetAutoArrange(uint8_t value);
TARVELL_PLUGIN_EXPORT void SetCloseCallBack(TarvellCloseCallback callback);

/* ---- HTML-embed plug-ins (plugins/htmlembed/), bound in this order ---------------------------- */
/* Starts a new page of count POIs; SetPoi follows for index 0 .. count - 1 (0 = the current POI
   when there is one). */
TARVELL_PLUGIN_EXPORT void Init(int32_t count);
TARVELL_PLUGIN_EXPORT void SetPoi(int32_t index, double lon, double lat, const char* name);
/* The page (at most 64 MiB); empty = keep showing the previous page. */
TARVELL_PLUGIN_EXPORT const char* GetHtml(void);
/* Caption of the map tab. */
TARVELL_PLUGIN_EXPORT const char* Caption(void);

#ifdef __cplusplus
}
#endif

#endif
