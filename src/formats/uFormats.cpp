// The one list of every converter of the program, in display order: each format unit registers
// its exporter before its importer, in this unit order.
#include "formats/uFormats.h"

#include "formats/uConvertBase.h"
#include "formats/uExcelXml.h"
#include "formats/uGpx.h"
#include "formats/uKml.h"

namespace {
bool Registered = false;
} // namespace

void RegisterAllFormats()
{
    if (Registered)
        return;
    Registered = true;
    // ... TomTom, Smartpath, ASCII, Destinator, Garmin, MioMap CSV and Mitac units come first.
    TConvertToBase::RegisterFormat<TConvertToGpx>(QStringLiteral("GPS eXchange Format"), QStringLiteral("gpx"));
    TConvertFromBase::RegisterFormat<TConvertFromGpx>(QStringLiteral("GPS eXchange Format"), QStringLiteral("gpx"));
    TConvertFromBase::RegisterFormat<TConvertFromExcel>(QStringLiteral("Excel XML Format"), QStringLiteral("xml"));
    TConvertToBase::RegisterFormat<TConvertToKml>(QStringLiteral("Google Earth"), QStringLiteral("kml"));
    TConvertFromBase::RegisterFormat<TConvertFromKml>(QStringLiteral("Google Earth"), QStringLiteral("kml"));
    // MioMap v3 follows.
}

void UnregisterAllFormats()
{
    TConvertToBase::Registry().Clear();
    TConvertFromBase::Registry().Clear();
    Registered = false;
}
