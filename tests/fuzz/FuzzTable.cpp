// The targets by name, for the corpus replay.
#include "FuzzTargets.h"

#include <map>

TFuzzEntry FuzzEntry(std::string_view target)
{
    static const std::map<std::string_view, TFuzzEntry> entries = {
        {"readers", FuzzReaders},     {"xml", FuzzXml},         {"metafile", FuzzMetafile}, {"calibration", FuzzCalibration},
        {"catalogue", FuzzCatalogue}, {"version", FuzzVersion}, {"dns", FuzzDns},           {"smtp", FuzzSmtp},
    };
    const auto it = entries.find(target);
    return it == entries.end() ? nullptr : it->second;
}

