// The duplicate finder.
#include "app/fFindDups.h"

#include "app/fMDIChild.h"
#include "app/fProgress.h"
#include "app/uEntriesModel.h"
#include "app/uChildDocument.h"
#include "app/uDialogs.h"
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
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

TDupTreeModel::TDupTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

void TDupTreeModel::SetGroups(const TEntries* entries, std::vector<TDupGroup> groups)
{
    beginResetModel();
    FEntries = entries;
    FGroups = std::move(groups);
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
    endResetModel();
}

int TDupTreeModel::PoiIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return -1;
    if (index.internalId() == 0)
        return FGroups[size_t(index.row())].Root;
    return FGroups[size_t(index.internalId() - 1)].Members[size_t(index.row())];
}

QModelIndex TDupTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return QModelIndex();
    if (!parent.isValid())
        return row < int(FGroups.size()) ? createIndex(row, 0, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0 || parent.row() >= int(FGroups.size()))
        return QModelIndex();
    if (row >= int(FGroups[size_t(parent.row())].Members.size()))
        return QModelIndex();
    return createIndex(row, 0, quintptr(parent.row()) + 1);
}

QModelIndex TDupTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return QModelIndex();
    return createIndex(int(child.internalId() - 1), 0, quintptr(0));
}

int TDupTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(FGroups.size());
    if (parent.internalId() != 0 || parent.column() != 0)
        return 0;
    return int(FGroups[size_t(parent.row())].Members.size());
}

int TDupTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant TDupTreeModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || !FEntries)
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

    TreeView1 = new QTreeView(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setModel(FModel);
    TreeView1->setHeaderHidden(true);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TreeView1->installEventFilter(this);

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

    auto* middle = new QHBoxLayout;
    middle->addWidget(TreeView1, 1);
    middle->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);

    connect(buFind, &QPushButton::clicked, acFind, &QAction::trigger);
    connect(acFind, &QAction::triggered, this, [this] { Run([this] { acFindExecute(); }); });
    connect(acCopy, &QAction::triggered, this, [this] { Run([this] { acCopyExecute(); }); });
    connect(acCut, &QAction::triggered, this, [this] { Run([this] { acCutExecute(); }); });
    connect(acDelete, &QAction::triggered, this, [this] { Run([this] { acDeleteExecute(); }); });
    connect(buClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
    connect(TreeView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
    Retranslate();
    UpdateActions();
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
    TreeView1->setUpdatesEnabled(false);
    FModel->SetGroups(Entries, std::move(groups));
    TreeView1->expandAll();
    TreeView1->setUpdatesEnabled(true);
    if (none && !search.Cancelled())
        ShowInfo(this, tr("No duplicate items found"));
}

void TfmFindDups::SelectAllDuplicates()
{
    QItemSelection selection;
    for (int g = 0; g < FModel->rowCount(); ++g) {
        const QModelIndex group = FModel->index(g, 0);
        const int members = FModel->rowCount(group);
        if (members > 0)
            selection.append(QItemSelectionRange(FModel->index(0, 0, group), FModel->index(members - 1, 0, group)));
    }
    TreeView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TfmFindDups::SelectNone()
{
    TreeView1->selectionModel()->clearSelection();
}

std::vector<int> TfmFindDups::SelectedDuplicates() const
{
    // Level-1 nodes in tree order: by group, then by row.
    std::vector<std::pair<int, int>> nodes;
    for (const QItemSelectionRange& range : TreeView1->selectionModel()->selection()) {
        if (!range.parent().isValid())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            nodes.emplace_back(range.parent().row(), row);
    }
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    std::vector<int> indices;
    indices.reserve(nodes.size());
    for (const auto& [group, row] : nodes)
        indices.push_back(FModel->Groups()[size_t(group)].Members[size_t(row)]);
    return indices;
}

void TfmFindDups::UpdateActions()
{
    bool any = false;
    for (const QItemSelectionRange& range : TreeView1->selectionModel()->selection())
        if (range.parent().isValid()) {
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
    TreeView1->setUpdatesEnabled(false);
    Entries->DeleteIndices(indices);
    FModel->RemoveDeleted(indices);
    TreeView1->expandAll();
    TreeView1->setUpdatesEnabled(true);
    if (OnEntriesDeleted)
        OnEntriesDeleted();
}

void ShowFindDups(TMDIChild& child)
{
    TfmFindDups dialog(&child);
    dialog.Entries = &child.Entries();
    dialog.OnEntriesDeleted = [&child] {
        child.Model()->Reload();
        child.Refresh();
        child.UpdateActions();
    };
    dialog.exec();
}
