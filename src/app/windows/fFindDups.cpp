// The duplicate finder.
#include "app/windows/fFindDups.h"

#include "app/windows/fMDIChild.h"
#include "app/windowbase/fProgress.h"
#include "app/logic/uEntriesModel.h"
#include "app/logic/uChildDocument.h"
#include "app/windowbase/uDialogs.h"
#include "core/uCodePage.h"
#include "core/uSettings.h"
#include "model/uModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// Draws the duplicates indented under the first POI of their group.
class TDupNodeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented = option;
        if (index.data(TDupTreeModel::LevelRole).toInt() == 1)
            indented.rect.adjust(20, 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
};

} // namespace

TDupTreeModel::TDupTreeModel(QObject* parent)
    : QAbstractListModel(parent)
    , FStarts { 0 }
{
}

void TDupTreeModel::Renumber()
{
    FStarts.assign(1, 0);
    FStarts.reserve(FGroups.size() + 1);
    for (const TDupGroup& group : FGroups)
        FStarts.push_back(FStarts.back() + 1 + int(group.Members.size()));
}

void TDupTreeModel::SetGroups(const TEntries* entries, std::vector<TDupGroup> groups)
{
    beginResetModel();
    FEntries = entries;
    FGroups = std::move(groups);
    Renumber();
    endResetModel();
}

void TDupTreeModel::RemoveDeleted(const std::vector<int>& deleted)
{
    auto renumber = [&](int index) {
        return index - int(std::lower_bound(deleted.begin(), deleted.end(), index) - deleted.begin());
    };
    beginResetModel();
    for (TDupGroup& group : FGroups) {
        auto kept = std::remove_if(group.Members.begin(), group.Members.end(),
            [&](int member) { return std::binary_search(deleted.begin(), deleted.end(), member); });
        group.Members.erase(kept, group.Members.end());
        group.Root = renumber(group.Root);
        for (int& member : group.Members)
            member = renumber(member);
    }
    Renumber();
    endResetModel();
}

std::pair<int, int> TDupTreeModel::NodeAt(int row) const
{
    if (row < 0 || row >= FStarts.back())
        return { -1, -1 };
    const int group = int(std::upper_bound(FStarts.begin(), FStarts.end(), row) - FStarts.begin()) - 1;
    return { group, row - FStarts[size_t(group)] - 1 };
}

int TDupTreeModel::PoiIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return -1;
    const auto [group, member] = NodeAt(index.row());
    if (group < 0)
        return -1;
    const TDupGroup& g = FGroups[size_t(group)];
    return member < 0 ? g.Root : g.Members[size_t(member)];
}

int TDupTreeModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FStarts.back();
}

QVariant TDupTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !FEntries)
        return QVariant();
    if (role == LevelRole)
        return IsMember(index) ? 1 : 0;
    if (role != Qt::DisplayRole)
        return QVariant();
    const int poi = PoiIndex(index);
    if (poi < 0 || poi >= FEntries->Count())
        return QVariant();
    return AnsiToUnicode((*FEntries)[poi].GetDescription());
}

// --- the dialog --------------------------------------------------------------------------------

TfmFindDups::TfmFindDups(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("TfmFindDups"));
    resize(420, 460);
    FModel = new TDupTreeModel(this);
    QHBoxLayout* top = CreateToleranceRow();
    TreeView1 = new QTreeView(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setModel(FModel);
    TreeView1->setItemDelegate(new TDupNodeDelegate(TreeView1));
    TreeView1->setRootIsDecorated(false);
    TreeView1->setHeaderHidden(true);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TreeView1->installEventFilter(this);

    QVBoxLayout* side = CreateCommandColumn();
    auto* middle = new QHBoxLayout;
    middle->addWidget(TreeView1, 1);
    middle->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    ConnectSignals();
    Retranslate();
    UpdateActions();
}

QHBoxLayout* TfmFindDups::CreateToleranceRow()
{
    auto* top = new QHBoxLayout;
    FToleranceLabel = new QLabel(this);
    edTolerance = new QLineEdit(this);
    edTolerance->setObjectName(QStringLiteral("edTolerance"));
    edTolerance->setMaximumWidth(60);
    edTolerance->setText(QString::number(GetSettings().FindDupsTolerance));
    FMetresLabel = new QLabel(this);
    acFind = new QAction(this);
    buFind = new QPushButton(this);
    buFind->setObjectName(QStringLiteral("buFind"));
    buFind->setDefault(true);
    top->addWidget(FToleranceLabel);
    top->addWidget(edTolerance);
    top->addWidget(FMetresLabel);
    top->addWidget(buFind);
    top->addStretch();
    return top;
}

QVBoxLayout* TfmFindDups::CreateCommandColumn()
{
    acCopy = new QAction(this);
    acCopy->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
    acCut = new QAction(this);
    acCut->setShortcut(QKeySequence(QStringLiteral("Ctrl+X")));
    acDelete = new QAction(this);
    acDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    auto* side = new QVBoxLayout;
    int b = 0;
    for (QAction* action : { acCopy, acCut, acDelete }) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        auto* button = new QToolButton(this);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumWidth(90);
        FButtons[b++] = button;
        side->addWidget(button);
    }
    side->addSpacing(12);
    laSelectAll = new QLabel(this);
    laSelectNone = new QLabel(this);
    for (QLabel* link : { laSelectAll, laSelectNone }) {
        link->setCursor(Qt::PointingHandCursor);
        link->setStyleSheet(QStringLiteral("color: palette(link)"));
        link->installEventFilter(this);
        side->addWidget(link);
    }
    side->addStretch();
    buClose = new QPushButton(this);
    buClose->setObjectName(QStringLiteral("buClose"));
    side->addWidget(buClose);
    return side;
}

void TfmFindDups::ConnectSignals()
{
    connect(buFind, &QPushButton::clicked, acFind, &QAction::trigger);
    connect(acFind, &QAction::triggered, this, [this] { Run([this] { acFindExecute(); }); });
    connect(acCopy, &QAction::triggered, this, [this] { Run([this] { acCopyExecute(); }); });
    connect(acCut, &QAction::triggered, this, [this] { Run([this] { acCutExecute(); }); });
    connect(acDelete, &QAction::triggered, this, [this] { Run([this] { acDeleteExecute(); }); });
    connect(buClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
    connect(TreeView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
}

void TfmFindDups::Retranslate()
{
    setWindowTitle(tr("Find Duplicates"));
    FToleranceLabel->setText(tr("Tolerance: "));
    FMetresLabel->setText(tr("m "));
    acFind->setText(tr("Find"));
    acFind->setToolTip(tr("Find duplicates"));
    buFind->setText(acFind->text());
    buFind->setToolTip(acFind->toolTip());
    acCut->setText(tr("Cut"));
    acCopy->setText(tr("Copy"));
    acDelete->setText(tr("Delete"));
    laSelectAll->setText(tr("Select All"));
    laSelectAll->setToolTip(tr("Select all duplicated (Ctrl + A)"));
    laSelectNone->setText(tr("Select None"));
    laSelectNone->setToolTip(tr("Select none (Ctrl + N)"));
    buClose->setText(tr("Close"));
}

void TfmFindDups::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
}

bool TfmFindDups::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == laSelectAll || watched == laSelectNone) {
        auto* link = static_cast<QLabel*>(watched);
        if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
            QFont font = link->font();
            font.setUnderline(event->type() == QEvent::Enter);
            link->setFont(font);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            if (link == laSelectAll)
                SelectAllDuplicates();
            else
                SelectNone();
            return true;
        }
    } else if (watched == TreeView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && (key->key() == Qt::Key_A || key->key() == Qt::Key_N)) {
            if (key->key() == Qt::Key_A)
                SelectAllDuplicates();
            else
                SelectNone();
            return true;
        }
    }
    return TTarvellModalForm::eventFilter(watched, event);
}

double TfmFindDups::Tolerance() const
{
    const QString text = edTolerance->text().trimmed();
    bool ok = false;
    double value = QLocale().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        throw EUserError(tr("Please enter the tolerance as a whole number of metres"));
    return value;
}

void TfmFindDups::acFindExecute()
{
    const double tolerance = Tolerance();
    GetSettings().FindDupsTolerance = int(std::clamp(std::trunc(tolerance), 0.0, double(INT_MAX)));
    AssertOrThrow(Entries != nullptr, QStringLiteral("Entries not set"), "fFindDups", __LINE__);
    if (Entries->Count() == 0) {
        FModel->SetGroups(Entries, {});
        ShowInfo(this, tr("No duplicate items found"));
        return;
    }
    TfmProgress progress(this);
    progress.SetText(tr("Searching for duplicates..."));
    progress.CentreOn(this);
    progress.OnExecute = [this](TfmProgress& dialog) {
        Search(&dialog);
        dialog.done(QDialog::Accepted);
    };
    progress.ShowModal();
    TreeView1->setFocus();
}

void TfmFindDups::Search(TfmProgress* progress)
{
    AssertOrThrow(Entries != nullptr, QStringLiteral("Entries not set"), "fFindDups", __LINE__);
    const double tolerance = Tolerance();
    THourglass hourglass;
    std::vector<TDupPoint> points(size_t(Entries->Count()));
    for (int i = 0; i < Entries->Count(); ++i) {
        const TEntry& entry = (*Entries)[i];
        points[size_t(i)] = { entry.GetLatitude(), entry.GetLongitude() };
    }
    TDuplicateSearch search;
    if (progress)
        search.OnProgress = [progress](double percent) {
            progress->SetPositionFloat(percent);
            QApplication::processEvents();
            return progress->Cancelled;
        };
    std::vector<TDupGroup> groups = search.Run(points, tolerance);
    const bool none = groups.empty();
    FModel->SetGroups(Entries, std::move(groups));
    if (none && !search.Cancelled())
        ShowInfo(this, tr("No duplicate items found"));
}

void TfmFindDups::SelectAllDuplicates()
{
    QItemSelection selection;
    for (int g = 0; g < int(FModel->Groups().size()); ++g) {
        const int members = int(FModel->Groups()[size_t(g)].Members.size());
        if (members > 0) {
            const int first = FModel->GroupRow(g) + 1;
            selection.append(QItemSelectionRange(FModel->index(first), FModel->index(first + members - 1)));
        }
    }
    TreeView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TfmFindDups::SelectNone()
{
    TreeView1->selectionModel()->clearSelection();
}

std::vector<int> TfmFindDups::SelectedDuplicates() const
{
    // Level-1 nodes in tree order, which is row order.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : TreeView1->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<int> indices;
    indices.reserve(rows.size());
    for (int row : rows) {
        const auto [group, member] = FModel->NodeAt(row);
        if (group >= 0 && member >= 0)
            indices.push_back(FModel->Groups()[size_t(group)].Members[size_t(member)]);
    }
    return indices;
}

void TfmFindDups::UpdateActions()
{
    bool any = false;
    for (const QItemSelectionRange& range : TreeView1->selectionModel()->selection())
        if (range.bottom() > range.top() || FModel->NodeAt(range.top()).second >= 0) {
            any = true;
            break;
        }
    for (QAction* action : { acCut, acCopy, acDelete })
        action->setEnabled(any);
}

void TfmFindDups::acCopyExecute()
{
    const std::vector<int> indices = SelectedDuplicates();
    if (indices.empty() || !Entries)
        return;
    QApplication::clipboard()->setText(EntriesToGpxText(*Entries, indices));
}

void TfmFindDups::acCutExecute()
{
    acCopyExecute();
    acDeleteExecute();
}

void TfmFindDups::acDeleteExecute()
{
    std::vector<int> indices = SelectedDuplicates();
    if (indices.empty() || !Entries)
        return;
    std::sort(indices.begin(), indices.end());
    Entries->DeleteIndices(indices);
    FModel->RemoveDeleted(indices);
    if (OnEntriesDeleted)
        OnEntriesDeleted();
}

void ShowFindDups(TMDIChild& child)
{
    TfmFindDups dialog(&child);
    dialog.Entries = &child.Entries();
    // The list tells the child's model of the delete itself (one reset).
    dialog.OnEntriesDeleted = [&child] {
        child.Refresh();
        child.UpdateActions();
    };
    dialog.exec();
}
