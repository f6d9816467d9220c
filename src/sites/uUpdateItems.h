// Auto-update items (one subscription of a target file to a site's POI file), their lists and the
// process-wide registry of named profiles kept in the settings store.
#pragma once

#include "core/uGeneral.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

class TUpdateItemsTexts {
    Q_DECLARE_TR_FUNCTIONS(uUpdateItems)
};

// "ddmmyyyyhhnnss" in local time; a null date-time (never) is "".
QString FormatItemDate(const QDateTime& date);
// The inverse: "" is null; anything but 14 digits forming a valid date and time raises
// EConvertError.
QDateTime ParseItemDate(const QString& text);

class TUpdateItem {
public:
    QString Map;
    QString Description;
    QString Site;
    // Null means never.
    QDateTime LastChecked;
    QDateTime LastUpdate;
    QString Target;
    QString FormatID;

    // Target "=" Site|Description|Map|LastChecked|LastUpdate|FormatID. Raises EConvertError for
    // an unreadable date; the item may then be half filled and is dropped by the caller.
    // What the line cannot carry is escaped: "|", CR and LF in Description and Map, and also "="
    // in Target, as "%7C", "%0D", "%0A", "%3D"; "%" becomes "%25" only ahead of one of these
    // codes or "25", so lines without them read and write as they always did. Site stays raw.
    void ParseLine(const QString& line);
    QString FormatLine() const;
};

// A list of items that either owns them (a profile) or only refers to items of profiles (a view).
class TUpdateItems {
public:
    TUpdateItems(const TUpdateItems&) = delete;
    TUpdateItems& operator=(const TUpdateItems&) = delete;
    ~TUpdateItems() = default;

    static std::unique_ptr<TUpdateItems> Create();
    static std::unique_ptr<TUpdateItems> CreateView();
    bool OwnsItems() const { return FOwns; }

    QString ProfileName;
    bool AutoUpdateActiveSync = false;
    bool AutoUpdateUSB = false;

    int Count() const { return int(FItems.size()); }
    TUpdateItem& GetItem(int index) const;
    // Appends; an owning list takes the item over, a view only refers to it.
    void Add(TUpdateItem* item);
    void Add(std::unique_ptr<TUpdateItem> item) { Add(item.release()); }
    void Clear() { FItems.clear(); }
    // Removes item index (an owning list frees it).
    void Delete(int index);
    // Removes that very item (an owning list frees it); nothing when it is not in the list.
    void Remove(const TUpdateItem* item);
    // The same for many at once, keeping the order of the others.
    void Remove(const std::vector<TUpdateItem*>& items);
    // -1 when the item is not in the list.
    int IndexOf(const TUpdateItem* item) const;

    // Case-insensitive look-ups; nullptr when none.
    TUpdateItem* FindByTarget(const QString& target) const;
    TUpdateItem* FindBySiteAndDescription(const QString& site, const QString& description) const;
    // ETarvellError "AutoUpdate item for %1 not found" when no item has the target.
    void RemoveByTarget(const QString& target);
    bool HasSite(const QString& site) const;
    // Two items update one file (targets compared case-insensitively).
    bool HasDuplicateTarget() const;
    // Removes every item of the site (the items themselves, whatever their targets), then saves.
    void RemoveSite(const QString& site);
    // The same without saving.
    void EraseSite(const QString& site);
    void SortBySite();
    // Appends every item, by reference, to other (normally a view).
    void AddItemsTo(TUpdateItems& other) const;
    void CopyItemsTo(TUpdateItems& other) const;

    // "AutoUpdateItems", or "AutoUpdateItems." + ProfileName.
    QString SectionName() const;
    // Replaces the items by the stored lines; unreadable lines are skipped.
    void Load();
    // Throws EStoreError when the store cannot be written.
    void Save() const;
    void EraseStorage() const;

private:
    explicit TUpdateItems(bool owns);

    struct TDeleter {
        bool Owns = true;
        void operator()(TUpdateItem* item) const
        {
            if (Owns)
                delete item;
        }
    };
    using TItemPtr = std::unique_ptr<TUpdateItem, TDeleter>;

    bool FOwns;
    std::vector<TItemPtr> FItems;
};

inline constexpr const char* AutoUpdateSection = "AutoUpdateItems";

// --- profile registry -------------------------------------------------------------------------
// The default profile "" is always first; names match case-insensitively.

// ETarvellError "AutoUpdate profile "%1" not found".
TUpdateItems& FindAutoUpdateProfile(const QString& name);
TUpdateItems& GetAutoUpdateProfile(int index);
QString GetAutoUpdateProfileName(int index);
int AutoUpdateProfileCount();
bool AutoUpdateProfileExists(const QString& name);
int AutoUpdateItemCount();
// The name the lists show for the default profile.
QString DefaultProfileCaption();
// EUserError "Profile with name "%1" already exists" for a taken name (also "Default" and the
// name the default profile is shown by, in any case), "Invalid profile name "%1"" for one the
// store or the command line cannot hold. Not saved.
TUpdateItems& AddAutoUpdateProfile(const QString& name);
// Erases the profile's section and frees it.
void DeleteAutoUpdateProfile(int index);
void SaveAutoUpdateProfiles();
// Empties the registry, then loads the default profile and every "AutoUpdateItems.<name>" section.
// A section whose name no profile can have (empty, taken, unusable) is left alone and skipped.
void LoadAutoUpdateProfiles();
void RemoveSiteFromAllProfiles(const QString& site);
// Frees every profile without saving (program end, tests).
void ClearAutoUpdateProfiles();

// A name survives the store's section line and "/PROF:" on the command line (which trims it):
// not empty, no blanks around it, no control characters. Stored profiles load by this rule.
bool IsStoredProfileName(const QString& name);
// A name a new or renamed profile may take: a stored name without '"', which the quoted command
// line of the automatic start cannot carry.
bool IsValidProfileName(const QString& name);
// EUserError "Invalid profile name "%1"" unless IsValidProfileName.
void CheckProfileName(const QString& name);
