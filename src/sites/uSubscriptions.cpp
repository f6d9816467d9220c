// Site items and subscriptions, and the update wizard's rules.
#include "sites/uSubscriptions.h"

#include "core/uLocations.h"
#include "core/uRapi.h"
#include "formats/uConvertBase.h"
#include "sites/uAutoUpdate.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

#include <algorithm>

namespace {

bool SameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool DescriptionLess(const TPoi* a, const TPoi* b)
{
    return a->Description.compare(b->Description, Qt::CaseInsensitive) < 0;
}

QString NoInformation()
{
    return TSubscriptionTexts::tr("No additional information available...");
}

// Two items of the list share a target (case-insensitive), or one of them has the target of an
// item in others.
bool TargetsClash(const std::vector<TUpdateItem*>& items, const std::vector<TUpdateItem*>& others)
{
    QSet<QString> taken;
    taken.reserve(qsizetype(items.size() + others.size()));
    for (const TUpdateItem* other : others)
        taken.insert(other->Target.toCaseFolded());
    QSet<QString> fresh;
    fresh.reserve(qsizetype(items.size()));
    for (const TUpdateItem* item : items) {
        const QString target = item->Target.toCaseFolded();
        if (taken.contains(target) || fresh.contains(target))
            return true;
        fresh.insert(target);
    }
    return false;
}

// The duplicate check of a subscription: the store's profile comes back before the error.
void CheckDuplicates(TUpdateItems& profile, const QString& message)
{
    if (!profile.HasDuplicateTarget())
        return;
    profile.Load();
    throw EUserError(message);
}

// The row's item, or a new one added to the profile; Description and Map follow the row.
TUpdateItem& ItemOfRow(TUpdateItems& profile, const TSubscribeRow& row)
{
    TUpdateItem* item = row.Item;
    if (!item) {
        auto created = std::make_unique<TUpdateItem>();
        created->Site = row.Site;
        item = created.get();
        profile.Add(std::move(created));
    }
    item->Description = row.Description;
    item->Map = row.Map;
    return *item;
}

// The one row's item takes the target and writer, then the profile is checked and saved.
void SetOneTarget(TUpdateItems& profile, const TSubscribeRow& row, int exporter, const QString& target)
{
    TUpdateItem& item = ItemOfRow(profile, row);
    item.FormatID = TConvertToBase::FormatIDAt(exporter);
    item.Target = target;
    CheckDuplicates(profile,
        TSubscriptionTexts::tr("The target file is already updated by another item. Please remove the updating of "
                               "this file before assigning it to another item"));
    profile.Save();
}

bool SubscribeOneLocal(TUpdateItems& profile, const TSubscribeRow& row, TSubscriptionHost& host)
{
    TSettings& settings = GetSettings();
    int exporter = ExporterOfRow(row);
    QString fileName = row.Item && IsFilePath(row.Item->Target)
        ? StripFilePrefix(row.Item->Target)
        : TargetFileName(row.Description, TConvertToBase::Extension(exporter));
    if (!host.PickLocalFile(settings.InitialDir, fileName, exporter) || fileName.isEmpty())
        return false;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += TConvertToBase::Extension(exporter);
    SetOneTarget(profile, row, exporter, QString::fromLatin1(FilePrefix.data()) + fileName);
    return true;
}

bool SubscribeOneDevice(TUpdateItems& profile, const TSubscribeRow& row, TSubscriptionHost& host)
{
    ConnectDevice();
    TSettings& settings = GetSettings();
    int exporter = ExporterOfRow(row);
    QString path = row.Item && IsMobilePath(row.Item->Target)
        ? StripMobilePrefix(row.Item->Target)
        : StripMobilePrefix(JoinTarget(TTargetKind::Device, settings.PrevRemoteDir,
            TargetFileName(row.Description, TConvertToBase::Extension(exporter))));
    if (!host.PickDeviceFile(path, exporter) || path.isEmpty())
        return false;
    settings.PrevRemoteDir = DeviceFolderPart(path);
    SetOneTarget(profile, row, exporter, QString::fromLatin1(MobilePrefix.data()) + path);
    return true;
}

bool SubscribeSeveral(
    TUpdateItems& profile, const std::vector<TSubscribeRow>& rows, TTargetKind kind, TSubscriptionHost& host)
{
    profile.Save();
    TSettings& settings = GetSettings();
    int exporter = ExporterOfRow(rows.front());
    QString folder;
    if (kind == TTargetKind::Local) {
        folder = QDir(settings.InitialDir).exists() && !settings.InitialDir.isEmpty() ? settings.InitialDir : QString();
        if (!host.PickLocalFolder(folder, exporter) || folder.isEmpty())
            return false;
        settings.InitialDir = folder;
    } else {
        ConnectDevice();
        folder = settings.PrevRemoteDir;
        if (!host.PickDeviceFolder(folder, exporter) || folder.isEmpty())
            return false;
        settings.PrevRemoteDir = folder;
    }
    const QString extension = TConvertToBase::Extension(exporter);
    bool someExist = false;
    for (const TSubscribeRow& row : rows) {
        TUpdateItem& item = ItemOfRow(profile, row);
        item.Target = JoinTarget(kind, folder, TargetFileName(row.Description, extension));
        item.FormatID = TConvertToBase::FormatIDAt(exporter);
        if (!someExist)
            someExist = kind == TTargetKind::Local ? QFileInfo::exists(StripFilePrefix(item.Target))
                                                   : DeviceFileExists(StripMobilePrefix(item.Target));
    }
    CheckDuplicates(profile,
        kind == TTargetKind::Local
            ? TSubscriptionTexts::tr("The specified target directory causes 2 or more autoupdate items to update the "
                                     "same file. Please change or remove the target of the conflicting items first")
            : TSubscriptionTexts::tr("One or more target files are already updated by another item. Please remove the "
                                     "updating of these files before assigning them to other items"));
    if (someExist
        && !host.AskYesNo(TSubscriptionTexts::tr(
            "One or more files already exist. Setting these files to autoupdate causes them to be overwritten on the "
            "next update, do you really want these files to be autoupdated?"))) {
        profile.Load();
        return false;
    }
    profile.Save();
    return true;
}

} // namespace

// --- maps and groups --------------------------------------------------------------------------

QString CountryCaption(const TCountry& country)
{
    return country.CountryName.isEmpty() ? TSubscriptionTexts::tr("[Other]") : country.CountryName;
}

std::vector<TGroupRow> GroupRows(const TSite& site, const TCountry& country)
{
    std::vector<TGroupRow> rows;
    for (const QString& name : country.GroupNames) {
        TGroupRow row;
        row.GroupName = name;
        if (name.isEmpty()) {
            row.Kind = TGroupRowKind::Other;
            row.Caption = TSubscriptionTexts::tr("[Other]");
        } else if ((row.GroupIndex = site.Groups.IndexOfName(name)) >= 0) {
            row.Caption = site.Groups[row.GroupIndex].Description;
        } else {
            row.Caption = name;
        }
        rows.push_back(row);
    }
    TGroupRow all;
    all.Kind = TGroupRowKind::All;
    all.Caption = TSubscriptionTexts::tr("[All]");
    rows.push_back(all);
    return rows;
}

std::vector<TPoi*> PoisOfGroupRow(const TCountry& country, const TGroupRow& row)
{
    std::unique_ptr<TPoiList> list;
    switch (row.Kind) {
    case TGroupRowKind::All:
        list = country.AllPois();
        break;
    case TGroupRowKind::Other:
        list = country.PoisInGroup(QString());
        break;
    case TGroupRowKind::Group:
        list = country.PoisInGroup(row.GroupName);
        break;
    }
    std::vector<TPoi*> pois;
    for (int i = 0; i < list->Count(); ++i)
        pois.push_back(&(*list)[i]);
    return pois;
}

TSortMark NextSortMark(TSortMark mark)
{
    switch (mark) {
    case TSortMark::None:
        return TSortMark::ByName;
    case TSortMark::ByName:
        return TSortMark::SubscribedFirst;
    case TSortMark::SubscribedFirst:
        break;
    }
    return TSortMark::None;
}

void SortPois(std::vector<TPoi*>& pois, TSortMark mark, const TUpdateItems& profile, const QString& site)
{
    if (mark == TSortMark::ByName) {
        std::stable_sort(pois.begin(), pois.end(), DescriptionLess);
    } else if (mark == TSortMark::SubscribedFirst) {
        const TPoiItems items(profile, site);
        QSet<const TPoi*> subscribed;
        for (const TPoi* poi : pois)
            if (items.First(poi->Description))
                subscribed.insert(poi);
        std::stable_sort(pois.begin(), pois.end(), [&](const TPoi* a, const TPoi* b) {
            const bool sa = subscribed.contains(a);
            const bool sb = subscribed.contains(b);
            return sa != sb ? sa : DescriptionLess(a, b);
        });
    }
}

// --- the cells --------------------------------------------------------------------------------

QString AccessLevelText(uint8_t level)
{
    switch (level) {
    case 1:
        return TSubscriptionTexts::tr("Registered");
    case 2:
        return TSubscriptionTexts::tr("Subscribed");
    default:
        return TSubscriptionTexts::tr("None");
    }
}

QString ItemDateText(const QDateTime& date)
{
    if (date.isNull() || !date.isValid())
        return QString();
    const QLocale locale = QLocale::system();
    // The long time format names the time zone, which the list has no room for.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QChar('t'));
    return locale.toString(date.date(), QLocale::ShortFormat) + QChar(' ')
        + locale.toString(date.time(), timeFormat.trimmed());
}

QString TargetCellText(const TUpdateItem& item)
{
    QString writer;
    TConvertToBase::DescriptionOf(LocationExtension(item.Target), item.FormatID, writer);
    return item.Target + QStringLiteral(" (") + writer + QChar(')');
}

std::vector<TSiteItemRow> SiteItemRows(
    const TSite& site, const TCountry& country, const TGroupRow& group, TSortMark mark, const TUpdateItems& profile)
{
    std::vector<TPoi*> pois = PoisOfGroupRow(country, group);
    SortPois(pois, mark, profile, site.Location);
    const TPoiItems items(profile, site.Location);
    std::vector<TSiteItemRow> rows;
    rows.reserve(pois.size());
    for (const TPoi* poi : pois) {
        TSiteItemRow row;
        row.Caption = poi->Description;
        row.Map = country.CountryName;
        row.Auth = AccessLevelText(poi->AccessLevel);
        row.FileExt = poi->FileExt();
        row.FormatID = poi->FormatID();
        if (const TUpdateItem* item = items.First(poi->Description)) {
            row.Subscribed = true;
            row.LastUpdate = ItemDateText(item->LastUpdate);
            row.Target = TargetCellText(*item);
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<TAllItemsRow> AllItemsRows(const TUpdateItems& profile)
{
    std::vector<TAllItemsRow> rows;
    for (int i = 0; i < profile.Count(); ++i) {
        TUpdateItem& item = profile.GetItem(i);
        rows.push_back({ &item, item.Description, item.Site, item.Map, ItemDateText(item.LastUpdate), item.Target });
    }
    return rows;
}

QString PoiNoteText(const TCountry& country, const QString& description)
{
    const TPoi* poi = country.FindPoi(description);
    const QString note = poi ? poi->Note.trimmed() : QString();
    return note.isEmpty() ? NoInformation() : poi->Note;
}

TPoiItems::TPoiItems(const TUpdateItems& profile, const QString& site)
{
    for (int i = 0; i < profile.Count(); ++i) {
        TUpdateItem& item = profile.GetItem(i);
        if (SameText(item.Site, site))
            FItems[item.Description.toCaseFolded()].push_back(&item);
    }
}

const std::vector<TUpdateItem*>& TPoiItems::Of(const QString& description) const
{
    static const std::vector<TUpdateItem*> none;
    const auto it = FItems.constFind(description.toCaseFolded());
    return it == FItems.constEnd() ? none : *it;
}

TUpdateItem* TPoiItems::First(const QString& description) const
{
    const std::vector<TUpdateItem*>& items = Of(description);
    return items.empty() ? nullptr : items.front();
}

std::vector<TUpdateItem*> ItemsOfPoi(const TUpdateItems& profile, const QString& site, const QString& description)
{
    std::vector<TUpdateItem*> items;
    for (int i = 0; i < profile.Count(); ++i) {
        TUpdateItem& item = profile.GetItem(i);
        if (SameText(item.Site, site) && SameText(item.Description, description))
            items.push_back(&item);
    }
    return items;
}

// --- subscribing ------------------------------------------------------------------------------

int ExporterOfRow(const TSubscribeRow& row)
{
    const int i = row.Item ? TConvertToBase::IndexOf(LocationExtension(row.Item->Target), row.Item->FormatID)
                           : TConvertToBase::IndexOf(row.FileExt, row.FormatID);
    return i < 0 ? 0 : i;
}

QString TargetFileName(const QString& description, const QString& extension)
{
    // Decided on the whole description: one that loses a line break or a blank is told apart too.
    return UniqueFileName(SanitizeFileNamePart(StripLineBreaks(description)), description) + extension;
}

QString JoinTarget(TTargetKind kind, const QString& folder, const QString& name)
{
    if (kind == TTargetKind::Local) {
        const QString path = StripFilePrefix(folder);
        return QString::fromLatin1(FilePrefix.data()) + path + (path.endsWith(QChar('/')) ? QString() : QStringLiteral("/"))
            + name;
    }
    const QString path = NormaliseDevicePath(StripMobilePrefix(folder));
    return QString::fromLatin1(MobilePrefix.data()) + path + (path.endsWith(QChar('\\')) ? QString() : QStringLiteral("\\"))
        + name;
}

bool SubscribeRows(
    TUpdateItems& profile, const std::vector<TSubscribeRow>& rows, TTargetKind kind, TSubscriptionHost& host)
{
    if (rows.empty())
        return false;
    if (rows.size() > 1)
        return SubscribeSeveral(profile, rows, kind, host);
    return kind == TTargetKind::Local ? SubscribeOneLocal(profile, rows.front(), host)
                                      : SubscribeOneDevice(profile, rows.front(), host);
}

TTargetKind DoubleClickTarget(const QStringList& targets)
{
    bool local = false;
    bool device = false;
    for (const QString& target : targets) {
        if (target.isEmpty())
            continue;
        if (IsFilePath(target))
            local = true;
        else
            device = true;
    }
    if (local && device)
        throw EUserError(
            TSubscriptionTexts::tr("Selection contains local and PDA files. Please only select local OR PDA files"));
    return device ? TTargetKind::Device : TTargetKind::Local;
}

bool UnsubscribeItems(TUpdateItems& profile, const std::vector<TUpdateItem*>& items, TSubscriptionHost& host)
{
    if (items.empty()
        || !host.AskYesNo(TSubscriptionTexts::tr("Are you sure you want to unsubscribe these files from AutoUpdate?")))
        return false;
    profile.Remove(items);
    profile.Save();
    return true;
}

std::unique_ptr<TUpdateItems> RunListOf(const std::vector<TUpdateItem*>& items)
{
    auto list = TUpdateItems::CreateView();
    for (TUpdateItem* item : items)
        list->Add(item);
    list->SortBySite();
    return list;
}

// --- the update wizard ------------------------------------------------------------------------

bool WizardPageSkipped(TWizardPage page, int profileCount, uint8_t maxAccessLevel)
{
    switch (page) {
    case TWizardPage::Profile:
        return profileCount < 2;
    case TWizardPage::Authentication:
        return maxAccessLevel == 0;
    default:
        return false;
    }
}

TWizardPage WizardPageAfter(TWizardPage page, int step, int profileCount, uint8_t maxAccessLevel)
{
    int i = int(page);
    const int last = int(TWizardPage::Count) - 1;
    do {
        const int next = i + step;
        if (next < 0 || next > last)
            return page;
        i = next;
    } while (WizardPageSkipped(TWizardPage(i), profileCount, maxAccessLevel));
    return TWizardPage(i);
}

QStringList TWizardGroups::Captions() const
{
    QStringList captions;
    for (int i = 0; i < Entries.Count(); ++i)
        captions << Entries.GetValueAt(i);
    if (HasWizardGroups)
        captions << TSubscriptionTexts::tr("Other groups...");
    return captions;
}

TWizardGroups WizardGroups(const TSite& site, const TCountry& country)
{
    TWizardGroups groups;
    groups.HasWizardGroups = site.Groups.HasWizardGroup();
    for (const QString& name : country.GroupNames) {
        const int defined = site.Groups.IndexOfName(name);
        if (defined < 0) {
            if (!groups.HasWizardGroups)
                groups.Entries.AddNameValue(name, name);
        } else if (!groups.HasWizardGroups || site.Groups[defined].Wizard) {
            groups.Entries.AddNameValue(name, site.Groups[defined].Description);
        }
    }
    return groups;
}

QString WizardGroupNote(const TSite& site, const QString& groupName)
{
    const int i = site.Groups.IndexOfName(groupName);
    const QString note = i < 0 ? QString() : site.Groups[i].Note;
    return note.trimmed().isEmpty() ? NoInformation() : note;
}

void CreateWizardItems(TUpdateItems& profile, const TSite& site, const TCountry& country, const QString* groupName,
    const TWizardTarget& target, bool removeOldItems)
{
    const std::unique_ptr<TPoiList> pois = groupName ? country.PoisInGroup(*groupName) : country.AllPois();
    std::vector<std::unique_ptr<TUpdateItem>> created;
    std::vector<TUpdateItem*> fresh;
    for (int i = 0; i < pois->Count(); ++i) {
        const TPoi& poi = (*pois)[i];
        auto item = std::make_unique<TUpdateItem>();
        item->Target = JoinTarget(target.Kind, target.Folder, TargetFileName(poi.Description, target.Extension));
        item->Description = poi.Description;
        item->Map = country.CountryName;
        item->FormatID = target.FormatID;
        item->Site = site.Location;
        fresh.push_back(item.get());
        created.push_back(std::move(item));
    }
    std::vector<TUpdateItem*> staying;
    for (int i = 0; i < profile.Count(); ++i) {
        TUpdateItem& item = profile.GetItem(i);
        if (!removeOldItems || !SameText(item.Site, site.Location))
            staying.push_back(&item);
    }
    if (TargetsClash(fresh, staying))
        throw EUserError(TSubscriptionTexts::tr("The specified target directory causes 2 or more autoupdate items to "
                                                "update the same file. Please change or remove the target of the "
                                                "conflicting items first"));
    if (removeOldItems)
        profile.EraseSite(site.Location);
    for (auto& item : created)
        profile.Add(std::move(item));
    profile.Save();
}
