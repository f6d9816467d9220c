// The device's folders as a tree, read folder by folder as the user expands them.
#pragma once

#include "app/logic/uMobileBrowser.h"

#include <QIcon>
#include <QTreeWidget>

#include <vector>

// A node not yet shown has one dummy child ("retrieving contents...", data 1). The tree relies on
// the caller's ConnectDevice and reads the device's root folders at its first show (or the first
// SetPath). A device lost during an expansion shows the device message and keeps the dummy, so
// the next expansion tries again.
class TTreeViewCe : public QTreeWidget {
    Q_OBJECT
public:
    explicit TTreeViewCe(QWidget* parent = nullptr);

    // The selected node's path: names from the top level down joined by "\", no leading "\";
    // empty when nothing is selected.
    QString GetPath() const;
    // Selects the node of path (leading and trailing "\" ignored), expanding folders on the way;
    // selects nothing when the path is empty or not found. Raises the device layer's errors.
    void SetPath(const QString& path);

    // Read a folder once, on its first expansion (true), or at every expansion.
    bool GetCacheDirs() const { return FTree.CacheDirs; }
    void SetCacheDirs(bool cache) { FTree.CacheDirs = cache; }
    // Pictures by index, and the indexes of a folder, a selected and an expanded folder.
    std::vector<QIcon> Images;
    int FolderIndex = 0;
    int FolderSelectedIndex = 0;
    int FolderExpandedIndex = 0;
    // Kept for forms that set it; the tree has no design mode.
    bool DesignTimeActive = false;
    void SetDesignTimeActive(bool active) { DesignTimeActive = active; }

    // Clears the tree and adds the device's root folders. Raises the device layer's errors.
    void FillRoot();
    bool Filled() const { return FFilled; }

    // Text of the dummy child.
    static QString RetrievingText();

protected:
    void showEvent(QShowEvent* event) override;

private:
    using TNode = TDeviceFolderTree::TNode;
    static TNode* NodeOf(const QTreeWidgetItem* item);
    static bool IsDummy(const QTreeWidgetItem* item);
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, TNode* node);
    // Shows node's children under item (or at the top for the root).
    void Populate(QTreeWidgetItem* item, TNode& node);
    void CanExpand(QTreeWidgetItem* item);
    void SetFolderIcons(QTreeWidgetItem* item, bool expanded);
    QIcon Image(int index) const;
    // The item showing node, populating the items on the way.
    QTreeWidgetItem* ItemOf(TNode* node);

    TDeviceFolderTree FTree;
    bool FFilled = false;
};
