// C++ exception support of the crash reporter: the record of each throw (its address and the raw
// stack at that moment, kept in a per-thread ring keyed by the thrown object), and checks of
// objects and their run-time type information that may be damaged.
#pragma once

#include "crashreport/logic/VostStackTrace.h"

#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

// What was known when an object was thrown.
struct TThrowRecord {
    const void* Object = nullptr;
    const std::type_info* Type = nullptr;
    uintptr_t ThrowAddress = 0; // the return address of the throw call
    // Where the program threw: the throw address, or for a throw inside the system's C++ library
    // (vector::at) the first return address outside it.
    uintptr_t ThrowSite = 0;
    std::vector<TRawStackItem> Stack; // the quick collection at the throw (preCollected)
};

// Records a throw of object in the calling thread's ring; called by the interposed __cxa_throw
// with its return address. Never throws, never reports.
void RecordThrow(const void* object, const std::type_info* type, uintptr_t throwAddress) noexcept;
// The newest record of the calling thread's ring for object; false when there is none.
bool FindThrowRecord(const void* object, TThrowRecord& record);
// Records kept per thread; older ones are overwritten.
constexpr size_t ThrowRingSize = 8;
// Most raw stack items kept per record.
constexpr size_t ThrowRecordMaxItems = 256;
// Empties the calling thread's ring (tests).
void ClearThrowRecords();
// Makes the calling thread's ring known to the run-time now: its first use registers its
// clean-up, which allocates and so can abort a thread that first looks under a memory limit.
void PrepareThrowRecords();
// How many times the snapshot of code regions behind the quick collection was renewed (tests).
uint32_t ThrowSnapshotRenewals();

// The thrown object behind an exception_ptr (nullptr for none).
const void* ThrownObjectOf(const std::exception_ptr& exception);
// The type of the exception in flight in the calling thread (being caught or handled), or nullptr.
const std::type_info* CurrentExceptionType();
// The readable form of a mangled type name (a leading "*" of pointer-compared names dropped); the
// name itself when it cannot be demangled.
std::string DemangledTypeName(const char* name);

// True when the type information lies in a loaded module, its own type information does too, and
// its name is a valid mangled type name. Any fault gives False.
bool IsTypeInfoSound(const std::type_info* type);
// True when a polymorphic object's virtual table lies in a loaded module and the type information
// in front of it is sound.
bool IsObjectSound(const void* polymorphicObject);
// The type information of a polymorphic object read from its virtual table; nullptr when it is not sound.
const std::type_info* TypeOfObject(const void* polymorphicObject);
// True when the type or one of its base classes (the Itanium RTTI walk) is called name, as the
// class name text gives it ("std::out_of_range", "EUserError"). False for nullptr or any fault.
bool IsClassByName(const std::type_info* type, const std::string& name);
// The demangled class name ("Unknown" when there is none or it is not sound).
std::string ClassNameText(const std::type_info* type);
// The class names of the type and all its bases, the type first, breadth first.
std::vector<std::string> ClassChain(const std::type_info* type);
