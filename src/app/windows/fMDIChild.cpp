// The window of one POI file.
#include "app/windows/fMDIChild.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fCommit.h"
#include "app/windowbase/fProgress.h"
#include "app/windowbase/uDialogs.h"
#include "app/logic/uEntriesModel.h"
#include "core/uCodePage.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uScopeGuard.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "maps/fMapEmbedHtml.h"
#include "maps/fMapInternal.h"
#include "maps/fMapPointEmbed.h"
#include "model/uModel.h"
#include "plugins/loader/PluginUtils.h"
#include "ui/uIcons.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <unordered_set>

namespace {

// Typing stops at this length; texts set by the program are shown whole.
constexpr int DescriptionTypingLimit = 64;
constexpr int CoordinateColumnWidth = 92;
constexpr int MapPaneMinimum = 134;
// What the list keeps beside a map pane that was stored wider: its three columns, the description
// as wide as a coordinate column at least. A window too narrow for that and the map's minimum
// gives the map its minimum and the list the rest.
constexpr int ListPaneUsable = 3 * CoordinateColumnWidth;
// Tabs 0 and 1 are the internal map and the desktop map application; plug-in tabs follow.
constexpr int FirstPluginTab = 2;

// Whether the field would type the key's text: Ctrl and Ctrl+Shift keys are commands (Select All,
// Undo...), whatever text the platform gives them; Ctrl with Alt can be AltGr and types.
bool IsTypedText(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers held = key.modifiers() & ~Qt::KeypadModifier;
    if (held == Qt::ControlModifier || held == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    return !key.text().isEmpty() && key.text().at(0).isPrint();
}

std::map<quint64, TMDIChild*>& LiveChildren()
{
    static std::map<quint64, TMDIChild*> children;
    return children;
}

quint64 NextKey()
{
    static quint64 key = 0;
    return ++key;
}

} // namespace

// --- the list ------------------------------------------------------------------------------------

namespace {

void AnswerDrag(QDragMoveEvent* event, bool accepted)
{
    if (accepted) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

// The map tabs: a plug-in's caption gets at most this many pixels, elided, whole in its tool tip.
class TMapTabBar : public QTabBar {
public:
    static constexpr int MaxTabWidth = 200;
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        size.setWidth(std::min(size.width(), MaxTabWidth));
        return size;
    }
};

// Keeps the list refreshed after a command, also when it fails.
struct TRefreshAfter {
    TMDIChild* Child;
    ~TRefreshAfter() { Child->Refresh(); }
};


} // namespace

QModelIndex TEntriesView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // The table moves between columns on Home and End; a list of POIs moves between rows.
    if ((cursorAction == MoveHome || cursorAction == MoveEnd) && model() && model()->rowCount() > 0) {
        const int column = std::max(currentIndex().column(), 0);
        return model()->index(cursorAction == MoveHome ? 0 : model()->rowCount() - 1, column);
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

QItemSelectionModel::SelectionFlags TEntriesView::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    // Ctrl+Home and Ctrl+End select the row they reach as Home and End do, and extend the
    // selection with Shift; the table would only move the focus there.
    if (event && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) && (key->modifiers() & Qt::ControlModifier))
            return ((key->modifiers() & Qt::ShiftModifier) ? QItemSelectionModel::SelectCurrent : QItemSelectionModel::ClearAndSelect)
                | QItemSelectionModel::Rows;
    }
    return QTableView::selectionCommand(index, event);
}

void TEntriesView::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    if (OnMouseReleased)
        OnMouseReleased();
}

void TEntriesView::keyReleaseEvent(QKeyEvent* event)
{
    QTableView::keyReleaseEvent(event);
    if (OnKeyReleased)
        OnKeyReleased(event);
}

void TEntriesView::dragEnterEvent(QDragEnterEvent* event) { AnswerDrag(event, AcceptsDrop && AcceptsDrop(event->mimeData())); }

void TEntriesView::dragMoveEvent(QDragMoveEvent* event) { AnswerDrag(event, AcceptsDrop && AcceptsDrop(event->mimeData())); }

void TEntriesView::dropEvent(QDropEvent* event)
{
    if (!AcceptsDrop || !AcceptsDrop(event->mimeData()) || !OnDrop) {
        event->ignore();
        return;
    }
    // Copy as far as Qt knows: the window moves POIs itself, the view must not remove rows.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    OnDrop(event);
}

// --- creation ------------------------------------------------------------------------------------

TMDIChild* TMDIChild::FromKey(quint64 key)
{
    const auto it = LiveChildren().find(key);
    return it == LiveChildren().end() ? nullptr : it->second;
}

TMDIChild::TMDIChild(TChildHost& host, QWidget* parent)
    : TTarvellForm(parent)
    , FHost(host)
    , FKey(NextKey())
{
    setObjectName(QStringLiteral("MDIChild"));
    LiveChildren()[FKey] = this;
    CreateActions();
    CreateLayout();
    CreatePopupMenu();
    ConnectSignals();
    resize(600, 400);
    Retranslate();
    FMapPanelWidth = std::max(MapPaneMinimum, GetSettings().MapPanelWidth);
    RunCommand(this, [this] {
        if (GetSettings().MapVisible)
            ShowMapPane();
        else
            acCloseMapExecute();
    });
    RefreshView(false);
    UpdateActions();
}

void TMDIChild::CreateLayout()
{
    spMap = new QSplitter(Qt::Horizontal, this);
    spMap->setObjectName(QStringLiteral("spMap"));
    spMap->setChildrenCollapsible(false);
    spMap->installEventFilter(this);
    setCentralWidget(spMap);
    CreateMapPane();
    auto* central = new QWidget(spMap);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    spMap->addWidget(central);
    // The pane keeps its width as the window grows.
    spMap->setStretchFactor(0, 0);
    spMap->setStretchFactor(1, 1);
    ToolBar2 = new QToolBar(central);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->addAction(Action(TAction::acOpenMap));
    ToolBar2->addAction(Action(TAction::acInsert));
    ToolBar2->addAction(Action(TAction::acDelete));
    layout->addWidget(ToolBar2);

    FEditRow = new QWidget(central);
    CreateEditRow(FEditRow);
    layout->addWidget(FEditRow);
    CreateList(central);
    layout->addWidget(ListView1, 1);
}

void TMDIChild::CreateList(QWidget* parent)
{
    ListView1 = new TEntriesView(parent);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    FModel = new TEntriesModel(FDocument.Entries, this);
    FModel->SourceKey = FKey;
    ListView1->setModel(FModel);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setShowGrid(false);
    ListView1->setWordWrap(false);
    ListView1->setSortingEnabled(false);
    ListView1->verticalHeader()->hide();
    // Fixed heights keep a list of a million POIs as quick as a short one.
    ListView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ListView1->verticalHeader()->setDefaultSectionSize(ListView1->fontMetrics().height() + 4);
    ListView1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ListView1->horizontalHeader()->setSectionsClickable(true);
    ListView1->horizontalHeader()->setHighlightSections(false);
    ListView1->horizontalHeader()->resizeSection(1, CoordinateColumnWidth);
    ListView1->horizontalHeader()->resizeSection(2, CoordinateColumnWidth);
    ListView1->setDragEnabled(true);
    ListView1->setAcceptDrops(true);
    ListView1->setDragDropMode(QAbstractItemView::DragDrop);
    ListView1->setDefaultDropAction(Qt::CopyAction);
    ListView1->setDropIndicatorShown(true);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->installEventFilter(this);
    ListView1->viewport()->installEventFilter(this);
    ListView1->verticalScrollBar()->installEventFilter(this);
}

void TMDIChild::CreatePopupMenu()
{
    PopupActionBarEx1 = new QMenu(this);
    PopupActionBarEx1->setObjectName(QStringLiteral("PopupActionBarEx1"));
    PopupActionBarEx1->addAction(Action(TAction::acPluginGoto));
    PopupActionBarEx1->setDefaultAction(Action(TAction::acPluginGoto));
    PopupActionBarEx1->addAction(Action(TAction::acPluginAdd));
    miShowIn = new QMenu(this);
    miShowIn->setObjectName(QStringLiteral("miShowIn"));
    Action(TAction::actShowIn)->setMenu(miShowIn);
    miAddTo = new QMenu(this);
    miAddTo->setObjectName(QStringLiteral("miAddTo"));
    Action(TAction::actAddTo)->setMenu(miAddTo);
    PopupActionBarEx1->addAction(Action(TAction::actShowIn));
    PopupActionBarEx1->addAction(Action(TAction::actAddTo));
    PopupActionBarEx1->addSeparator();
    PopupActionBarEx1->addAction(Action(TAction::acCommit));
    PopupActionBarEx1->addSeparator();
    PopupActionBarEx1->addAction(Action(TAction::acInsert));
    PopupActionBarEx1->addAction(Action(TAction::acDelete));
    PopupActionBarEx1->addAction(Action(TAction::acRenameSelected));
}

void TMDIChild::ConnectSignals()
{
    ListView1->AcceptsDrop = [this](const QMimeData* data) { return AcceptsDrop(data); };
    ListView1->OnDrop = [this](QDropEvent* event) { DropOn(event); };
    ListView1->OnMouseReleased = [this] { PushSelectionToMap(); };
    ListView1->OnKeyReleased = [this](QKeyEvent* key) { ListKeyReleased(key); };
    connect(PopupActionBarEx1, &QMenu::aboutToShow, this, [this] {
        UpdateActions();
        FillPluginMenus();
    });
    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this] {
        if (!EditingCaption())
            Action(TAction::acPluginGoto)->trigger();
    });
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The menu takes the mouse release: the right-click's selection reaches the map here.
        PushSelectionToMap();
        PopupActionBarEx1->popup(ListView1->viewport()->mapToGlobal(at));
    });

    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!BulkSelecting)
            ShowEntryInEdits();
        UpdateActions();
    });
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!BulkSelecting)
            ShowEntryInEdits();
    });
    connect(ListView1->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        Run([this, column] {
            FDocument.SortByColumn(column);
            AfterBulkChange();
        });
    });
    connect(FModel, &QAbstractItemModel::dataChanged, this, [this] { Refresh(); });
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
}

TMDIChild::~TMDIChild()
{
    FDestroying = true;
    disconnect(qApp, nullptr, this, nullptr);
    // The map window's view hangs on the list: it goes first.
    if (TMapForm* map = std::exchange(FMapForm, nullptr)) {
        map->FormDeactivate();
        delete map;
    }
    LiveChildren().erase(FKey);
    for (int i = 1; i <= 3; ++i)
        FHost.SetStatusText(i, QString());
    const THourglass hourglass;
    std::unique_ptr<TfmProgress> progress;
    if (Entries().Count() > 2000) {
        progress = std::make_unique<TfmProgress>(this);
        progress->SetText(tr("Cleaning up, please wait..."));
        progress->SetMaximum(100);
        progress->CentreOn(FHost.HostWindow());
        progress->show();
        Entries().OnProgress = [p = progress.get()](int n) { p->SetPositionInt(n); };
    }
    ListView1->setModel(nullptr);
    Entries().Clear();
    Entries().OnProgress = nullptr;
    // The model listens to the list, which goes before the window's children do.
    delete FModel;
    FModel = nullptr;
}

void TMDIChild::CreateActions()
{
    for (const TAction id : ActionsOf(TActionWindow::Child)) {
        const TActionDef& def = ActionDef(id);
        QAction* action = CreateTableAction(this, def, FHost.Data(), Qt::WidgetWithChildrenShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, id] { Run([this, id] { Execute(id); }); });
        FActions[size_t(id)] = action;
    }
}

void TMDIChild::Execute(TAction id)
{
    switch (id) {
    case TAction::acInsert:
        Insert();
        break;
    case TAction::acDelete:
        Delete();
        break;
    case TAction::acRenameSelected:
        RenameSelected();
        break;
    case TAction::acCommit:
        acCommitExecute();
        break;
    case TAction::acOpenMap:
        acOpenMapExecute();
        break;
    case TAction::acCloseMap:
        acCloseMapExecute();
        break;
    case TAction::acPluginGoto:
        if (TPluginOpenExternal* plugin = FHost.Data().FindDefaultPlugin())
            ShowInPlugin(*plugin);
        break;
    case TAction::acPluginAdd:
        if (TPluginOpenExternal* plugin = FHost.Data().FindDefaultPlugin())
            AddToPlugin(*plugin);
        break;
    // They only hold the submenus.
    case TAction::actShowIn:
    case TAction::actAddTo:
        break;
    default:
        // The main window's commands.
        break;
    }
}

void TMDIChild::acCommitExecute()
{
    TfmCommit form(this);
    if (!form.HasSites())
        throw EUserError(tr("No sites detected that support committing of poi's. Please update the site you are trying "
                            "to commit to by clicking \"Update\" in the AutoUpdate manager screen"));
    const TEntry* entry = GetEntry();
    if (!entry)
        return;
    form.Longitude = entry->GetLongitude();
    form.Latitude = entry->GetLatitude();
    form.Description = AnsiToUnicode(entry->GetDescription());
    form.exec();
}

void TMDIChild::CreateEditRow(QWidget* host)
{
    auto* row = new QHBoxLayout(host);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(0);
    auto line = [host](const char* name) {
        auto* edit = new QLineEdit(host);
        edit->setObjectName(QLatin1String(name));
        return edit;
    };
    edDescription = line("edDescription");
    row->addWidget(edDescription, 1, Qt::AlignTop);
    FCoordPanel = new QWidget(host);
    auto* grid = new QGridLayout(FCoordPanel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    edLatDeg = line("edLatDeg");
    edLatMin = line("edLatMin");
    edLatSec = line("edLatSec");
    edLonDeg = line("edLonDeg");
    edLonMin = line("edLonMin");
    edLonSec = line("edLonSec");
    edLatitude = line("edLatitude");
    edLongitude = line("edLongitude");
    buLatSign = new QPushButton(FCoordPanel);
    buLatSign->setObjectName(QStringLiteral("buLatSign"));
    buLonSign = new QPushButton(FCoordPanel);
    buLonSign->setObjectName(QStringLiteral("buLonSign"));
    for (QLineEdit* edit : { edLatDeg, edLatMin, edLatSec, edLonDeg, edLonMin, edLonSec })
        edit->setFixedWidth(24);
    edLatDeg->setValidator(new QIntValidator(0, 90, edLatDeg));
    edLonDeg->setValidator(new QIntValidator(0, 180, edLonDeg));
    for (QLineEdit* edit : { edLatMin, edLatSec, edLonMin, edLonSec })
        edit->setValidator(new QIntValidator(0, 59, edit));
    for (QPushButton* button : { buLatSign, buLonSign }) {
        button->setFixedWidth(20);
        button->setFocusPolicy(Qt::NoFocus);
    }
    grid->addWidget(edLatDeg, 0, 0);
    grid->addWidget(edLatMin, 0, 1);
    grid->addWidget(edLatSec, 0, 2);
    grid->addWidget(buLatSign, 0, 3);
    grid->addWidget(edLonDeg, 0, 4);
    grid->addWidget(edLonMin, 0, 5);
    grid->addWidget(edLonSec, 0, 6);
    grid->addWidget(buLonSign, 0, 7);
    grid->addWidget(edLatitude, 1, 0, 1, 4);
    grid->addWidget(edLongitude, 1, 4, 1, 4);
    edLatitude->setAlignment(Qt::AlignRight);
    edLongitude->setAlignment(Qt::AlignRight);
    FCoordPanel->setFixedWidth(2 * CoordinateColumnWidth);
    row->addWidget(FCoordPanel, 0, Qt::AlignTop);
    // As wide as the list's vertical scroll bar and shown with it, so that the edit fields stay
    // above their columns.
    FScrollStrip = new QWidget(host);
    FScrollStrip->setObjectName(QStringLiteral("ScrollStrip"));
    FScrollStrip->hide();
    row->addWidget(FScrollStrip);

    FEdits = { { TEntryEdit::Description, edDescription }, { TEntryEdit::Latitude, edLatitude },
        { TEntryEdit::Longitude, edLongitude }, { TEntryEdit::LatDeg, edLatDeg }, { TEntryEdit::LatMin, edLatMin },
        { TEntryEdit::LatSec, edLatSec }, { TEntryEdit::LonDeg, edLonDeg }, { TEntryEdit::LonMin, edLonMin },
        { TEntryEdit::LonSec, edLonSec } };
    for (const auto& [kind, edit] : FEdits) {
        const TEntryEdit which = kind;
        connect(edit, &QLineEdit::editingFinished, this, [this, which] { EditChanged(which); });
        edit->installEventFilter(this);
    }
    // A paste or a drop stops where typing does.
    connect(edDescription, &QLineEdit::textEdited, this, [this](const QString& text) {
        int cursor = 0;
        const QString limited = TEntryEditSync::LimitInsertion(FDescriptionBefore, text, DescriptionTypingLimit, cursor);
        if (limited.size() == text.size())
            return;
        edDescription->setText(limited);
        edDescription->setCursorPosition(cursor);
    });
    // Reported after textEdited: the text before a user's edit. The field's own text, not the
    // signal's: a cut made in textEdited is followed by the signal of the uncut edit.
    connect(edDescription, &QLineEdit::textChanged, this, [this] { FDescriptionBefore = edDescription->text(); });
    connect(buLatSign, &QPushButton::clicked, this, [this] { EditChanged(TEntryEdit::LatSign); });
    connect(buLonSign, &QPushButton::clicked, this, [this] { EditChanged(TEntryEdit::LonSign); });
}

void TMDIChild::Retranslate()
{
    for (const TAction id : ActionsOf(TActionWindow::Child))
        Action(id)->setText(tr(ActionDef(id).Caption));
    tsMaps->setTabText(0, tr("Internal Map"));
    tsMaps->setTabText(1, tr("MapPoint"));
    UpdatePluginActions();
    FModel->headerDataChanged(Qt::Horizontal, 0, 2);
    RefreshView(false);
}

void TMDIChild::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
    UpdateActions();
}

// --- state ---------------------------------------------------------------------------------------

TEntry* TMDIChild::GetEntry() const
{
    // The POI the map marks: the current row only while it is chosen (Ctrl+click can unselect it
    // and leave it current), else the first chosen one, so that an edit never goes to a POI the
    // user does not see marked.
    const int count = FDocument.Entries.Count();
    const int selected = GetSelectedIndex();
    return selected >= 0 && selected < count ? &FDocument.Entries[selected] : nullptr;
}

int TMDIChild::GetSelectedIndex() const
{
    const QItemSelectionModel* selection = ListView1->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    const std::vector<int> rows = SelectedIndices();
    return rows.empty() ? -1 : rows.front();
}

std::vector<int> TMDIChild::SelectedIndices() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange& range : ListView1->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TMDIChild::SelectOnly(int row)
{
    if (row < 0 || row >= FModel->rowCount())
        return;
    const QModelIndex index = FModel->index(row, 0);
    ListView1->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ListView1->scrollTo(index);
    ListView1->setFocus();
}

bool TMDIChild::AnyEditActive() const
{
    QWidget* focus = QApplication::focusWidget();
    return focus && focus != ListView1 && isAncestorOf(focus) && qobject_cast<QLineEdit*>(focus);
}

bool TMDIChild::EditingCaption() const { return ListView1->IsEditing(); }

QString TMDIChild::FileName() const { return StripFilePrefix(FDocument.FileName); }

bool TMDIChild::ListHasFocus() const
{
    if (EditingCaption())
        return false;
    if (ListView1->hasFocus())
        return true;
    // A menu opened from the keyboard takes the focus first: then the list counts when it was
    // the last widget of this window to have it, as for a menu opened with the mouse.
    QWidget* focus = QApplication::focusWidget();
    const bool menuHasFocus = QApplication::activePopupWidget() || qobject_cast<QMenuBar*>(focus) || qobject_cast<QMenu*>(focus);
    return menuHasFocus && focusWidget() == ListView1;
}

void TMDIChild::UpdateActions()
{
    if (FDestroying)
        return;
    TActionState state;
    state.SelectedCount = int(SelectedIndices().size());
    state.EditActive = AnyEditActive();
    state.EditingCaption = EditingCaption();
    for (const TAction id : ActionsOf(TActionWindow::Child)) {
        const TActionLook look = EvaluateAction(ActionDef(id), state);
        Action(id)->setEnabled(look.Enabled);
        Action(id)->setVisible(look.Visible);
    }
    UpdatePluginActions();
}

void TMDIChild::UpdatePluginActions()
{
    TActionState state;
    state.SelectedCount = int(SelectedIndices().size());
    state.EditActive = AnyEditActive();
    state.EditingCaption = EditingCaption();
    const bool deleteRule = EvaluateAction(ActionDef(TAction::acDelete), state).Enabled;
    const TdmMain& data = FHost.Data();
    TPluginOpenExternal* plugin = data.FindDefaultPlugin();
    QAction* show = Action(TAction::acPluginGoto);
    QAction* add = Action(TAction::acPluginAdd);
    show->setVisible(true);
    add->setVisible(true);
    if (plugin) {
        show->setText(tr("Show in %1").arg(plugin->GetPlugInName()));
        show->setEnabled(deleteRule);
        add->setText(tr("Add to %1").arg(plugin->GetPlugInName()));
        bool canAdd = false;
        RunCommand(this, [&] { canAdd = plugin->GetCanAddPoi(); });
        add->setEnabled(deleteRule && canAdd);
    } else {
        show->setText(tr(ActionDef(TAction::acPluginGoto).Caption));
        show->setEnabled(false);
        add->setText(tr(ActionDef(TAction::acPluginAdd).Caption));
        add->setEnabled(false);
    }
    const bool several = data.ExternalPlugins.Count() > 1;
    for (const TAction id : { TAction::actShowIn, TAction::actAddTo }) {
        Action(id)->setVisible(several);
        Action(id)->setEnabled(several);
    }
}

void TMDIChild::FillPluginMenus()
{
    miShowIn->clear();
    miAddTo->clear();
    const TdmMain& data = FHost.Data();
    const TPluginOpenExternal* defaultPlugin = data.FindDefaultPlugin();
    const bool selected = GetSelectedIndex() >= 0;
    for (int i = 0; i < data.ExternalPlugins.Count(); ++i) {
        auto* plugin = data.ExternalPlugins.ItemAs<TPluginOpenExternal>(i);
        if (!plugin || plugin == defaultPlugin)
            continue;
        QAction* show = miShowIn->addAction(plugin->GetPlugInName());
        show->setData(i);
        show->setEnabled(selected);
        connect(show, &QAction::triggered, this, [this, plugin] { Run([this, plugin] { ShowInPlugin(*plugin); }); });
        QAction* add = miAddTo->addAction(plugin->GetPlugInName());
        add->setData(i);
        bool canAdd = false;
        RunCommand(this, [&] { canAdd = plugin->GetCanAddPoi(); });
        add->setEnabled(canAdd);
        connect(add, &QAction::triggered, this, [this, plugin] { Run([this, plugin] { AddToPlugin(*plugin); }); });
    }
    Action(TAction::actShowIn)->setEnabled(!miShowIn->isEmpty());
    Action(TAction::actAddTo)->setEnabled(!miAddTo->isEmpty());
}

namespace {

// The host a plug-in's close callback gives its bounds back to; the pointer tells when it is gone.
struct TArrangedHost {
    QPointer<QWidget> Window;
    TChildHost* Host = nullptr;
};

TArrangedHost& ArrangedMainWindow()
{
    static TArrangedHost arranged;
    return arranged;
}

// The plug-in may call from any of its threads: the work is queued to the GUI thread, and does
// nothing once the host (or the application) is gone.
void PluginWindowClosed()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [] {
            if (const TArrangedHost& arranged = ArrangedMainWindow(); arranged.Window)
                arranged.Host->ReapplyBounds();
        },
        Qt::QueuedConnection);
}

QString PluginFailure(const TPluginOpenExternal& plugin, const QString& error)
{
    return TMDIChild::tr("Could not add the poi to %1 because of the following error:\r\"%2\"").arg(plugin.GetPlugInName(), error);
}

} // namespace

QRect TMDIChild::ArrangePlugin(TPluginOpenExternal& plugin)
{
    plugin.SetAutoArrange(GetSettings().PluginAutoArrange);
    QScreen* monitor = screen() ? screen() : QGuiApplication::primaryScreen();
    const TPluginArrangement arrangement = PluginArrangement(
        monitor->geometry(), monitor->availableGeometry(), monitor == QGuiApplication::primaryScreen());
    plugin.SetArrangeArea(
        arrangement.Area.left(), arrangement.Area.top(), arrangement.Area.width(), arrangement.Area.height());
    return arrangement.Strip;
}

void TMDIChild::ArrangeMainWindow(TPluginOpenExternal& plugin, const QRect& strip)
{
    if (!GetSettings().PluginAutoArrange || !plugin.GetCanAutoArrange())
        return;
    FHost.TakeStrip(strip);
    ArrangedMainWindow() = { FHost.HostWindow(), &FHost };
    plugin.SetCloseCallBack(&PluginWindowClosed);
}

void TMDIChild::ShowInPlugin(TPluginOpenExternal& plugin)
{
    const TEntry* entry = GetEntry();
    if (!entry)
        return;
    const THourglass hourglass;
    try {
        const QRect strip = ArrangePlugin(plugin);
        plugin.GotoPoi(entry->GetLongitude(), entry->GetLatitude(), entry->GetDescription());
        ArrangeMainWindow(plugin, strip);
    } catch (const ETarvellError& e) {
        throw EUserError(PluginFailure(plugin, e.Message()));
    }
}

void TMDIChild::AddToPlugin(TPluginOpenExternal& plugin)
{
    const THourglass hourglass;
    try {
        const QRect strip = ArrangePlugin(plugin);
        int first = 1;
        for (const int index : SelectedIndices()) {
            const TEntry& entry = Entries()[index];
            plugin.AddPoi(entry.GetLongitude(), entry.GetLatitude(), entry.GetDescription(), first);
            first = 0;
        }
        ArrangeMainWindow(plugin, strip);
    } catch (const ETarvellError& e) {
        throw EUserError(PluginFailure(plugin, e.Message()));
    }
}

void TMDIChild::RefreshView(bool force)
{
    if (FDestroying)
        return;
    // The list tells the model of every change of its count as it happens: the view only repaints.
    ListView1->viewport()->update();
    if (force || FHost.IsActiveChild(this)) {
        FHost.SetStatusText(2, tr("%1 items").arg(Entries().Count()));
        FHost.SetStatusText(3, Entries().Changed() ? tr("Changed") : QString());
    }
    QString caption = FDocument.Caption();
    if (Entries().Changed())
        caption.chop(1);
    setWindowTitle(caption + QStringLiteral("[*]"));
    setWindowModified(Entries().Changed());
    AlignColumns();
    PushSelectionToMap();
    ShowEntryInEdits();
}

void TMDIChild::AlignColumns()
{
    QScrollBar* bar = ListView1->verticalScrollBar();
    const bool strip = bar->isVisibleTo(ListView1);
    FScrollStrip->setFixedWidth(bar->sizeHint().width());
    if (FScrollStrip->isVisibleTo(FEditRow) != strip)
        FScrollStrip->setVisible(strip);
    // The columns follow the edit fields as they stand now, not as the next layout pass puts them.
    FEditRow->layout()->activate();
    FCoordPanel->layout()->activate();
    QWidget* viewport = ListView1->viewport();
    const int left = viewport->mapTo(this, QPoint(0, 0)).x();
    const int latitude = edLatDeg->mapTo(this, QPoint(0, 0)).x();
    const int longitude = edLonDeg->mapTo(this, QPoint(0, 0)).x();
    QHeaderView* header = ListView1->horizontalHeader();
    header->resizeSection(0, std::max(latitude - left, 1));
    header->resizeSection(1, std::max(longitude - latitude, 1));
    // The last column ends with the list's client area: no horizontal scroll bar.
    header->resizeSection(2, std::max(viewport->width() - (longitude - left), 1));
}

void TMDIChild::resizeEvent(QResizeEvent* event)
{
    TTarvellForm::resizeEvent(event);
    AlignColumns();
}

TEntryEditValues TMDIChild::EditValues() const
{
    TEntryEditValues values;
    values.Enabled = edDescription->isEnabled();
    for (const auto& [kind, edit] : FEdits)
        values.Text(kind) = edit->text();
    values.LatSign = buLatSign->text();
    values.LonSign = buLonSign->text();
    return values;
}

QLineEdit* TMDIChild::Edit(TEntryEdit edit) const
{
    const auto it = FEdits.find(edit);
    return it == FEdits.end() ? nullptr : it->second;
}

void TMDIChild::ShowEntryInEdits()
{
    TEntryEditValues values;
    TEntryEditSync::FromEntry(GetEntry(), values);
    for (const auto& [kind, edit] : FEdits) {
        edit->setEnabled(values.Enabled);
        if (edit->text() != values.Text(kind))
            edit->setText(values.Text(kind));
        edit->setCursorPosition(0);
    }
    buLatSign->setEnabled(values.Enabled);
    buLonSign->setEnabled(values.Enabled);
    buLatSign->setText(values.LatSign);
    buLonSign->setText(values.LonSign);
}

void TMDIChild::EditChanged(TEntryEdit edit, bool leaving)
{
    if (FDestroying)
        return;
    Run([this, edit, leaving] {
        TEntry* entry = GetEntry();
        // The model's change notice refreshes the window.
        if (TEntryEditSync::ToEntry(entry, edit, EditValues()))
            FModel->RowChanged(Entries().IndexOf(entry));
        else if (leaving)
            // A value that does not read (or an emptied field) never stays on screen over the
            // value the POI keeps; a sign key in the middle of typing leaves the text alone.
            ShowEntryInEdits();
    });
}

// --- keys ----------------------------------------------------------------------------------------

bool TMDIChild::eventFilter(QObject* watched, QEvent* event)
{
    // The client area shrinks and grows with the vertical scroll bar: the columns follow it from
    // the first paint on.
    // The pane keeps its stored width only as far as the list keeps its share: placed again at
    // every size, so that a window grown again gives the map back its width.
    if (watched == spMap && event->type() == QEvent::Resize && !paMaps->isHidden())
        PlaceMapPane();
    if (ListView1 && !FDestroying
        && ((watched == ListView1->viewport() && event->type() == QEvent::Resize)
        || (watched == ListView1->verticalScrollBar()
            && (event->type() == QEvent::Show || event->type() == QEvent::Hide)))) {
        AlignColumns();
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        // The field does not report leaving it while its validator refuses the text (an emptied
        // minute field): the POI's value comes back all the same.
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && !edit->hasAcceptableInput())
            for (const auto& [kind, field] : FEdits)
                if (field == edit)
                    EditChanged(kind);
        return TTarvellForm::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress)
        return TTarvellForm::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == edLatitude || watched == edLongitude) {
        if (key->text() == QLatin1String("-") || key->text() == QLatin1String("+")) {
            auto* edit = static_cast<QLineEdit*>(watched);
            edit->setText(TEntryEditSync::ApplySignKey(edit->text(), key->text() == QLatin1String("-")));
            EditChanged(edit == edLatitude ? TEntryEdit::Latitude : TEntryEdit::Longitude, false);
            return true;
        }
    } else if (watched == edDescription) {
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)
            return DescriptionKey(key);
        if (IsTypedText(*key)
            && edDescription->text().size() - edDescription->selectedText().size() + key->text().size()
                > DescriptionTypingLimit)
            return true;
    } else if (watched == ListView1) {
        if (key->key() == Qt::Key_F2 && !EditingCaption()) {
            const int row = GetSelectedIndex();
            if (row >= 0)
                ListView1->edit(FModel->index(row, 0));
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !EditingCaption()) {
            Action(TAction::acPluginGoto)->trigger();
            return true;
        }
    }
    return TTarvellForm::eventFilter(watched, event);
}

bool TMDIChild::DescriptionKey(QKeyEvent* key)
{
    const int selected = GetSelectedIndex();
    const bool down = key->key() == Qt::Key_Down;
    const bool canMove = down ? selected < Entries().Count() - 1 : selected > 0;
    if (!canMove)
        return true;
    const bool atEnd = edDescription->cursorPosition() == edDescription->text().size();
    const int caret = edDescription->cursorPosition();
    // Leaving the edit writes the pending description to its POI.
    ListView1->setFocus();
    SelectOnly(down ? selected + 1 : selected - 1);
    edDescription->setFocus();
    edDescription->setCursorPosition(atEnd ? int(edDescription->text().size()) : caret);
    return true;
}

// --- commands ------------------------------------------------------------------------------------

void TMDIChild::AfterBulkChange() { Refresh(); }

bool TMDIChild::SaveTo(const QString& path, const QString& formatID)
{
    ListView1->setFocus();
    const THourglass hourglass;
    const TRefreshAfter refresh { this };
    return FDocument.SaveTo(path, formatID, [](const QString& text) { return YesNo(text); });
}

bool TMDIChild::Save()
{
    if (FDocument.FileName.isEmpty())
        return SaveAs();
    return SaveTo(QString(), QString());
}

bool TMDIChild::SaveAs()
{
    TSettings& settings = GetSettings();
    TOpenFileRequest request;
    request.InitialDir = settings.InitialDir;
    request.NameFilters = GetExportNameFilters();
    for (int i = 0; i < TConvertToBase::FormatCount(); ++i)
        request.FilterSuffixes << TChildDocument::SaveAsSuffix(i + 1);
    request.FilterIndex = TChildDocument::SaveAsFilterIndex(
        FDocument.FormatID, settings.LastSaveFormat, TConvertToBase::FilterIndex(QString(), QString()));
    request.DefaultSuffix = TChildDocument::SaveAsSuffix(request.FilterIndex);
    if (!AskExportFileName(this, request))
        return false;
    ListView1->setFocus();
    const THourglass hourglass;
    const TRefreshAfter refresh { this };
    return FDocument.SaveAsChosen(request.Files.first(), request.FilterIndex, [](const QString& text) { return YesNo(text); });
}

bool TMDIChild::SaveRemote(const QString& name, int typeIndex, bool copyBitmap)
{
    ListView1->setFocus();
    const THourglass hourglass;
    const TRefreshAfter refresh { this };
    return FDocument.SaveRemote(name, typeIndex, copyBitmap, [](const QString& text) { return YesNo(text); });
}

bool TMDIChild::AskSave()
{
    if (!Entries().Changed())
        return true;
    switch (AskYesNoCancel(this, tr("The current data has changed. Do you want to save the changes?"))) {
    case IDYES: return Save();
    case IDNO: return true;
    default: return false;
    }
}

bool TMDIChild::CloseQuery()
{
    ListView1->setFocus();
    bool result = false;
    RunCommand(this, [this, &result] { result = AskSave(); });
    return result;
}

void TMDIChild::closeEvent(QCloseEvent* event)
{
    if (CloseQuery())
        event->accept();
    else
        event->ignore();
}

void TMDIChild::Insert()
{
    ListView1->setFocus();
    const int row = FDocument.Insert();
    AfterBulkChange();
    SelectOnly(row);
    edDescription->setFocus();
}

void TMDIChild::Delete()
{
    const int selected = GetSelectedIndex();
    const QSignalBlocker blocker(ListView1->selectionModel());
    const int next = FDocument.Delete(SelectedIndices(), selected);
    if (next >= 0) {
        const QModelIndex index = FModel->index(next, 0);
        ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    Refresh();
    UpdateActions();
}

void TMDIChild::RenameSelected()
{
    QString text;
    if (!GetPrompt().InputQuery(this, ApplicationTitle(), tr("Enter the new description to apply to the selection"), text))
        return;
    FDocument.RenameSelected(SelectedIndices(), text);
    ListView1->viewport()->update();
    Refresh();
}

void TMDIChild::Find(const QString& text) { SelectOnly(FDocument.Find(text)); }

void TMDIChild::FindNext(const QString& text) { SelectOnly(FDocument.FindNext(text, GetSelectedIndex())); }

void TMDIChild::CopySelected()
{
    QApplication::clipboard()->setText(FDocument.CopySelectedText(SelectedIndices()));
}

void TMDIChild::CutSelected()
{
    CopySelected();
    Delete();
}

void TMDIChild::Paste()
{
    if (AnyEditActive() || EditingCaption())
        return;
    const QString text = QApplication::clipboard()->text();
    const TRefreshAfter refresh { this };
    FDocument.PasteText(text);
}

void TMDIChild::CopyAsText() { QApplication::clipboard()->setText(FDocument.CopyAsText(SelectedIndices())); }

void TMDIChild::SelectAll()
{
    const std::unique_ptr<THourglass> hourglass = Entries().Count() > 1000 ? std::make_unique<THourglass>() : nullptr;
    const TFlagScope bulk(BulkSelecting);
    // Cleared first: the selection model compares an old selection of many ranges (a rubber band
    // over scattered POIs) with the new one in a time that grows with the product of both.
    ListView1->selectionModel()->clearSelection();
    ListView1->selectAll();
    ListView1->setFocus();
    BulkSelecting = false;
    ShowEntryInEdits();
    PushSelectionToMap();
}

void TMDIChild::InvertSelection()
{
    const std::unique_ptr<THourglass> hourglass = Entries().Count() > 1000 ? std::make_unique<THourglass>() : nullptr;
    const TFlagScope bulk(BulkSelecting);
    // The inverted rows as ranges, set on a cleared selection (see SelectAll).
    const std::vector<int> selected = SelectedIndices();
    QItemSelection inverted;
    int first = 0;
    auto add = [&](int last) {
        if (last >= first)
            inverted.append(QItemSelectionRange(FModel->index(first, 0), FModel->index(last, 2)));
    };
    for (const int row : selected) {
        add(row - 1);
        first = row + 1;
    }
    add(FModel->rowCount() - 1);
    QItemSelectionModel* model = ListView1->selectionModel();
    model->clearSelection();
    if (!inverted.isEmpty())
        model->select(inverted, QItemSelectionModel::Select);
    ListView1->setFocus();
    BulkSelecting = false;
    ShowEntryInEdits();
    // The map shows the selection, so it follows the inverted one.
    PushSelectionToMap();
}

// --- drag and drop -------------------------------------------------------------------------------

bool TMDIChild::AcceptsDrop(const QMimeData* data) const
{
    quint64 key = 0;
    std::vector<int> rows;
    return TEntriesModel::DecodeDrag(data, key, rows) && FromKey(key);
}

void TMDIChild::DropOn(QDropEvent* event)
{
    const QModelIndex target = ListView1->indexAt(event->position().toPoint());
    DropMime(event->mimeData(), target.isValid() ? target.row() : -1);
}

bool TMDIChild::DropMime(const QMimeData* data, int row)
{
    quint64 key = 0;
    std::vector<int> rows;
    if (!TEntriesModel::DecodeDrag(data, key, rows))
        return false;
    TMDIChild* source = FromKey(key);
    if (!source)
        return false;
    Run([&] {
        TChildDocument::DropEntries(source->Document(), rows, FDocument, row);
        AfterBulkChange();
        if (source != this)
            source->AfterBulkChange();
    });
    return true;
}

// --- the map pane --------------------------------------------------------------------------------

void TMDIChild::CreateMapPane()
{
    paMaps = new QWidget(spMap);
    paMaps->setObjectName(QStringLiteral("paMaps"));
    paMaps->setMinimumWidth(MapPaneMinimum);
    auto* layout = new QVBoxLayout(paMaps);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    paMapForm = new QWidget(paMaps);
    paMapForm->setObjectName(QStringLiteral("paMapForm"));
    auto* host = new QVBoxLayout(paMapForm);
    host->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(paMapForm, 1);
    auto* tabs = new QHBoxLayout;
    tabs->setContentsMargins(0, 0, 0, 0);
    tsMaps = new TMapTabBar(paMaps);
    tsMaps->setObjectName(QStringLiteral("tsMaps"));
    tsMaps->setElideMode(Qt::ElideRight);
    tsMaps->setShape(QTabBar::RoundedSouth);
    tsMaps->setDrawBase(false);
    tsMaps->addTab(QStringLiteral("Internal Map"));
    tsMaps->addTab(QStringLiteral("MapPoint"));
    // One tab per HTML map plug-in of type 1, carrying its place in the list.
    const TPluginList& maps = FHost.Data().MapPlugins;
    for (int i = 0; i < maps.Count(); ++i) {
        auto* plugin = maps.ItemAs<TPluginHtmlEmbed>(i);
        QString caption;
        bool tab = false;
        RunCommand(this, [&] {
            if (plugin && plugin->GetPlugInType() == 1) {
                caption = plugin->Caption();
                tab = true;
            }
        });
        if (!tab)
            continue;
        const int index = tsMaps->addTab(caption);
        tsMaps->setTabData(index, i);
        // The plug-in's text as it stands: a tool tip would take markup in it for rich text.
        tsMaps->setTabToolTip(index, Qt::convertFromPlainText(caption, Qt::WhiteSpaceNoWrap));
    }
    tabs->addWidget(tsMaps);
    tabs->addStretch(1);
    QAction* close = Action(TAction::acCloseMap);
    close->setIcon(BundledIcon(QStringLiteral("window-close")));
    auto* closeButton = new QToolButton(paMaps);
    closeButton->setObjectName(QStringLiteral("buCloseMap"));
    closeButton->setDefaultAction(close);
    closeButton->setAutoRaise(true);
    closeButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tabs->addWidget(closeButton);
    layout->addLayout(tabs);
    spMap->addWidget(paMaps);
    connect(tsMaps, &QTabBar::currentChanged, this, [this](int index) { Run([this, index] { tsMapsChange(index); }); });
    connect(spMap, &QSplitter::splitterMoved, this, [this] {
        const int width = paMaps->width();
        if (width > 0) {
            FMapPanelWidth = width;
            GetSettings().MapPanelWidth = width;
        }
    });
}

TMapForm* TMDIChild::MapForm() const { return paMaps && !paMaps->isHidden() ? FMapForm : nullptr; }

void TMDIChild::PlaceMapPane()
{
    const int total = spMap->width() - spMap->handleWidth();
    // A width stored by a wider window (or screen) still leaves the list its share.
    const int width = std::clamp(FMapPanelWidth, MapPaneMinimum, std::max(MapPaneMinimum, total - ListPaneUsable));
    spMap->setSizes({ width, std::max(total - width, 1) });
}

void TMDIChild::ShowMapPane()
{
    paMaps->show();
    PlaceMapPane();
    GetSettings().MapVisible = true;
    Action(TAction::acOpenMap)->setChecked(true);
    // Only plug-in tabs are remembered by caption ("MapTab" is empty for the first two).
    int tab = 0;
    for (int i = FirstPluginTab; i < tsMaps->count() && !GetSettings().MapTab.isEmpty(); ++i)
        if (tsMaps->tabText(i) == GetSettings().MapTab) {
            tab = i;
            break;
        }
    if (tab == tsMaps->currentIndex())
        tsMapsChange(tab);
    else
        tsMaps->setCurrentIndex(tab);
}

void TMDIChild::acOpenMapExecute()
{
    if (paMaps->isHidden())
        ShowMapPane();
    else
        acCloseMapExecute();
}

void TMDIChild::acCloseMapExecute()
{
    paMaps->hide();
    GetSettings().MapVisible = false;
    Action(TAction::acOpenMap)->setChecked(false);
}

std::unique_ptr<TMapForm> TMDIChild::CreateMapForm(int index)
{
    switch (index) {
    case 0: {
        auto map = std::make_unique<TfmMapInternal>(Entries(), paMapForm);
        map->OnSetPosition = [this](double lat, double lon) { MapSetPosition(lat, lon); };
        map->OnMouseCoords = [this](int x, int y, double lat, double lon) { MapMouseCoords(x, y, lat, lon); };
        map->OnSelectEntries = [this](TEntries& entries) { MapSelectEntries(entries); };
        return map;
    }
    case 1: {
        auto map = std::make_unique<TfmMapPointEmbed>(Entries(), paMapForm);
        map->OnSetPosition = [this](double lat, double lon) { MapSetPosition(lat, lon); };
        map->OnMouseCoords = [this](int x, int y, double lat, double lon) { MapMouseCoords(x, y, lat, lon); };
        map->OnSelectEntries = [this](TEntries& entries) { MapSelectEntries(entries); };
        return map;
    }
    default: {
        // HTML maps get no callbacks.
        auto* plugin = FHost.Data().MapPlugins.ItemAs<TPluginHtmlEmbed>(tsMaps->tabData(index).toInt());
        if (!plugin || plugin->GetPlugInType() != 1)
            return nullptr;
        auto map = std::make_unique<TfmMapEmbedHtml>(Entries(), paMapForm);
        map->SetMapPlugin(plugin);
        return map;
    }
    }
}

void TMDIChild::tsMapsChange(int index)
{
    TMapForm* old = FMapForm;
    const int previous = FMapTab;
    std::unique_ptr<TMapForm> map;
    {
        // A map that fails to come up leaves the previous one and its tab.
        const auto restore = OnFailure([&] {
            FMapForm = old;
            map.reset();
            const QSignalBlocker blocker(tsMaps);
            if (previous >= 0)
                tsMaps->setCurrentIndex(previous);
        });
        map = CreateMapForm(index);
        if (map) {
            map->setWindowFlags(Qt::Widget);
            paMapForm->layout()->addWidget(map.get());
            map->show();
            // The window's activation runs with the window docked, so it sees its own size. The
            // desktop map application is started only for a child the user can see.
            FMapForm = map.get();
            if (index != 1 || isVisible())
                map->FormActivate();
        }
        GetSettings().MapTab = index >= FirstPluginTab ? tsMaps->tabText(index) : QString();
    }
    FMapForm = map.release();
    FMapTab = index;
    if (old) {
        old->FormDeactivate();
        delete old;
    }
    PushSelectionToMap();
}

void TMDIChild::PushSelectionToMap()
{
    TMapForm* map = MapForm();
    if (!map || BulkSelecting || FDestroying)
        return;
    map->CurrentIndex = -1;
    TEntries& shown = map->Entries();
    shown.Clear();
    const int selected = GetSelectedIndex();
    const int count = Entries().Count();
    for (const int row : SelectedIndices()) {
        if (row >= count)
            continue;
        shown.AddEntry(&Entries()[row], false);
        if (row == selected)
            map->CurrentIndex = shown.Count() - 1;
    }
    // Runs from list input too: a map plug-in's failure is shown, never let out of the handler.
    RunCommand(this, [map] { map->ShowEntries(); });
}

void TMDIChild::MapSetPosition(double lat, double lon)
{
    // The POI the map marks (set-position shows exactly one), whatever row the list's focus is on.
    TMapForm* map = MapForm();
    if (!map || map->CurrentIndex < 0 || map->CurrentIndex >= map->Entries().Count())
        return;
    const int row = Entries().IndexOf(&map->Entries()[map->CurrentIndex]);
    if (row < 0)
        return;
    TEntry& entry = Entries()[row];
    entry.SetLatitude(lat);
    entry.SetLongitude(lon);
    // The model's change notice refreshes the window.
    FModel->RowChanged(row);
}

void TMDIChild::MapMouseCoords(int x, int y, double lat, double lon)
{
    const int decimals = CoordinatePrecision();
    const QLocale locale;
    FHost.SetStatusText(1, QStringLiteral("%1 %2 (%3 %4)")
                               .arg(locale.toString(lat, 'f', decimals), locale.toString(lon, 'f', decimals))
                               .arg(x)
                               .arg(y));
}

void TMDIChild::MapSelectEntries(TEntries& entries)
{
    {
        const TFlagScope bulk(BulkSelecting);
        struct TUpdatesFrozen {
            QWidget* List;
            ~TUpdatesFrozen() { List->setUpdatesEnabled(true); }
        } frozen { ListView1 };
        ListView1->setUpdatesEnabled(false);
        const std::vector<int> rows = RowsOf(entries);
        // Each run of chosen rows one range.
        QItemSelection selection;
        for (size_t i = 0; i < rows.size();) {
            size_t last = i;
            while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
                ++last;
            selection.append(QItemSelectionRange(FModel->index(rows[i], 0), FModel->index(rows[last], 2)));
            i = last + 1;
        }
        // Cleared first: comparing an old selection of many ranges with a new one takes the
        // selection model a time that grows with the product of both.
        QItemSelectionModel* model = ListView1->selectionModel();
        model->clearSelection();
        if (!selection.isEmpty())
            model->select(selection, QItemSelectionModel::Select);
        // The current row becomes a chosen one when it is not, so that the edits, the map's mark
        // and a picked position all name the same POI.
        const QModelIndex current = model->currentIndex();
        if (!rows.empty() && (!current.isValid() || !std::binary_search(rows.begin(), rows.end(), current.row())))
            model->setCurrentIndex(FModel->index(rows.front(), current.isValid() ? current.column() : 0),
                QItemSelectionModel::NoUpdate);
    }
    ShowEntryInEdits();
    PushSelectionToMap();
    UpdateActions();
}

std::vector<int> TMDIChild::RowsOf(TEntries& entries)
{
    // The map's POIs come in list order (the selection pushed, then filtered): one pass over the
    // list meets them one after the other.
    std::vector<int> rows;
    const int count = Entries().Count();
    const int wanted = entries.Count();
    rows.reserve(size_t(wanted));
    for (int row = 0; row < count && int(rows.size()) < wanted; ++row)
        if (&Entries()[row] == &entries[int(rows.size())])
            rows.push_back(row);
    if (int(rows.size()) == wanted)
        return rows;
    // In another order: one pass over the list against the set of them.
    std::unordered_set<const TEntry*> chosen;
    chosen.reserve(size_t(wanted));
    for (int i = 0; i < wanted; ++i)
        chosen.insert(&entries[i]);
    rows.clear();
    for (int row = 0; row < count; ++row)
        if (chosen.count(&Entries()[row]))
            rows.push_back(row);
    return rows;
}

void TMDIChild::ChildActivated()
{
    if (TMapForm* map = MapForm())
        map->FormActivate();
    RefreshView(true);
}

void TMDIChild::ListKeyReleased(QKeyEvent* key)
{
    const int code = key->key();
    const bool modifierKey = code == Qt::Key_Shift || code == Qt::Key_Control;
    const bool moveKey = code == Qt::Key_PageUp || code == Qt::Key_PageDown || code == Qt::Key_End
        || code == Qt::Key_Home || code == Qt::Key_Up || code == Qt::Key_Down;
    if (!moveKey && !(modifierKey && KeySelectPending))
        return;
    Qt::KeyboardModifiers held = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    // Some platforms still report the released modifier as held in its own release.
    if (code == Qt::Key_Shift)
        held &= ~Qt::ShiftModifier;
    if (code == Qt::Key_Control)
        held &= ~Qt::ControlModifier;
    if (held) {
        KeySelectPending = true;
        return;
    }
    KeySelectPending = false;
    PushSelectionToMap();
}
