// The shell folder tree.
#include "ui/ShTrees.h"

#include "core/uGeneral.h"
#include "ui/uIcons.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>

#include <algorithm>

namespace {

constexpr int ItemRole = Qt::UserRole;
constexpr int FilledRole = Qt::UserRole + 1;
constexpr int IconRole = Qt::UserRole + 2;

constexpr std::pair<TFolderAttribute, uint32_t> AttributeBits[] = {
    { TFolderAttribute::faCanCopy, SfgaoCanCopy },
    { TFolderAttribute::faCanDelete, SfgaoCanDelete },
    { TFolderAttribute::faCanLink, SfgaoCanLink },
    { TFolderAttribute::faCanMove, SfgaoCanMove },
    { TFolderAttribute::faCanRename, SfgaoCanRename },
    { TFolderAttribute::faDropTarget, SfgaoDropTarget },
    { TFolderAttribute::faHasPropSheet, SfgaoHasPropSheet },
    { TFolderAttribute::faGhosted, SfgaoGhosted },
    { TFolderAttribute::faLink, SfgaoLink },
    { TFolderAttribute::faReadOnly, SfgaoReadOnly },
    { TFolderAttribute::faShare, SfgaoShare },
    { TFolderAttribute::faHasSubFolder, SfgaoHasSubFolder },
    { TFolderAttribute::faFileSystem, SfgaoFileSystem },
    { TFolderAttribute::faFileSysAncestor, SfgaoFileSysAncestor },
    { TFolderAttribute::faFolder, SfgaoFolder },
    { TFolderAttribute::faRemovable, SfgaoRemovable },
    { TFolderAttribute::faValidate, SfgaoValidate },
};

QIcon ShellIcon(TShellIcon icon, bool open)
{
    switch (icon) {
    case TShellIcon::Computer:
        return BundledIcon(QStringLiteral("computer"));
    case TShellIcon::Home:
        return BundledIcon(QStringLiteral("user-home"));
    case TShellIcon::Desktop:
        return BundledIcon(QStringLiteral("user-desktop"));
    case TShellIcon::Drive:
        return BundledIcon(QStringLiteral("drive-harddisk"));
    case TShellIcon::Network:
        return BundledIcon(QStringLiteral("network-workgroup"));
    case TShellIcon::Folder:
        break;
    }
    return BundledIcon(open ? QStringLiteral("folder-open") : QStringLiteral("folder"));
}

} // namespace

TFolderAttributes FolderAttributesOf(uint32_t shellAttributes)
{
    TFolderAttributes set;
    for (const auto& [attribute, bit] : AttributeBits)
        if ((shellAttributes & bit) != 0)
            set |= attribute;
    return set;
}

TQuorShellTreeView::TQuorShellTreeView(QWidget* parent, std::unique_ptr<TShellNamespace> shell)
    : QTreeWidget(parent)
    , FShell(shell ? std::move(shell) : std::make_unique<TLocalShellNamespace>())
{
    setObjectName(QStringLiteral("ShellTreeView"));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemExpanded, this, &TQuorShellTreeView::CanExpand);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
        if (previous)
            previous->setIcon(0, ShellIcon(TShellIcon(previous->data(0, IconRole).toInt()), false));
        Change(current);
    });
}

TQuorShellTreeView::~TQuorShellTreeView() = default;

void TQuorShellTreeView::InitShellRoot()
{
    if (TopNode())
        return;
    if (!FShell->Available())
        throw ETarvellError(tr("Couldn't find folder"));
    const TItemIdList root = TItemIdList::Empty();
    // The top's first item: none, the top being the whole namespace.
    if (FCurrent.IsNull())
        FCurrent = root.CopyFirst();
    AddNode(nullptr, QByteArray(), FShell->Info(root));
}

QTreeWidgetItem* TQuorShellTreeView::AddNode(QTreeWidgetItem* parent, const QByteArray& item, const TShellItemInfo& info)
{
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    node->setText(0, info.DisplayName);
    node->setData(0, ItemRole, item);
    node->setData(0, FilledRole, false);
    node->setData(0, IconRole, int(info.Icon));
    node->setIcon(0, ShellIcon(info.Icon, false));
    node->setChildIndicatorPolicy(
        info.HasSubFolders() ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return node;
}

TItemIdList TQuorShellTreeView::GetNodeIDList(const QTreeWidgetItem* node) const
{
    if (!node)
        return TItemIdList();
    std::vector<QByteArray> items;
    for (; node && node->parent(); node = node->parent())
        items.push_back(node->data(0, ItemRole).toByteArray());
    std::reverse(items.begin(), items.end());
    return TItemIdList::FromItems(std::move(items));
}

QTreeWidgetItem* TQuorShellTreeView::FillNode(QTreeWidgetItem* node, const QByteArray& wanted)
{
    if (!node)
        return nullptr;
    if (!node->data(0, FilledRole).toBool()) {
        const TItemIdList list = GetNodeIDList(node);
        std::vector<TShellChild> children;
        // A folder that cannot be read keeps its mark, so that a later expansion tries again.
        if (!FShell->EnumFolders(list, children))
            return nullptr;
        std::stable_sort(children.begin(), children.end(), [this, &list](const TShellChild& a, const TShellChild& b) {
            return FShell->Compare(list, a.Item, b.Item) < 0;
        });
        for (const TShellChild& child : children)
            AddNode(node, child.Item, child.Info);
        node->setData(0, FilledRole, true);
        if (children.empty())
            node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
    if (wanted.isNull())
        return nullptr;
    for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->data(0, ItemRole).toByteArray() == wanted)
            return node->child(i);
    return nullptr;
}

void TQuorShellTreeView::CanExpand(QTreeWidgetItem* node)
{
    if (node->data(0, FilledRole).toBool())
        return;
    const THourglass hourglass;
    FillNode(node);
}

void TQuorShellTreeView::SyncToDirectory()
{
    InitShellRoot();
    const THourglass hourglass;
    const TItemIdList target = FCurrent;
    QTreeWidgetItem* node = TopNode();
    node->setExpanded(true);
    for (int i = 0; i < target.Count(); ++i) {
        QTreeWidgetItem* child = FillNode(node, target.Item(i));
        if (!child)
            break;
        child->setExpanded(true);
        node = child;
    }
    {
        // The walk's own steps are no choice of the user's: one change at its end.
        FSyncing = true;
        setCurrentItem(node);
        FSyncing = false;
    }
    Change(node);
    scrollToItem(node);
}

QString TQuorShellTreeView::Directory() const
{
    const QString path = FShell->PathOf(FCurrent);
    return path.isEmpty() ? QStringLiteral("*") : path;
}

void TQuorShellTreeView::SetDirectory(const QString& path)
{
    if (path == Directory())
        return;
    InitShellRoot();
    const TItemIdList parsed = FShell->Parse(path.isEmpty() ? QStringLiteral("/") : path);
    if (parsed.IsNull())
        return;
    FCurrent = parsed;
    SyncToDirectory();
}

void TQuorShellTreeView::SetDirLabel(QLabel* label)
{
    FDirLabel = label;
    ShowDirectory();
}

void TQuorShellTreeView::ShowDirectory()
{
    if (FDirLabel)
        FDirLabel->setText(Directory());
}

TFolderAttributes TQuorShellTreeView::FolderAttributes() const
{
    const QTreeWidgetItem* node = currentItem();
    if (!node)
        return {};
    return FolderAttributesOf(FShell->Info(GetNodeIDList(node)).Attributes);
}

void TQuorShellTreeView::Change(QTreeWidgetItem* node)
{
    if (FSyncing || !node)
        return;
    FCurrent = GetNodeIDList(node);
    node->setIcon(0, ShellIcon(TShellIcon(node->data(0, IconRole).toInt()), true));
    ShowDirectory();
    emit DirectoryChanged();
}

bool TQuorShellTreeView::PopupContextMenu(QTreeWidgetItem* node, const QPoint& screenPoint)
{
    if (!node || node == TopNode())
        return false;
    QMenu menu(this);
    QAction* open = menu.addAction(tr("Open"));
    if (menu.exec(screenPoint) != open)
        return false;
    return FShell->Open(GetNodeIDList(node));
}

void TQuorShellTreeView::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    if (TopNode())
        return;
    try {
        SyncToDirectory();
    } catch (const ETarvellError&) {
        // Reported where the owner initialised the root; shown empty here.
    }
}

void TQuorShellTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* node = event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
    if (!node)
        return;
    setCurrentItem(node);
    const QRect place = visualItemRect(node);
    PopupContextMenu(node, event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                       : viewport()->mapToGlobal(place.bottomLeft()));
}
