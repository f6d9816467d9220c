// The one list of every converter of the program, in display order: each format unit registers
// its exporter before its importer, in this unit order.
#include "formats/uFormats.h"

#include "formats/uAscii.h"
#include "formats/uCommaSeparated.h"
#include "formats/uConvertBase.h"
#include "formats/uDestinatorDat.h"
#include "formats/uExcelXml.h"
#include "formats/uGarminGdb.h"
#include "formats/uGpx.h"
#include "formats/uKml.h"
#include "formats/uMioMapV3.h"
#include "formats/uMitac.h"
#include "formats/uSmartpath.h"
#include "formats/uTomTom.h"
#include "formats/uTomTomCfg.h"
#include "formats/uTomTomItn.h"

namespace {
bool Registered = false;
} // namespace

void RegisterAllFormats()
{
    if (Registered)
        return;
    Registered = true;
    using To = TConvertToBase;
    using From = TConvertFromBase;
    using P = TRegisterPosition;

    // TomTom binary: first in every list
    To::RegisterFormat<TConvertToOv2>(QStringLiteral("TomTom Binary"), QStringLiteral("ov2"), P::rpFirst);
    From::RegisterFormat<TConvertFromOv2>(QStringLiteral("TomTom Binary"), QStringLiteral("ov2"), P::rpFirst);

    // TomTom itinerary
    To::RegisterFormat<TConvertToItn>(QStringLiteral("TomTom Itinerary"), QStringLiteral("itn"));
    From::RegisterFormat<TConvertFromItn>(QStringLiteral("TomTom Itinerary"), QStringLiteral("itn"));
    // TomTom 5 configuration
    From::RegisterFormat<TConvertFromCfg>(QStringLiteral("TomTom 5 configuration"), QStringLiteral("cfg"));

    // Smartpath binary
    To::RegisterFormat<TConvertToOvr>(QStringLiteral("Smartpath Binary"), QStringLiteral("ovr"));
    From::RegisterFormat<TConvertFromOvr>(QStringLiteral("Smartpath Binary"), QStringLiteral("ovr"));

    // ASCII family
    To::RegisterFormat<TConvertToAsc>(QStringLiteral("Generic Ascii"), QStringLiteral("asc"), P::rpBeforeExtension);
    From::RegisterFormat<TConvertFromAsc>(QStringLiteral("Generic Ascii"), QStringLiteral("asc"), P::rpBeforeExtension);
    To::RegisterFormat<TConvertToNavmanCsv>(QStringLiteral("Navman Comma Separated"), QStringLiteral("csv"));
    From::RegisterFormat<TConvertFromNavmanCsv>(QStringLiteral("Navman Comma Separated"), QStringLiteral("csv"));
    To::RegisterFormat<TConvertToNavio>(QStringLiteral("Navio Ascii"), QStringLiteral("asc"));
    From::RegisterFormat<TConvertFromNavio>(QStringLiteral("Navio Ascii"), QStringLiteral("asc"));
    To::RegisterFormat<TConvertToNavioCsv>(QStringLiteral("Navio Comma Separated"), QStringLiteral("csv"));
    From::RegisterFormat<TConvertFromNavioCsv>(QStringLiteral("Navio Comma Separated"), QStringLiteral("csv"));
    To::RegisterFormat<TConvertToGarminCsv>(QStringLiteral("Garmin Comma Separated"), QStringLiteral("csv"));
    From::RegisterFormat<TConvertFromGarminCsv>(QStringLiteral("Garmin Comma Separated"), QStringLiteral("csv"));

    // Destinator CSV: the default for csv files, so before the ASCII family's csv rows
    To::RegisterFormat<TConvertToCsv>(QStringLiteral("Destinator Comma Separated"), QStringLiteral("csv"), P::rpBeforeExtension);
    From::RegisterFormat<TConvertFromCsv>(QStringLiteral("Destinator Comma Separated"), QStringLiteral("csv"), P::rpBeforeExtension);

    // Destinator binary
    To::RegisterFormat<TConvertToDat>(QStringLiteral("Destinator Binary"), QStringLiteral("dat"));
    From::RegisterFormat<TConvertFromDat>(QStringLiteral("Destinator Binary"), QStringLiteral("dat"));

    // Garmin MapSource: no earlier gdb row, so this appends
    From::RegisterFormat<TConvertFromGdb>(QStringLiteral("Garmin Mapsource"), QStringLiteral("gdb"), P::rpBeforeExtension);

    // MioMap CSV
    To::RegisterFormat<TConvertToMioMap>(QStringLiteral("MioMap Comma Separated"), QStringLiteral("csv"));
    From::RegisterFormat<TConvertFromMioMap>(QStringLiteral("MioMap Comma Separated"), QStringLiteral("csv"));

    // Mitac
    From::RegisterFormat<TConvertFromMitac>(QStringLiteral("Mitac Speedcams file"), QStringLiteral("mtc"));

    // GPX
    To::RegisterFormat<TConvertToGpx>(QStringLiteral("GPS eXchange Format"), QStringLiteral("gpx"));
    From::RegisterFormat<TConvertFromGpx>(QStringLiteral("GPS eXchange Format"), QStringLiteral("gpx"));
    // Excel XML
    From::RegisterFormat<TConvertFromExcel>(QStringLiteral("Excel XML Format"), QStringLiteral("xml"));
    // KML
    To::RegisterFormat<TConvertToKml>(QStringLiteral("Google Earth"), QStringLiteral("kml"));
    From::RegisterFormat<TConvertFromKml>(QStringLiteral("Google Earth"), QStringLiteral("kml"));

    // MioMap v3
    To::RegisterFormat<TConvertToMioMapV3>(QStringLiteral("MioMapv3/IGo Binary"), QStringLiteral("upd"));
    From::RegisterFormat<TConvertFromMioMapV3>(QStringLiteral("MioMapv3/IGo Binary"), QStringLiteral("upd"));
}

void UnregisterAllFormats()
{
    TConvertToBase::Registry().Clear();
    TConvertFromBase::Registry().Clear();
    Registered = false;
}
