// The one list of every converter of the program, in display order: each format unit registers
// its exporter before its importer, in this unit order.
#include "formats/uFormats.h"

#include "formats/uConvertBase.h"
#include "formats/uDestinatorDat.h"
#include "formats/uGarminGdb.h"
#include "formats/uMioMapV3.h"
#include "formats/uMitac.h"
#include "formats/uSmartpath.h"
#include "formats/uTomTom.h"

namespace {
bool Registered = false;
} // namespace

void RegisterAllFormats()
{
    if (Registered)
        return;
    Registered = true;
    using TPos = TRegisterPosition;

    TConvertToBase::RegisterFormat<TConvertToOv2>(QCoreApplication::translate("uTomTom", "TomTom Binary"), QStringLiteral("ov2"), TPos::rpFirst);
    TConvertFromBase::RegisterFormat<TConvertFromOv2>(QCoreApplication::translate("uTomTom", "TomTom Binary"), QStringLiteral("ov2"), TPos::rpFirst);

    TConvertToBase::RegisterFormat<TConvertToOvr>(QCoreApplication::translate("uSmartpath", "Smartpath Binary"), QStringLiteral("ovr"));
    TConvertFromBase::RegisterFormat<TConvertFromOvr>(QCoreApplication::translate("uSmartpath", "Smartpath Binary"), QStringLiteral("ovr"));

    TConvertToBase::RegisterFormat<TConvertToDat>(QCoreApplication::translate("uDestinatorDat", "Destinator Binary"), QStringLiteral("dat"));
    TConvertFromBase::RegisterFormat<TConvertFromDat>(QCoreApplication::translate("uDestinatorDat", "Destinator Binary"), QStringLiteral("dat"));

    TConvertFromBase::RegisterFormat<TConvertFromGdb>(QCoreApplication::translate("uGarminGdb", "Garmin Mapsource"), QStringLiteral("gdb"), TPos::rpBeforeExtension);

    TConvertFromBase::RegisterFormat<TConvertFromMitac>(QCoreApplication::translate("uMitac", "Mitac Speedcams file"), QStringLiteral("mtc"));

    TConvertToBase::RegisterFormat<TConvertToMioMapV3>(QCoreApplication::translate("uMioMapV3", "MioMapv3/IGo Binary"), QStringLiteral("upd"));
    TConvertFromBase::RegisterFormat<TConvertFromMioMapV3>(QCoreApplication::translate("uMioMapV3", "MioMapv3/IGo Binary"), QStringLiteral("upd"));
}

void UnregisterAllFormats()
{
    TConvertToBase::Registry().Clear();
    TConvertFromBase::Registry().Clear();
    Registered = false;
}
