// The site catalogue and the version file.
#include "FuzzSupport.h"

#include "core/uXmlDocument.h"
#include "sites/uSite.h"
#include "sites/uVersionInfo.h"

int FuzzCatalogue(const uint8_t* data, size_t size)
{
    TSite site(QStringLiteral("FILE:///nonexistent/fuzz.xml"));
    try {
        site.LoadFromXml(Bytes(data, size));
        site.MaxAccessLevel();
        for (int c = 0; c < site.Countries.Count(); ++c) {
            const TCountry& country = site.Countries[c];
            site.Countries.FindCountry(country.CountryName);
            country.AllPois();
            for (const QString& group : country.GroupNames)
                country.PoisInGroup(group);
            for (int p = 0; p < country.Pois.Count(); ++p) {
                const TPoi& poi = country.Pois[p];
                poi.FileExt();
                poi.FormatID();
                site.GetPoiValue(poi.Description, QStringLiteral("url"), false);
            }
        }
        for (int g = 0; g < site.Groups.Count(); ++g)
            site.Groups.IndexOfName(site.Groups[g].GroupName);
        site.Groups.HasWizardGroup();
        site.GetSiteValue(QStringLiteral("infourl"), false);
    } catch (const EAssertionFailed& e) {
        Unexpected(e);
    } catch (const ETarvellError&) {
    }
    return 0;
}

int FuzzVersion(const uint8_t* data, size_t size)
{
    try {
        const TFileVersionNumbers v = ParseVersionXml(DecodeXmlBytes(Bytes(data, size)));
        CompareVersions(v, ProgramVersionNumbers());
    } catch (const EAssertionFailed& e) {
        Unexpected(e);
    } catch (const ETarvellError&) {
    }
    return 0;
}

