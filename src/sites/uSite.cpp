// The site catalogue model and its XML.
#include "sites/uSite.h"

#include "core/uDownload.h"
#include "core/uLocations.h"

#include <QFileInfo>

#include <algorithm>

namespace {

bool SameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// "." + the value without its last extension ("ov2.ttov2" gives ".ov2"; "ov2" gives ".ov2").
QString ExtensionOfFormat(const QString& format)
{
    const qsizetype dot = format.lastIndexOf(QChar('.'));
    return QChar('.') + (dot < 0 ? format : format.left(dot));
}

struct TSiteRegistry {
    std::vector<std::unique_ptr<TSite>> Sites;
};

TSiteRegistry& Sites()
{
    static TSiteRegistry registry;
    return registry;
}

QString NodeText(const TXmlDocument& doc, const char* path)
{
    const TXmlNode node = doc.SelectSingleNode(QString::fromLatin1(path));
    return node ? node.Text() : QString();
}

} // namespace

QString TPoi::FileExt() const
{
    return Format.isEmpty() ? ExtractUrlFileExt(Url) : ExtensionOfFormat(Format);
}

QString TPoi::FormatID() const
{
    const qsizetype dot = Format.indexOf(QChar('.'));
    return dot < 0 ? QString() : Format.mid(dot + 1);
}

TPoiList::~TPoiList()
{
    if (FOwns)
        for (TPoi* poi : FItems)
            delete poi;
}

TPoi* TPoiList::FindByDescription(const QString& description) const
{
    for (TPoi* poi : FItems)
        if (SameText(poi->Description, description))
            return poi;
    return nullptr;
}

std::unique_ptr<TPoiList> TCountry::AllPois() const
{
    auto list = std::make_unique<TPoiList>(false);
    for (int i = 0; i < Pois.Count(); ++i)
        list->Add(&Pois[i]);
    return list;
}

std::unique_ptr<TPoiList> TCountry::PoisInGroup(const QString& groupName) const
{
    auto list = std::make_unique<TPoiList>(false);
    const QString wanted = groupName.toLower();
    for (int i = 0; i < Pois.Count(); ++i)
        if (Pois[i].Groups.contains(wanted))
            list->Add(&Pois[i]);
    return list;
}

TCountry* TCountryList::FindCountry(const QString& name) const
{
    for (const auto& c : FItems)
        if (SameText(c->CountryName, name))
            return c.get();
    return nullptr;
}

int TGroupList::IndexOfName(const QString& name) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (SameText(FItems[i]->GroupName, name))
            return int(i);
    return -1;
}

bool TGroupList::HasWizardGroup() const
{
    return std::any_of(FItems.begin(), FItems.end(), [](const auto& g) { return g->Wizard; });
}

void TSite::LoadFromCache()
{
    const QString file = LocationToLocalFile(Location);
    if (!QFileInfo(file).isFile()) {
        Countries.Clear();
        return;
    }
    // Loaded aside first: a copy that does not load leaves the model as it was.
    TSite loaded(Location);
    loaded.LoadFromXml(LoadBytesFromFile(file));
    TakeFrom(loaded);
}

void TSite::TakeFrom(TSite& other)
{
    std::swap(Countries, other.Countries);
    std::swap(InfoUrl, other.InfoUrl);
    std::swap(AddUrl, other.AddUrl);
    std::swap(AddFormat, other.AddFormat);
    std::swap(OnErrorUrl, other.OnErrorUrl);
    std::swap(OnSuccessUrl, other.OnSuccessUrl);
    std::swap(Groups, other.Groups);
    std::swap(Document, other.Document);
    std::swap(LoginMode, other.LoginMode);
}

void TSite::LoadFromXml(std::string_view bytes)
{
    const THourglass hourglass;
    auto doc = CreateXmlDocument();
    if (!doc->LoadXmlBytes(bytes) || !doc->DocumentElement())
        throw EUserError(TSiteTexts::tr("Invalid xml"));
    // Any other well-formed page (a log-in or error page served in its place) is no catalogue.
    const QString root = doc->DocumentElement().NodeName();
    if (root != QLatin1String("pois"))
        throw EUserError(
            TSiteTexts::tr("Invalid site xml: the document element is \"%1\" instead of \"pois\"").arg(root));
    Document = std::move(doc);
    CheckSiteXmlVersion(*Document);

    Groups.Clear();
    const std::vector<TXmlNode> pois = Document->SelectNodes(QStringLiteral("pois/poi"));
    Countries.Clear();
    for (const TXmlNode& node : pois)
        ParsePoiNode(node);
    for (const TXmlNode& node : Document->SelectNodes(QStringLiteral("pois/groups/group")))
        ParseGroupNode(node);

    InfoUrl = NodeText(*Document, "pois/infourl");
    AddUrl = NodeText(*Document, "pois/addurl");
    AddFormat = NodeText(*Document, "pois/addformat");
    OnSuccessUrl = NodeText(*Document, "pois/onsuccess");
    OnErrorUrl = NodeText(*Document, "pois/onerror");
    LoginMode = NodeText(*Document, "pois/loginmode");
}

void TSite::ParsePoiNode(const TXmlNode& node)
{
    auto poi = std::make_unique<TPoi>();
    poi->SiteLocation = Location;
    QString map;
    for (pugi::xml_node child = node.Native().first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const std::string_view name = child.name();
        const QString text = TXmlNode(child).Text();
        if (name == "description")
            poi->Description = text;
        else if (name == "query")
            poi->Query = text;
        else if (name == "url")
            poi->Url = text;
        else if (name == "image")
            poi->Image = text;
        else if (name == "format")
            poi->Format = text;
        else if (name == "note")
            poi->Note = text;
        else if (name == "nocommit")
            poi->CommitAllowed = false;
        else if (name == "authorization") {
            const QString level = text.toLower();
            if (level == QLatin1String("registered"))
                poi->AccessLevel = 1;
            else if (level == QLatin1String("subscribed"))
                poi->AccessLevel = 2;
        } else if (name == "group")
            poi->Groups.append(text);
        else if (name == "map")
            map = text;
    }
    TCountry* country = Countries.FindCountry(map);
    if (!country) {
        auto created = std::make_unique<TCountry>();
        created->CountryName = map;
        country = &Countries.Add(std::move(created));
    }
    for (const QString& group : poi->Groups) {
        if (poi->CommitAllowed && !country->CommitGroupNames.contains(group, Qt::CaseInsensitive))
            country->CommitGroupNames.append(group);
        if (!country->GroupNames.contains(group, Qt::CaseInsensitive))
            country->GroupNames.append(group);
    }
    for (QString& group : poi->Groups)
        group = group.toLower();
    country->AccessLevel = std::max(country->AccessLevel, poi->AccessLevel);
    country->Pois.Add(poi.release());
}

void TSite::ParseGroupNode(const TXmlNode& node)
{
    const TXmlNode name = node.SelectSingleNode(QStringLiteral("name"));
    if (!name)
        throw EUserError(TSiteTexts::tr("Missing %1 node").arg(QStringLiteral("pois/groups/group/name")));
    const int index = Groups.IndexOfName(name.Text());
    TGroup* group = nullptr;
    if (index >= 0) {
        group = &Groups[index];
    } else {
        auto created = std::make_unique<TGroup>();
        created->GroupName = name.Text();
        group = &Groups.Add(std::move(created));
    }
    const TXmlNode description = node.SelectSingleNode(QStringLiteral("description"));
    if (!description)
        throw EUserError(TSiteTexts::tr("Missing %1 node").arg(QStringLiteral("pois/groups/group/description")));
    group->Description = description.Text();
    if (const TXmlNode note = node.SelectSingleNode(QStringLiteral("note")))
        group->Note = note.Text();
    group->Wizard = bool(node.SelectSingleNode(QStringLiteral("wizard")));
}

uint8_t TSite::MaxAccessLevel() const
{
    uint8_t level = 0;
    for (int i = 0; i < Countries.Count(); ++i)
        level = std::max(level, Countries[i].AccessLevel);
    return level;
}

ETarvellError InvalidSiteInformation()
{
    return ETarvellError(TSiteTexts::tr(
        "Downloaded information invalid, please try again or use the Update button next to the sites list"));
}

TXmlNode FindPoiNode(const TXmlDocument& document, const QString& description)
{
    return document.SelectSingleNode(
        QStringLiteral("//pois/poi[description=$description]"), { { QStringLiteral("description"), description } });
}

QString TSite::GetPoiValue(const QString& description, const QString& childName, bool strict) const
{
    const TXmlNode poi = Document ? FindPoiNode(*Document, description) : TXmlNode();
    if (!poi)
        throw ETarvellError(TSiteTexts::tr("Poi item not found in site xml"));
    const TXmlNode child = poi.SelectSingleNode(childName);
    if (!child && strict)
        throw InvalidSiteInformation();
    return child ? child.Text() : QString();
}

QString TSite::GetSiteValue(const QString& name, bool strict) const
{
    const TXmlNode node = Document ? Document->SelectSingleNode(QStringLiteral("//pois/") + name) : TXmlNode();
    if (!node && strict)
        throw InvalidSiteInformation();
    return node ? node.Text() : QString();
}

TSite& GetSite(const QString& location)
{
    for (const auto& site : Sites().Sites)
        if (SameText(site->Location, location))
            return *site;
    // Registered only once loaded: a copy that fails to load is tried again next time.
    auto site = std::make_unique<TSite>(location);
    site->LoadFromCache();
    Sites().Sites.push_back(std::move(site));
    return *Sites().Sites.back();
}

TDownloadCheck SiteCatalogueCheck(const QString& location)
{
    return [location](std::string_view bytes) {
        TSite scratch(location);
        scratch.LoadFromXml(bytes);
    };
}

std::unique_ptr<TXmlDocument> DownloadSiteCatalogue(
    const QString& location, bool direct, const TDownloadProgressEvent& progress)
{
    return DownloadXmlDocument(location, direct, progress, SiteCatalogueCheck(location));
}

void ClearSites()
{
    Sites().Sites.clear();
}
