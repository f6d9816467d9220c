// The site catalogue model: a site with its countries (maps), groups and POI files, read from the
// site's catalogue XML, and the process-wide registry of sites by location.
#pragma once

#include "core/uDownload.h"
#include "core/uGeneral.h"
#include "core/uXmlDocument.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class TSiteTexts {
    Q_DECLARE_TR_FUNCTIONS(uSite)
};

class TPoi {
public:
    QStringList Groups; // lower-cased
    QString Description;
    QString Url;
    QString Query;
    QString Image;
    uint8_t AccessLevel = 0; // 0 free, 1 registered, 2 subscribed
    QString Format; // extension "." format ID, e.g. "ov2.ttov2"
    QString Note;
    bool CommitAllowed = true;
    QString SiteLocation;

    // "." + Format without its last extension; without Format the extension of the Url path.
    QString FileExt() const;
    // The part of Format after its first "."; "" when there is none.
    QString FormatID() const;
};

// A list of POIs that owns them or only refers to them.
class TPoiList {
public:
    explicit TPoiList(bool owns = true)
        : FOwns(owns)
    {
    }
    TPoiList(const TPoiList&) = delete;
    TPoiList& operator=(const TPoiList&) = delete;
    ~TPoiList();

    int Count() const { return int(FItems.size()); }
    TPoi& operator[](int i) const { return *FItems[size_t(i)]; }
    void Add(TPoi* poi) { FItems.push_back(poi); }
    // Case-insensitive; nullptr when none.
    TPoi* FindByDescription(const QString& description) const;

private:
    bool FOwns;
    std::vector<TPoi*> FItems;
};

class TCountry {
public:
    QStringList GroupNames;
    QStringList CommitGroupNames;
    TPoiList Pois;
    uint8_t AccessLevel = 0;
    QString CountryName;

    std::unique_ptr<TPoiList> AllPois() const;
    std::unique_ptr<TPoiList> PoisInGroup(const QString& groupName) const;
    TPoi* FindPoi(const QString& description) const { return Pois.FindByDescription(description); }
};

// An ordered list that owns its elements.
template <typename T> class TOwningList {
public:
    int Count() const { return int(FItems.size()); }
    T& operator[](int i) const { return *FItems[size_t(i)]; }
    T& Add(std::unique_ptr<T> item)
    {
        FItems.push_back(std::move(item));
        return *FItems.back();
    }
    void Clear() { FItems.clear(); }

protected:
    std::vector<std::unique_ptr<T>> FItems;
};

class TCountryList : public TOwningList<TCountry> {
public:
    // Case-insensitive; nullptr when none.
    TCountry* FindCountry(const QString& name) const;
};

class TGroup {
public:
    QString Description;
    QString GroupName;
    QString Note;
    bool Wizard = false;
};

class TGroupList : public TOwningList<TGroup> {
public:
    // Case-insensitive; -1 when none.
    int IndexOfName(const QString& name) const;
    bool HasWizardGroup() const;
};

class TSite {
public:
    explicit TSite(QString location)
        : Location(std::move(location))
    {
    }
    TSite(const TSite&) = delete;
    TSite& operator=(const TSite&) = delete;

    TCountryList Countries;
    QString InfoUrl;
    QString AddUrl;
    QString AddFormat;
    QString OnErrorUrl;
    QString OnSuccessUrl;
    QString Location;
    TGroupList Groups;
    std::unique_ptr<TXmlDocument> Document;
    QString LoginMode;

    // Reads the local copy of Location (the "FILE://" path, else the cached download); without
    // one the site has no countries. A copy that fails to load (the errors of LoadFromXml) leaves
    // the model as it was.
    void LoadFromCache();
    // Parses a catalogue. EUserError "Invalid xml"; "Invalid site xml: the document element is
    // ..." when the root is not "pois"; the minimal-version error of the downloads unit (the model
    // is then untouched); "Missing %1 node" for a group without name or description.
    void LoadFromXml(std::string_view bytes);
    uint8_t MaxAccessLevel() const;
    // The text of a child of the POI with that description. "Poi item not found in site xml"
    // when there is no such POI; a missing child is "" or, when strict, "Downloaded information
    // invalid, please try again or use the Update button next to the sites list".
    QString GetPoiValue(const QString& description, const QString& childName, bool strict) const;
    // The text of "//pois/" + name, with the same strict rule.
    QString GetSiteValue(const QString& name, bool strict) const;

private:
    void TakeFrom(TSite& other);
    void ParsePoiNode(const TXmlNode& node);
    void ParseGroupNode(const TXmlNode& node);
};

// The POI element of that description in a catalogue, or a null node. The description is bound
// as a variable, so any character works.
TXmlNode FindPoiNode(const TXmlDocument& document, const QString& description);
// "Downloaded information invalid, please try again or use the Update button next to the sites list".
ETarvellError InvalidSiteInformation();

// The registered site of the location (case-insensitive), created and loaded from the cache on
// first use; a site whose cached copy fails to load raises that error and is not registered.
TSite& GetSite(const QString& location);

// Refuses an answer for the site that its catalogue loader would not read (TSite::LoadFromXml's
// errors), so that only a catalogue replaces the cached one.
TDownloadCheck SiteCatalogueCheck(const QString& location);
// DownloadXmlDocument of a site catalogue with that check.
std::unique_ptr<TXmlDocument> DownloadSiteCatalogue(
    const QString& location, bool direct, const TDownloadProgressEvent& progress = {});
// Frees every site (program end, tests).
void ClearSites();
