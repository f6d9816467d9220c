// Site items and subscriptions: which POIs a map and group row of a site stands for, the cells of
// the site items and All Items lists, subscribing POIs to files on the PC or the device (one item
// per target), unsubscribing; and the update wizard's pages, group list and items.
#pragma once

#include "core/uSettings.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class TSubscriptionTexts {
    Q_DECLARE_TR_FUNCTIONS(uSubscriptions)
};

// --- maps and groups --------------------------------------------------------------------------
// A country's row: its name, "[Other]" for POIs without a map.
QString CountryCaption(const TCountry& country);

enum class TGroupRowKind {
    Group, // a group name of the country's POIs
    Other, // "[Other]": the POIs in the empty group
    All, // "[All]": every POI of the country
};
struct TGroupRow {
    TGroupRowKind Kind = TGroupRowKind::Group;
    // A group the site defines shows its Description, any other name itself.
    QString Caption;
    // The name the POIs carry.
    QString GroupName;
    // The group in the site's group list; -1 when the site does not define it.
    int GroupIndex = -1;
};
// One row per group name of the country, in order, then "[All]".
std::vector<TGroupRow> GroupRows(const TSite& site, const TCountry& country);
std::vector<TPoi*> PoisOfGroupRow(const TCountry& country, const TGroupRow& row);

// The "Name" column's sort mark (its picture index); a header click cycles None, ByName,
// SubscribedFirst.
enum class TSortMark { None = 0, ByName = 6, SubscribedFirst = 7 };
TSortMark NextSortMark(TSortMark mark);
// ByName: by description, ignoring case; SubscribedFirst: the POIs subscribed in profile first,
// then by description; None keeps the site's order.
void SortPois(std::vector<TPoi*>& pois, TSortMark mark, const TUpdateItems& profile, const QString& site);

// --- the cells --------------------------------------------------------------------------------
// "None", "Registered", "Subscribed".
QString AccessLevelText(uint8_t level);
// The system's short date and long time; empty for never.
QString ItemDateText(const QDateTime& date);
// The target and, in brackets, the display name of its writer.
QString TargetCellText(const TUpdateItem& item);

struct TSiteItemRow {
    QString Caption;
    QString Map;
    QString Auth;
    QString LastUpdate;
    QString Target;
    QString FileExt; // with its dot
    QString FormatID; // the reader's
    bool Subscribed = false;
};
// The rows of the site items list for a group row, sorted.
std::vector<TSiteItemRow> SiteItemRows(
    const TSite& site, const TCountry& country, const TGroupRow& group, TSortMark mark, const TUpdateItems& profile);

struct TAllItemsRow {
    TUpdateItem* Item = nullptr;
    QString Caption;
    QString Site;
    QString Map;
    QString LastUpdate;
    QString Target;
};
// One row per item of the profile, in profile order.
std::vector<TAllItemsRow> AllItemsRows(const TUpdateItems& profile);

// The POI's note (found ignoring case), or "No additional information available..." when it has
// none.
QString PoiNoteText(const TCountry& country, const QString& description);

// Every item of the profile for the site's POI.
std::vector<TUpdateItem*> ItemsOfPoi(const TUpdateItems& profile, const QString& site, const QString& description);

// ItemsOfPoi for many POIs of one site: the profile is looked through once.
class TPoiItems {
public:
    TPoiItems(const TUpdateItems& profile, const QString& site);
    // In profile order; empty when the POI has none.
    const std::vector<TUpdateItem*>& Of(const QString& description) const;
    // The first of them, the one FindBySiteAndDescription finds; none when not subscribed.
    TUpdateItem* First(const QString& description) const;

private:
    QHash<QString, std::vector<TUpdateItem*>> FItems;
};

// --- subscribing ------------------------------------------------------------------------------
enum class TTargetKind { Local, Device };

// One selected row as the subscribe actions see it.
struct TSubscribeRow {
    // The row's subscription; none for a POI not subscribed yet.
    TUpdateItem* Item = nullptr;
    QString Site;
    QString Description;
    QString Map;
    // The POI's file extension (with its dot) and reader format ID.
    QString FileExt;
    QString FormatID;
};

// The dialogs the subscribe actions show. Exporter numbers count from 0, as the writer registry's.
class TSubscriptionHost {
public:
    virtual ~TSubscriptionHost() = default;
    // The save dialog of one local target, starting in initialDir with fileName proposed and
    // exporter chosen; a typed extension of another file type is refused before it closes.
    virtual bool PickLocalFile(const QString& initialDir, QString& fileName, int& exporter) = 0;
    // A local folder; folder holds where to start (empty: anywhere) and the answer.
    virtual bool PickLocalFolder(QString& folder, int& exporter) = 0;
    // The device browser in save mode; path (a device path) holds where to start and the answer,
    // which carries the chosen writer's extension.
    virtual bool PickDeviceFile(QString& path, int& exporter) = 0;
    // A device folder; folder holds where to start and the answer.
    virtual bool PickDeviceFolder(QString& folder, int& exporter) = 0;
    virtual bool AskYesNo(const QString& question) = 0;
};

// The writer a row's subscription starts with: its item's (target extension, format ID), else the
// POI's; exporter 0 when no writer has that pair.
int ExporterOfRow(const TSubscribeRow& row);
// A file name from catalogue text: line breaks dropped, trimmed, unsafe characters replaced, so it
// stays inside the folder it is put in; a name that had to change carries a hash of the whole
// description, so two POIs never get one file.
QString TargetFileName(const QString& description, const QString& extension);
// "FILE://" + folder + "/" + name; device: "MOBILE://" + folder + "\" + name.
QString JoinTarget(TTargetKind kind, const QString& folder, const QString& name);

// Subscribes the rows (one: a file dialog; several: a folder dialog) to the PC or the device.
// A subscribed row's item is retargeted, others get a new item in profile. Two items of one
// target: the profile is reloaded from the store and EUserError raised. False when a dialog was
// cancelled or the overwrite question answered No (the profile is then as stored); true when the
// profile was saved. Device errors are the device layer's.
bool SubscribeRows(TUpdateItems& profile, const std::vector<TSubscribeRow>& rows, TTargetKind kind,
    TSubscriptionHost& host);

// The double-click's choice over the targets of the selected rows ("" for a row not subscribed):
// Device when some target is a device file, else Local. EUserError for a mix of both.
TTargetKind DoubleClickTarget(const QStringList& targets);

// Asks "Are you sure ...?" and removes those very items; true when the profile was saved.
bool UnsubscribeItems(TUpdateItems& profile, const std::vector<TUpdateItem*>& items, TSubscriptionHost& host);

// A view of the items sorted by site, for an update run.
std::unique_ptr<TUpdateItems> RunListOf(const std::vector<TUpdateItem*>& items);

// --- the update wizard ------------------------------------------------------------------------
enum class TWizardPage { Default, Profile, Sites, Authentication, Groups, Target, Ready, Finish, Count };
// Profile: fewer than 2 profiles; Authentication: the site is all free.
bool WizardPageSkipped(TWizardPage page, int profileCount, uint8_t maxAccessLevel);
// The next page that is not skipped, moving by step (+1 or -1); the page itself at either end.
TWizardPage WizardPageAfter(TWizardPage page, int step, int profileCount, uint8_t maxAccessLevel);

struct TWizardGroups {
    // Name = shown text, in the order of the country's group names.
    TSafeStringList Entries;
    // The site marks groups for the wizard: only those are listed, and "Other groups..." after.
    bool HasWizardGroups = false;
    // The texts the group list shows.
    QStringList Captions() const;
};
TWizardGroups WizardGroups(const TSite& site, const TCountry& country);
// The note of the site's group of that name, or "No additional information available...".
QString WizardGroupNote(const TSite& site, const QString& groupName);

struct TWizardTarget {
    TTargetKind Kind = TTargetKind::Local;
    // A local folder (the local and the navigator-folder targets) or a device folder.
    QString Folder;
    QString Extension; // with its dot
    QString FormatID;
};
// Finish: one item per POI (of the group, or of the whole country when groupName is null) for
// the target; with removeOldItems the profile's items of the site go first. Two of the new items,
// or a new one and an item that stays, writing one file: EUserError, nothing changed. Saves.
void CreateWizardItems(TUpdateItems& profile, const TSite& site, const TCountry& country, const QString* groupName,
    const TWizardTarget& target, bool removeOldItems);
