// A library a test plug-in depends on: it provides an export the plug-in itself lacks, or a
// function the plug-in needs at load.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) const char* GetAuthorName(void) { return "dependency"; }
extern "C" __attribute__((visibility("default"))) int32_t TvDepValue(void) { return 7; }
