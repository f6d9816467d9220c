// The program's one export for outside tools: a report of the whole process, as for a freeze,
// written into a shared mapping the tool created, or put on the clipboard.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The mapping's name: POSIX shared memory the calling tool creates and sizes beforehand.
inline constexpr const char* TraceMappingName = "/VostTraceProcessMap";

// Composes the report and, for bufferSize >= 1, writes at most min(bufferSize, mapping size) - 1
// bytes and a terminating zero into the mapping; only an existing mapping owned by our user is
// opened. bufferSize < 1 hands the report to the clipboard routine. The calling thread is named
// "-" meanwhile, so that it gets no section. Returns 0; -1 when the mapping could not be used.
int32_t TraceProcessInto(const char* mappingName, int32_t bufferSize);

// Puts a report on the clipboard; the program installs one that asks its main thread (at most
// 1500 ms). Without one the clipboard request is dropped.
void SetTraceClipboardProc(std::function<void(const std::string& report)> proc);

extern "C" int32_t VostTraceProcess(int32_t bufferSize);
