// The libFuzzer glue of one target; TARVELL_FUZZ_ENTRY names its entry point.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    InitFuzzing(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return TARVELL_FUZZ_ENTRY(data, size); }
