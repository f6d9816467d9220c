// The one list of every converter of the program, in display order: each format unit registers
// its exporter before its importer, in this unit order.
#include "formats/uFormats.h"

#include "formats/uConvertBase.h"

namespace {
bool Registered = false;
} // namespace

void RegisterAllFormats()
{
    if (Registered)
        return;
    Registered = true;
}

void UnregisterAllFormats()
{
    TConvertToBase::Registry().Clear();
    TConvertFromBase::Registry().Clear();
    Registered = false;
}
