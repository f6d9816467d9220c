// Auto-update items, their one-line stored form and the profile registry.
#include "sites/uUpdateItems.h"

#include "core/uGeneral.h"
#include "core/uSettings.h"

#include <QSet>

#include <algorithm>

namespace {

constexpr int DateLength = 14;

struct TProfile {
    QString Name;
    std::unique_ptr<TUpdateItems> Items;
};

std::vector<TProfile>& Registry()
{
    static std::vector<TProfile> profiles;
    return profiles;
}

int IndexOfProfile(const QString& name)
{
    const auto& profiles = Registry();
    for (size_t i = 0; i < profiles.size(); ++i)
        if (profiles[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool SameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Pad(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QChar('0'));
}

int Digits(const QString& text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i)
        value = value * 10 + (text[i].unicode() - '0');
    return value;
}

const QString LineBreaksAndBar = QStringLiteral("|\r\n");
const QString TargetEscapes = QStringLiteral("=|\r\n");

} // namespace

QString FormatItemDate(const QDateTime& date)
{
    if (date.isNull() || !date.isValid())
        return QString();
    const QDateTime local = date.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return Pad(d.day(), 2) + Pad(d.month(), 2) + Pad(d.year(), 4) + Pad(t.hour(), 2) + Pad(t.minute(), 2)
        + Pad(t.second(), 2);
}

QDateTime ParseItemDate(const QString& text)
{
    if (text.isEmpty())
        return QDateTime();
    const auto bad
        = [&text] { return EConvertError(TUpdateItemsTexts::tr("'%1' is not a valid date and time").arg(text)); };
    if (text.size() != DateLength)
        throw bad();
    for (QChar c : text)
        if (c < QChar('0') || c > QChar('9'))
            throw bad();
    const QDate date(Digits(text, 4, 4), Digits(text, 2, 2), Digits(text, 0, 2));
    const QTime time(Digits(text, 8, 2), Digits(text, 10, 2), Digits(text, 12, 2));
    if (!date.isValid() || !time.isValid())
        throw bad();
    return QDateTime(date, time);
}

void TUpdateItem::ParseLine(const QString& line)
{
    const qsizetype eq = line.indexOf(QChar('='));
    Target = eq < 0 ? QString() : UnescapeStoredField(line.left(eq));
    const QString rest = eq < 0 ? line : line.mid(eq + 1);
    const QChar bar('|');
    Site = TokenAt(rest, bar, 0);
    Description = UnescapeStoredField(TokenAt(rest, bar, 1));
    Map = UnescapeStoredField(TokenAt(rest, bar, 2));
    LastChecked = ParseItemDate(TokenAt(rest, bar, 3));
    LastUpdate = ParseItemDate(TokenAt(rest, bar, 4));
    // Lines written before the format ID existed have five fields.
    FormatID = TokenCount(rest, bar) > 5 ? TokenAt(rest, bar, 5) : QString();
}

QString TUpdateItem::FormatLine() const
{
    return EscapeStoredField(Target, TargetEscapes) + QChar('=')
        + QStringList { Site, EscapeStoredField(Description, LineBreaksAndBar), EscapeStoredField(Map, LineBreaksAndBar),
            FormatItemDate(LastChecked), FormatItemDate(LastUpdate), FormatID }
              .join(QChar('|'));
}

TUpdateItems::TUpdateItems(bool owns)
    : FOwns(owns)
{
}

std::unique_ptr<TUpdateItems> TUpdateItems::Create()
{
    return std::unique_ptr<TUpdateItems>(new TUpdateItems(true));
}

std::unique_ptr<TUpdateItems> TUpdateItems::CreateView()
{
    return std::unique_ptr<TUpdateItems>(new TUpdateItems(false));
}

TUpdateItem& TUpdateItems::GetItem(int index) const
{
    AssertOrThrow(index >= 0 && index < Count(), QStringLiteral("Update item index %1 out of range").arg(index),
        "uUpdateItems", __LINE__);
    return *FItems[size_t(index)];
}

void TUpdateItems::Add(TUpdateItem* item)
{
    AssertOrThrow(item != nullptr, QStringLiteral("No update item"), "uUpdateItems", __LINE__);
    FItems.emplace_back(item, TDeleter { FOwns });
}

void TUpdateItems::Delete(int index)
{
    GetItem(index);
    FItems.erase(FItems.begin() + index);
}

TUpdateItem* TUpdateItems::FindByTarget(const QString& target) const
{
    const QString wanted = target.toLower();
    for (const TItemPtr& item : FItems)
        if (item->Target.toLower() == wanted)
            return item.get();
    return nullptr;
}

TUpdateItem* TUpdateItems::FindBySiteAndDescription(const QString& site, const QString& description) const
{
    for (const TItemPtr& item : FItems)
        if (SameText(item->Site, site) && SameText(item->Description, description))
            return item.get();
    return nullptr;
}

void TUpdateItems::Remove(const TUpdateItem* item)
{
    const auto it
        = std::find_if(FItems.begin(), FItems.end(), [item](const TItemPtr& p) { return p.get() == item; });
    if (it != FItems.end())
        FItems.erase(it);
}

void TUpdateItems::Remove(const std::vector<TUpdateItem*>& items)
{
    const QSet<const TUpdateItem*> gone(items.begin(), items.end());
    std::erase_if(FItems, [&gone](const TItemPtr& p) { return gone.contains(p.get()); });
}

int TUpdateItems::IndexOf(const TUpdateItem* item) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == item)
            return int(i);
    return -1;
}

void TUpdateItems::RemoveByTarget(const QString& target)
{
    const TUpdateItem* item = FindByTarget(target);
    if (!item)
        throw ETarvellError(TUpdateItemsTexts::tr("AutoUpdate item for %1 not found").arg(target));
    FItems.erase(std::find_if(FItems.begin(), FItems.end(), [item](const TItemPtr& p) { return p.get() == item; }));
}

bool TUpdateItems::HasSite(const QString& site) const
{
    return std::any_of(
        FItems.begin(), FItems.end(), [&site](const TItemPtr& item) { return SameText(item->Site, site); });
}

bool TUpdateItems::HasDuplicateTarget() const
{
    // FindByTarget's match, once per item: a profile may hold a whole catalogue.
    QSet<QString> targets;
    targets.reserve(qsizetype(FItems.size()));
    for (const TItemPtr& item : FItems) {
        const QString target = item->Target.toLower();
        if (targets.contains(target))
            return true;
        targets.insert(target);
    }
    return false;
}

void TUpdateItems::RemoveSite(const QString& site)
{
    EraseSite(site);
    Save();
}

void TUpdateItems::EraseSite(const QString& site)
{
    // The site's own items: a look-up by target could reach another site's item of that target.
    std::erase_if(FItems, [&site](const TItemPtr& item) { return SameText(item->Site, site); });
}

void TUpdateItems::SortBySite()
{
    std::stable_sort(FItems.begin(), FItems.end(),
        [](const TItemPtr& a, const TItemPtr& b) { return a->Site.compare(b->Site, Qt::CaseInsensitive) < 0; });
}

void TUpdateItems::AddItemsTo(TUpdateItems& other) const
{
    // An owning list would free items that belong to this one.
    AssertOrThrow(!other.FOwns, QStringLiteral("Items can only be shared with a view"), "uUpdateItems", __LINE__);
    for (const TItemPtr& item : FItems)
        other.Add(item.get());
}

void TUpdateItems::CopyItemsTo(TUpdateItems& other) const
{
    other.Clear();
    AddItemsTo(other);
}

QString TUpdateItems::SectionName() const
{
    const QString base = QLatin1String(AutoUpdateSection);
    return ProfileName.isEmpty() ? base : base + QChar('.') + ProfileName;
}

void TUpdateItems::Load()
{
    Clear();
    const auto store = CreateSettingsStore();
    const QString section = SectionName();
    QStringList lines;
    ReadSectionList(*store, section, lines, false);
    for (const QString& line : lines) {
        auto item = std::make_unique<TUpdateItem>();
        try {
            item->ParseLine(line);
        } catch (const EConvertError&) {
            continue;
        }
        Add(std::move(item));
    }
    AutoUpdateActiveSync = store->ReadBool(section, QStringLiteral("AutoUpdateActiveSync"), false);
    AutoUpdateUSB = store->ReadBool(section, QStringLiteral("AutoUpdateUSB"), false);
}

void TUpdateItems::Save() const
{
    QStringList lines;
    for (const TItemPtr& item : FItems)
        lines.append(item->FormatLine());
    const auto store = CreateSettingsStore();
    const QString section = SectionName();
    // One replacement of the store file: a failed save keeps the previous profile whole.
    store->BeginUpdate();
    WriteSectionList(*store, section, lines);
    store->WriteInteger(section, QStringLiteral("version"), 300);
    store->WriteBool(section, QStringLiteral("AutoUpdateActiveSync"), AutoUpdateActiveSync);
    store->WriteBool(section, QStringLiteral("AutoUpdateUSB"), AutoUpdateUSB);
    store->EndUpdate();
}

void TUpdateItems::EraseStorage() const
{
    const auto store = CreateSettingsStore();
    if (store->SectionExists(SectionName()))
        store->EraseSection(SectionName());
}

TUpdateItems& FindAutoUpdateProfile(const QString& name)
{
    const int i = IndexOfProfile(name);
    if (i < 0)
        throw ETarvellError(TUpdateItemsTexts::tr("AutoUpdate profile \"%1\" not found").arg(name));
    return *Registry()[size_t(i)].Items;
}

TUpdateItems& GetAutoUpdateProfile(int index)
{
    AssertOrThrow(index >= 0 && index < AutoUpdateProfileCount(),
        QStringLiteral("Profile index %1 out of range").arg(index), "uUpdateItems", __LINE__);
    return *Registry()[size_t(index)].Items;
}

QString GetAutoUpdateProfileName(int index)
{
    return GetAutoUpdateProfile(index).ProfileName;
}

int AutoUpdateProfileCount()
{
    return int(Registry().size());
}

bool AutoUpdateProfileExists(const QString& name)
{
    return IndexOfProfile(name) >= 0;
}

int AutoUpdateItemCount()
{
    int n = 0;
    for (const TProfile& p : Registry())
        n += p.Items->Count();
    return n;
}

QString DefaultProfileCaption()
{
    return TUpdateItemsTexts::tr("Default");
}

bool IsStoredProfileName(const QString& name)
{
    if (name.isEmpty() || name.trimmed() != name)
        return false;
    return std::none_of(name.begin(), name.end(),
        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control; });
}

bool IsValidProfileName(const QString& name)
{
    // The automatic start passes names in double quotes, which cannot hold one.
    return IsStoredProfileName(name) && !name.contains(QChar('"'));
}

void CheckProfileName(const QString& name)
{
    if (!IsValidProfileName(name))
        throw EUserError(TUpdateItemsTexts::tr("Invalid profile name \"%1\"").arg(name));
}

namespace {

TUpdateItems& Register(const QString& name)
{
    if (AutoUpdateProfileExists(name))
        throw EUserError(TUpdateItemsTexts::tr("Profile with name \"%1\" already exists").arg(name));
    auto items = TUpdateItems::Create();
    items->ProfileName = name;
    TUpdateItems& result = *items;
    Registry().push_back({ name, std::move(items) });
    return result;
}

} // namespace

TUpdateItems& AddAutoUpdateProfile(const QString& name)
{
    // The default profile is listed by that name: a second one would show twice.
    if (AutoUpdateProfileExists(name) || SameText(name, QStringLiteral("Default"))
        || SameText(name, DefaultProfileCaption()))
        throw EUserError(TUpdateItemsTexts::tr("Profile with name \"%1\" already exists").arg(name));
    CheckProfileName(name);
    return Register(name);
}

void DeleteAutoUpdateProfile(int index)
{
    TUpdateItems& profile = GetAutoUpdateProfile(index);
    profile.EraseStorage();
    Registry().erase(Registry().begin() + index);
}

void SaveAutoUpdateProfiles()
{
    for (const TProfile& p : Registry())
        p.Items->Save();
}

void LoadAutoUpdateProfiles()
{
    ClearAutoUpdateProfiles();
    Register(QString()).Load();
    const QString prefix = QLatin1String(AutoUpdateSection) + QChar('.');
    const QStringList sections = CreateSettingsStore()->ReadSections();
    for (const QString& section : sections) {
        if (!section.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString name = section.mid(prefix.size());
        // A hand-edited store must not stop the program from starting.
        if (!IsStoredProfileName(name) || AutoUpdateProfileExists(name))
            continue;
        Register(name).Load();
    }
}

void RemoveSiteFromAllProfiles(const QString& site)
{
    for (const TProfile& p : Registry())
        p.Items->RemoveSite(site);
}

void ClearAutoUpdateProfiles()
{
    Registry().clear();
}
