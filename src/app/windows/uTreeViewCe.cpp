// The device folder tree.
#include "app/windows/uTreeViewCe.h"

#include "app/windowbase/uDialogs.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uScopeGuard.h"

#include <QHeaderView>

namespace {

constexpr int NodeRole = Qt::UserRole;
// The dummy child carries this value, as the tree's readers expect.
constexpr int DummyValue = 1;

} // namespace

TTreeViewCe::TTreeViewCe(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("TreeViewCe"));
    setHeaderHidden(true);
    setColumnCount(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { RunCommand(this, [&] { CanExpand(item); }); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { SetFolderIcons(item, false); });
}

QString TTreeViewCe::RetrievingText() { return tr("retrieving contents..."); }

TTreeViewCe::TNode* TTreeViewCe::NodeOf(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<TNode*>(item->data(0, NodeRole).value<quintptr>()) : nullptr;
}

bool TTreeViewCe::IsDummy(const QTreeWidgetItem* item)
{
    return item && item->data(0, NodeRole).value<quintptr>() == quintptr(DummyValue);
}

QIcon TTreeViewCe::Image(int index) const
{
    return index >= 0 && size_t(index) < Images.size() ? Images[size_t(index)] : QIcon();
}

void TTreeViewCe::SetFolderIcons(QTreeWidgetItem* item, bool expanded)
{
    if (expanded) {
        item->setIcon(0, Image(FolderExpandedIndex));
        return;
    }
    QIcon icon = Image(FolderIndex);
    if (FolderSelectedIndex != FolderIndex)
        icon.addPixmap(Image(FolderSelectedIndex).pixmap(iconSize().isValid() ? iconSize() : QSize(16, 16)), QIcon::Selected);
    item->setIcon(0, icon);
}

QTreeWidgetItem* TTreeViewCe::AddItem(QTreeWidgetItem* parent, TNode* node)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    // A name that is not UTF-8 or holds direction marks is shown as it is, escaped.
    item->setText(0, VisibleDeviceName(node->Name));
    item->setData(0, NodeRole, QVariant::fromValue(quintptr(node)));
    SetFolderIcons(item, false);
    // Folders not read yet, or read with children, show the dummy until they are expanded.
    if (!node->Read || !node->Children.empty()) {
        auto* dummy = new QTreeWidgetItem(item);
        dummy->setText(0, RetrievingText());
        dummy->setData(0, NodeRole, QVariant::fromValue(quintptr(DummyValue)));
    }
    return item;
}

void TTreeViewCe::Populate(QTreeWidgetItem* item, TNode& node)
{
    if (item) {
        qDeleteAll(item->takeChildren());
        for (const auto& child : node.Children)
            AddItem(item, child.get());
    } else {
        clear();
        for (const auto& child : node.Children)
            AddItem(nullptr, child.get());
    }
}

void TTreeViewCe::FillRoot()
{
    clear();
    FFilled = false;
    FTree.FillRoot();
    Populate(nullptr, FTree.Root());
    FFilled = true;
}

void TTreeViewCe::CanExpand(QTreeWidgetItem* item)
{
    TNode* node = NodeOf(item);
    if (!node || IsDummy(item))
        return;
    if (!FTree.CacheDirs || IsDummy(item->child(0))) {
        {
            // The dummy stays: the next expansion reads again.
            const auto collapse = OnFailure([&] {
                const QSignalBlocker blocker(this);
                item->setExpanded(false);
            });
            FTree.Expand(*node);
        }
        Populate(item, *node);
    }
    SetFolderIcons(item, true);
}

QTreeWidgetItem* TTreeViewCe::ItemOf(TNode* node)
{
    std::vector<TNode*> chain;
    for (TNode* n = node; n && n->Parent; n = n->Parent)
        chain.insert(chain.begin(), n);
    QTreeWidgetItem* item = nullptr;
    for (TNode* n : chain) {
        QTreeWidgetItem* found = nullptr;
        // Without caching the look-up has read these folders again: their old items are gone.
        if (item && (!FTree.CacheDirs || IsDummy(item->child(0))))
            Populate(item, *NodeOf(item));
        const int count = item ? item->childCount() : topLevelItemCount();
        for (int i = 0; i < count && !found; ++i) {
            QTreeWidgetItem* child = item ? item->child(i) : topLevelItem(i);
            if (NodeOf(child) == n)
                found = child;
        }
        if (!found)
            return nullptr;
        if (item) {
            const QSignalBlocker blocker(this);
            item->setExpanded(true);
            SetFolderIcons(item, true);
        }
        item = found;
    }
    return item;
}

QString TTreeViewCe::GetPath() const
{
    const QTreeWidgetItem* item = currentItem();
    if (!item || !item->isSelected() || IsDummy(item))
        return QString();
    return TDeviceFolderTree::PathOf(NodeOf(item));
}

void TTreeViewCe::SetPath(const QString& path)
{
    if (!FFilled)
        FillRoot();
    TNode* node = FTree.Find(path);
    QTreeWidgetItem* item = node ? ItemOf(node) : nullptr;
    if (!item) {
        setCurrentItem(nullptr);
        clearSelection();
        return;
    }
    setCurrentItem(item);
    scrollToItem(item);
}

void TTreeViewCe::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    if (!FFilled)
        RunCommand(this, [this] { FillRoot(); });
}
