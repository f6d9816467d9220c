// A tree of the shell namespace's folders, filled on demand, with the desktop's icons, an "Open"
// context menu and a Directory that selects and reveals a file-system folder.
#pragma once

#include "ui/uShellNamespace.h"

#include <QFlags>
#include <QLabel>
#include <QPointer>
#include <QTreeWidget>

#include <memory>


// What FolderAttributes reports of the selected folder; each stands for one shell attribute bit.
enum class TFolderAttribute : uint32_t {
    faCanCopy = 1u << 0,
    faCanDelete = 1u << 1,
    faCanLink = 1u << 2,
    faCanMove = 1u << 3,
    faCanRename = 1u << 4,
    faDropTarget = 1u << 5,
    faHasPropSheet = 1u << 6,
    faGhosted = 1u << 7,
    faLink = 1u << 8,
    faReadOnly = 1u << 9,
    faShare = 1u << 10,
    faHasSubFolder = 1u << 11,
    faFileSystem = 1u << 12,
    faFileSysAncestor = 1u << 13,
    faFolder = 1u << 14,
    faRemovable = 1u << 15,
    faValidate = 1u << 16,
};
Q_DECLARE_FLAGS(TFolderAttributes, TFolderAttribute)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFolderAttributes)

// The set of shell attribute bits.
TFolderAttributes FolderAttributesOf(uint32_t shellAttributes);

class TQuorShellTreeView : public QTreeWidget {
    Q_OBJECT
public:
    // shell: the namespace shown; none takes the local file system's.
    explicit TQuorShellTreeView(QWidget* parent = nullptr, std::unique_ptr<TShellNamespace> shell = {});
    ~TQuorShellTreeView() override;

    const TShellNamespace& Shell() const { return *FShell; }

    // The file-system path of the current folder; "*" for a virtual one (the top).
    QString Directory() const;
    // Selects and reveals the folder of path when it differs from Directory (case-sensitive);
    // "" stands for "/". A path that names no folder is ignored. Initialises the root first.
    void SetDirectory(const QString& path);
    // A label that always shows Directory; it may go away before the tree.
    void SetDirLabel(QLabel* label);
    QLabel* DirLabel() const { return FDirLabel; }
    // The selected folder's attributes; none without a selection.
    TFolderAttributes FolderAttributes() const;

    // Fills the top node once; ETarvellError "Couldn't find folder" when the namespace is not there.
    virtual void InitShellRoot();
    // Expands the tree down to the current folder, as deep as it can show it, and selects that.
    virtual void SyncToDirectory();
    // The absolute list of node (its own item and those of its ancestors below the top).
    virtual TItemIdList GetNodeIDList(const QTreeWidgetItem* node) const;
    // Reads node's sub-folders unless it has them, and returns the child whose item is wanted
    // (none when wanted is empty or not found).
    virtual QTreeWidgetItem* FillNode(QTreeWidgetItem* node, const QByteArray& wanted = QByteArray());
    // The context menu of node at a screen point ("Open"); never for the top node. True when a
    // command ran.
    virtual bool PopupContextMenu(QTreeWidgetItem* node, const QPoint& screenPoint);

    QTreeWidgetItem* TopNode() const { return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr; }

signals:
    // The current folder changed through the selection.
    void DirectoryChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QByteArray& item, const TShellItemInfo& info);
    void SetIcons(QTreeWidgetItem* node, TShellIcon icon);
    void CanExpand(QTreeWidgetItem* node);
    void Change(QTreeWidgetItem* node);
    void ShowDirectory();

    std::unique_ptr<TShellNamespace> FShell;
    TItemIdList FCurrent;
    QPointer<QLabel> FDirLabel;
    bool FSyncing = false;
};
