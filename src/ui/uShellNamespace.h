// The shell namespace the folder tree shows: item identifier lists, the namespace interface and
// its implementation over the local file system (a virtual top holding home, desktop, the file
// system and the mounted volumes).
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// An item identifier list: a sequence of items, each one step below the one before, starting at
// the namespace's top. A null list is no list at all; an empty one is the top itself. In the
// shell's byte form every item is a 16-bit byte count (counting its own 2 bytes) and its bytes,
// and a zero count ends the list.
class TItemIdList {
public:
    // The largest item the 16-bit count can carry.
    static constexpr int MaxItemSize = 0xFFFF - 2;

    TItemIdList() = default;
    // The top: no items, only the terminator.
    static TItemIdList Empty();
    // items longer than MaxItemSize make a null list.
    static TItemIdList FromItems(std::vector<QByteArray> items);

    bool IsNull() const { return FNull; }
    // No items (null, or the top).
    bool IsEmpty() const { return FItems.empty(); }
    int Count() const { return int(FItems.size()); }
    const QByteArray& Item(int i) const { return FItems[size_t(i)]; }
    const std::vector<QByteArray>& Items() const { return FItems; }

    // Bytes of the byte form, terminator included; 0 for a null list.
    int Size() const;
    // The list after its first item; null at the terminator (an empty list) and for a null list.
    TItemIdList Next() const;
    // A list of the first item only; null when there is none.
    TItemIdList CopyFirst() const;
    // The items of a followed by those of b; null when either is null.
    static TItemIdList Concat(const TItemIdList& a, const TItemIdList& b);
    // This list with one more item.
    TItemIdList Append(const QByteArray& item) const;
    // The first count items.
    TItemIdList Left(int count) const;

    bool operator==(const TItemIdList& other) const = default;

private:
    bool FNull = true;
    std::vector<QByteArray> FItems;
};

// Shell attribute bits of an item (the SFGAO values the folder attributes map from).
inline constexpr uint32_t SfgaoCanCopy = 0x1;
inline constexpr uint32_t SfgaoCanMove = 0x2;
inline constexpr uint32_t SfgaoCanLink = 0x4;
inline constexpr uint32_t SfgaoCanRename = 0x10;
inline constexpr uint32_t SfgaoCanDelete = 0x20;
inline constexpr uint32_t SfgaoHasPropSheet = 0x40;
inline constexpr uint32_t SfgaoDropTarget = 0x100;
inline constexpr uint32_t SfgaoGhosted = 0x80000;
inline constexpr uint32_t SfgaoLink = 0x10000;
inline constexpr uint32_t SfgaoShare = 0x20000;
inline constexpr uint32_t SfgaoReadOnly = 0x40000;
inline constexpr uint32_t SfgaoValidate = 0x1000000;
inline constexpr uint32_t SfgaoRemovable = 0x2000000;
inline constexpr uint32_t SfgaoFileSysAncestor = 0x10000000;
inline constexpr uint32_t SfgaoFolder = 0x20000000;
inline constexpr uint32_t SfgaoFileSystem = 0x40000000;
inline constexpr uint32_t SfgaoHasSubFolder = 0x80000000u;

// The picture of an item; the tree takes it from the desktop's icon provider.
enum class TShellIcon { Computer, Home, Desktop, Drive, Network, Folder };

struct TShellItemInfo {
    QString DisplayName;
    TShellIcon Icon = TShellIcon::Folder;
    uint32_t Attributes = 0;
    bool HasSubFolders() const { return (Attributes & SfgaoHasSubFolder) != 0; }
};

// One sub-folder as an enumeration returns it.
struct TShellChild {
    QByteArray Item;
    TShellItemInfo Info;
};

// What the folder tree asks of the shell. Lists are absolute (from the top).
class TShellNamespace {
public:
    TShellNamespace() = default;
    TShellNamespace(const TShellNamespace&) = delete;
    TShellNamespace& operator=(const TShellNamespace&) = delete;
    virtual ~TShellNamespace() = default;

    // Whether the namespace is there at all (the folder tree reports "Couldn't find folder").
    virtual bool Available() const = 0;
    // Display name, picture and attributes of folder.
    virtual TShellItemInfo Info(const TItemIdList& folder) const = 0;
    // The sub-folders of folder, hidden ones included, in no particular order; false when the
    // folder cannot be read.
    virtual bool EnumFolders(const TItemIdList& folder, std::vector<TShellChild>& children) const = 0;
    // Order of two children a and b of folder: < 0, 0 or > 0.
    virtual int Compare(const TItemIdList& folder, const QByteArray& a, const QByteArray& b) const = 0;
    // The file-system path of a list; empty for a virtual folder.
    virtual QString PathOf(const TItemIdList& folder) const = 0;
    // The list of a file-system path; null when it names no folder.
    virtual TItemIdList Parse(const QString& path) const = 0;
    // Opens the folder in the desktop's file manager; false when nothing ran.
    virtual bool Open(const TItemIdList& folder) const = 0;
};

// Where the local namespace finds its places.
struct TShellPlaces {
    // The folder shown as "File System" (the root "/" on a running system).
    QString FileSystem = QStringLiteral("/");
    // Empty when there is none.
    QString Home;
    // Shown when it exists.
    QString Desktop;
    // Mount points of volumes, shown under the top in this order.
    QStringList Volumes;
    // Mount points of network and FUSE file systems: a folder at or below one is said to have
    // sub-folders without looking, so that a hung server never blocks the tree.
    QStringList SlowMounts;

    // The running system's: home, desktop, "/" and the volumes mounted under /media, /run/media and
    // /mnt, from the mount table.
    static TShellPlaces Local();
    // Volumes and slow mounts of a mount table in the format of /proc/self/mounts.
    void AddMounts(const QByteArray& mountTable);
};

// The namespace over the local file system. The top is virtual (the desktop and the computer's
// drives at once); its children are the places, in the order home, desktop, file system, volumes.
// Below them come the sub-folders, symbolic links to folders included, sorted by name
// case-insensitively. The first item of a list is its place's path, the others folder names, all in
// the file system's own bytes.
class TLocalShellNamespace : public TShellNamespace {
    Q_DECLARE_TR_FUNCTIONS(ShTrees)
public:
    explicit TLocalShellNamespace(TShellPlaces places = TShellPlaces::Local());

    const TShellPlaces& Places() const { return FPlaces; }

    bool Available() const override;
    TShellItemInfo Info(const TItemIdList& folder) const override;
    bool EnumFolders(const TItemIdList& folder, std::vector<TShellChild>& children) const override;
    int Compare(const TItemIdList& folder, const QByteArray& a, const QByteArray& b) const override;
    QString PathOf(const TItemIdList& folder) const override;
    TItemIdList Parse(const QString& path) const override;
    bool Open(const TItemIdList& folder) const override;

    // Whether path has a sub-folder: stops at the first one, and answers yes without looking at or
    // below a slow mount.
    bool HasSubFolders(const QString& path) const;

private:
    struct TPlace {
        QString Path;
        QString Name;
        TShellIcon Icon;
    };
    std::vector<TPlace> PlaceList() const;
    std::optional<TPlace> PlaceOfItem(const QByteArray& item) const;
    bool OnSlowMount(const QString& path) const;
    uint32_t FolderAttributes(const QString& path, bool isPlace) const;

    TShellPlaces FPlaces;
};
