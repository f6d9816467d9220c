// The rules of the device file browser (places, the listing, the Open decision, Directory Up, the
// format change, delete with side files) and the nodes of the device folder tree, over the device
// layer. Knows no widget; the question to overwrite comes through a callback.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// Pictures of the browser's lists.
inline constexpr int BrowserImageFile = 0;
inline constexpr int BrowserImageFolder = 1;
inline constexpr int BrowserImageDevice = 6;
inline constexpr int BrowserImageMap = 7;

// One place of the places list: a device folder and the name shown for it.
struct TDevicePlace {
    QString Path;
    QString Name;
    int Image = BrowserImageMap;
};

// One entry of the file list.
struct TDeviceListItem {
    QString Name;
    bool IsFolder = false;
    int Image() const { return IsFolder ? BrowserImageFolder : BrowserImageFile; }
};

// Every action that reads or changes the device connects first (ConnectDevice), so the next
// action after the device came back reconnects; a device that stops answering raises EInitRapi
// and leaves the state as it was, so the dialog keeps what the user typed.
class TMobileBrowser {
    Q_DECLARE_TR_FUNCTIONS(TfmMobileBrowser)
public:
    using TAskYesNo = std::function<bool(const QString& text)>;

    explicit TMobileBrowser(bool saveMode);

    bool SaveMode() const { return FSaveMode; }
    // The format list: the writers (save mode) or the readers (open mode), display name and pattern.
    QStringList FormatNames() const;
    // The chosen row of the format list; -1 for none.
    int FormatIndex = -1;
    // The extension of the chosen format (lower case, with its dot); empty with none.
    QString FormatExtension() const;

    // The chosen device path (folder + name).
    QString FileName;
    // Stores path and chooses the format that owns its extension, or none.
    void SetFileName(const QString& path);
    // The reader format the open routine gets: the chosen reader's only when it reads the chosen
    // file's extension, else none (the extension decides).
    QString OpenFormatID() const;

    // The device's root ("My Device"), its documents folder ("My Documents"), then the navigator's
    // maps in the order the device layer finds them. Connects (GetDeviceMaps).
    void FillPlaces();
    const std::vector<TDevicePlace>& Places() const { return FPlaces; }
    // The place whose path is folder (trailing "\" ignored, case-insensitive); -1 when none.
    int PlaceOf(const QString& folder) const;

    // Lists folder (normalised, with a trailing "\"): every sub-folder and every file a reader
    // knows, in the device's order; names that cannot be one path part are left out. A folder the
    // device cannot list (while it answers) is listed empty.
    void List(const QString& folder);
    const QString& CurrentDir() const { return FCurrentDir; }
    const std::vector<TDeviceListItem>& Items() const { return FItems; }

    enum class TOpenResult {
        Entered, // the name is a folder: it is listed now (CurrentDir)
        Stayed, // the user declined to overwrite
        Accepted, // FileName is the choice
    };
    // Open with the typed name, relative to CurrentDir and normalised first. In save mode a name
    // whose extension is not the chosen writer's raises EUserError; an existing file is only
    // replaced when ask agrees.
    TOpenResult Open(const QString& typedName, const TAskYesNo& ask);

    // What the dialog shows stands for these names: a file name or a folder as the fields show
    // it (VisibleDeviceName, VisibleDevicePath) gives back the listed or preset name it shows;
    // anything else was typed and is taken as it is.
    QString NameOf(const QString& shown) const;
    QString FolderOf(const QString& shown) const;

    // Directory Up: the parent of the folder text ("\a\" gives "\", "\" stays "\").
    static QString ParentDir(const QString& folderText);
    // name with its extension replaced by the chosen format's (unchanged without one or when empty).
    QString WithFormatExtension(const QString& name) const;

    // Deletes list item index from the device and then from the list; EDeviceError "Could not
    // delete remote file %1" when the device refuses. With side files the same name with the extensions
    // ".bmp" and ".inf" goes too, failures ignored.
    void Delete(int index, bool withSideFiles);

private:
    bool FSaveMode;
    QString FCurrentDir;
    std::vector<TDevicePlace> FPlaces;
    std::vector<TDeviceListItem> FItems;
};

// The device's folders as a lazily read tree. The invisible root's children are the top-level
// folders. Names that cannot be one path part are left out.
class TDeviceFolderTree {
public:
    struct TNode {
        QString Name;
        TNode* Parent = nullptr;
        // The children were read from the device.
        bool Read = false;
        std::vector<std::unique_ptr<TNode>> Children;
    };

    // Re-read a folder at every expansion when false.
    bool CacheDirs = true;

    // Clears the tree and reads the device's root folders ("\*.*").
    void FillRoot();
    TNode& Root() { return FRoot; }
    // Reads node's folders unless CacheDirs is set and they were read; true when node has children
    // now. A lost device raises EInitRapi and leaves node as it was, so the next expansion retries.
    bool Expand(TNode& node);
    // The names from the top level down joined by "\", without a leading "\"; empty for the root.
    static QString PathOf(const TNode* node);
    // The node of path (one leading and the trailing "\" ignored; case-insensitive), expanding the
    // folders on the way; nullptr when the path is empty or not found.
    TNode* Find(const QString& path);

private:
    // Reads the folders below pattern into node (replacing what it had).
    void ReadInto(TNode& node, const QString& pattern);

    TNode FRoot;
};
