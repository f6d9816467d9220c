// The helpers of the fuzzing entry points.
#pragma once

#include "FuzzTargets.h"

#include "core/uGeneral.h"

#include <string>
#include <string_view>

// Reports the fault and aborts: the fuzzer's crash, the replay's failure.
[[noreturn]] void Fault(const std::string& what);
void Check(bool cond, const std::string& what);
// A programming error raised by a reader is a fault: the user would see the crash-report box.
[[noreturn]] void Unexpected(const ETarvellError& e);

inline std::string_view Bytes(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }
