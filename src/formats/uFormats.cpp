// The one list of every converter of the program, in display order: each format unit registers
// its exporter before its importer, in this unit order.
#include "formats/uFormats.h"

#include "formats/uAscii.h"
#include "formats/uCommaSeparated.h"
#include "formats/uConvertBase.h"
#include "formats/uExcelXml.h"
#include "formats/uGpx.h"
#include "formats/uKml.h"
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

    // TomTom itinerary
    To::RegisterFormat<TConvertToItn>(QStringLiteral("TomTom Itinerary"), QStringLiteral("itn"));
    From::RegisterFormat<TConvertFromItn>(QStringLiteral("TomTom Itinerary"), QStringLiteral("itn"));
    // TomTom 5 configuration
    From::RegisterFormat<TConvertFromCfg>(QStringLiteral("TomTom 5 configuration"), QStringLiteral("cfg"));

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

    // MioMap CSV
    To::RegisterFormat<TConvertToMioMap>(QStringLiteral("MioMap Comma Separated"), QStringLiteral("csv"));
    From::RegisterFormat<TConvertFromMioMap>(QStringLiteral("MioMap Comma Separated"), QStringLiteral("csv"));

    // GPX
    To::RegisterFormat<TConvertToGpx>(QStringLiteral("GPS eXchange Format"), QStringLiteral("gpx"));
    From::RegisterFormat<TConvertFromGpx>(QStringLiteral("GPS eXchange Format"), QStringLiteral("gpx"));
    // Excel XML
    From::RegisterFormat<TConvertFromExcel>(QStringLiteral("Excel XML Format"), QStringLiteral("xml"));
    // KML
    To::RegisterFormat<TConvertToKml>(QStringLiteral("Google Earth"), QStringLiteral("kml"));
    From::RegisterFormat<TConvertFromKml>(QStringLiteral("Google Earth"), QStringLiteral("kml"));
}

void UnregisterAllFormats()
{
    TConvertToBase::Registry().Clear();
    TConvertFromBase::Registry().Clear();
    Registered = false;
}
