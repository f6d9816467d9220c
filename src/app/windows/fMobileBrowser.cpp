// The device file browser.
#include "app/windows/fMobileBrowser.h"

#include "app/windowbase/uDialogs.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uScopeGuard.h"
#include "ui/AdvHintInfo.h"
#include "ui/uIcons.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int ItemIndexRole = Qt::UserRole;

QIcon BrowserImage(int index)
{
    switch (index) {
    case BrowserImageFile:
        return DevicePicture(TDevicePicture::File);
    case BrowserImageDevice:
        return DevicePicture(TDevicePicture::Device);
    case BrowserImageMap:
        return DevicePicture(TDevicePicture::Map);
    default:
        return DevicePicture(TDevicePicture::Folder);
    }
}

} // namespace

QIcon DevicePicture(TDevicePicture picture)
{
    switch (picture) {
    case TDevicePicture::File:
        return BundledIcon(QStringLiteral("text-x-generic"));
    case TDevicePicture::Folder:
        return BundledIcon(QStringLiteral("folder"));
    case TDevicePicture::FolderOpen:
        return BundledIcon(QStringLiteral("folder-open"));
    case TDevicePicture::Device:
        return BundledIcon(QStringLiteral("pda"));
    case TDevicePicture::Map:
        return BundledIcon(QStringLiteral("mark-location"));
    }
    return BundledIcon(QStringLiteral("folder"));
}

TfmMobileBrowser::TfmMobileBrowser(QWidget* owner, bool saveMode)
    : TTarvellModalForm(owner)
    , F(saveMode)
{
    setObjectName(QStringLiteral("fmMobileBrowser"));
    resize(560, 380);
    CreateControls();
    CreatePopupMenu();
    LayOut();
    ConnectSignals();
    Retranslate();
    UpdateActions();
}

void TfmMobileBrowser::CreateControls()
{
    lvPlaces = new QListWidget(this);
    lvPlaces->setObjectName(QStringLiteral("lvPlaces"));
    lvPlaces->setViewMode(QListView::IconMode);
    lvPlaces->setFlow(QListView::TopToBottom);
    lvPlaces->setWrapping(false);
    lvPlaces->setMovement(QListView::Static);
    lvPlaces->setIconSize(QSize(32, 32));
    lvPlaces->setGridSize(QSize(96, 64));
    lvPlaces->setWordWrap(true);
    lvPlaces->setFixedWidth(110);

    edDir = new QLineEdit(this);
    edDir->setObjectName(QStringLiteral("edDir"));
    edDir->installEventFilter(this);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    actDirUp = new QAction(BundledIcon(QStringLiteral("go-up")), QString(), this);
    actDirUp->setObjectName(QStringLiteral("actDirUp"));
    // One refresh for the tool bar and the pop-up menu: two actions on F5 would cancel each other.
    actRefresh = new QAction(BundledIcon(QStringLiteral("view-refresh")), QString(), this);
    actRefresh->setObjectName(QStringLiteral("actRefresh"));
    actRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    actRefresh->setShortcutContext(Qt::WindowShortcut);
    ToolBar1->addAction(actDirUp);
    ToolBar1->addAction(actRefresh);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(1);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->header()->setStretchLastSection(true);

    laFile = new QLabel(this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    laFile->setBuddy(Edit1);
    laFilter = new QLabel(this);
    coFilter = new QComboBox(this);
    coFilter->setObjectName(QStringLiteral("coFilter"));
    coFilter->addItems(F.FormatNames());
    coFilter->setCurrentIndex(-1);
    laFilter->setBuddy(coFilter);
    cbExtra = new QCheckBox(this);
    cbExtra->setObjectName(QStringLiteral("cbExtra"));
    cbExtra->setVisible(false);
    buOpen = new QPushButton(this);
    buOpen->setObjectName(QStringLiteral("buOpen"));
    buOpen->setDefault(true);
    buCancel = new QPushButton(this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
}

void TfmMobileBrowser::CreatePopupMenu()
{
    acOpen = new QAction(BundledIcon(QStringLiteral("document-open")), QString(), this);
    acOpen->setObjectName(QStringLiteral("acOpen"));
    acDelete = new QAction(BundledIcon(QStringLiteral("edit-delete")), QString(), this);
    acDelete->setObjectName(QStringLiteral("acDelete"));
    acDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    // Del in the file name field deletes a character, not a file.
    acDelete->setShortcutContext(Qt::WidgetShortcut);
    ListView1->addAction(acDelete);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(acOpen);
    PopupMenu1->addAction(acDelete);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actRefresh);
}

void TfmMobileBrowser::LayOut()
{
    auto* top = new QHBoxLayout;
    top->addWidget(edDir, 1);
    top->addWidget(ToolBar1);
    auto* bottom = new QGridLayout;
    bottom->addWidget(laFile, 0, 0);
    bottom->addWidget(Edit1, 0, 1);
    bottom->addWidget(buOpen, 0, 2);
    bottom->addWidget(laFilter, 1, 0);
    bottom->addWidget(coFilter, 1, 1);
    bottom->addWidget(buCancel, 1, 2);
    bottom->addWidget(cbExtra, 2, 1, 1, 2);
    bottom->setColumnStretch(1, 1);
    auto* right = new QVBoxLayout;
    right->addLayout(top);
    right->addWidget(ListView1, 1);
    right->addLayout(bottom);
    auto* outer = new QHBoxLayout(this);
    outer->addWidget(lvPlaces);
    outer->addLayout(right, 1);
}

void TfmMobileBrowser::ConnectSignals()
{
    connect(lvPlaces, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { PlaceClicked(lvPlaces->row(item)); });
    connect(actDirUp, &QAction::triggered, this, &TfmMobileBrowser::DirUpExecute);
    connect(actRefresh, &QAction::triggered, this, &TfmMobileBrowser::RefreshExecute);
    connect(acOpen, &QAction::triggered, this, &TfmMobileBrowser::OpenExecute);
    connect(acDelete, &QAction::triggered, this, &TfmMobileBrowser::DeleteExecute);
    connect(buOpen, &QPushButton::clicked, acOpen, &QAction::trigger);
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Edit1, &QLineEdit::textChanged, this, [this] { UpdateActions(); });
    connect(coFilter, &QComboBox::activated, this, &TfmMobileBrowser::FilterChanged);
    connect(ListView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        UpdateActions();
        if (FUpdating || !current)
            return;
        const TDeviceListItem& item = F.Items()[size_t(current->data(0, ItemIndexRole).toInt())];
        if (!item.IsFolder)
            Edit1->setText(VisibleDeviceName(item.Name));
    });
    // A click makes the item current before it selects it: the selection refreshes Delete too.
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
    connect(ListView1, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* current) {
        const TDeviceListItem& item = F.Items()[size_t(current->data(0, ItemIndexRole).toInt())];
        if (item.IsFolder)
            ListFolder(F.CurrentDir() + item.Name);
        else
            OpenExecute();
    });
    connect(ListView1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& point) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(point)); });
}

void TfmMobileBrowser::Retranslate()
{
    setWindowTitle(F.SaveMode() ? tr("Save Remote...") : tr("Open Remote..."));
    buOpen->setText(F.SaveMode() ? tr("Save") : tr("Open"));
    buCancel->setText(tr("Cancel"));
    laFile->setText(tr("&File:"));
    laFilter->setText(tr("File &type:"));
    ListView1->setHeaderLabels({ tr("Filename") });
    actDirUp->setText(tr("Directory Up"));
    actRefresh->setText(tr("Refresh"));
    acOpen->setText(tr("Open"));
    acDelete->setText(tr("Delete"));
    ToolBar1->setWindowTitle(tr("Tool bar"));
}

void TfmMobileBrowser::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
    UpdateActions();
}

void TfmMobileBrowser::UpdateActions()
{
    const bool named = !Edit1->text().isEmpty();
    acOpen->setEnabled(named);
    buOpen->setEnabled(named);
    acDelete->setEnabled(ListView1->currentItem() && ListView1->currentItem()->isSelected());
}

void TfmMobileBrowser::SetFileName(const QString& path)
{
    F.SetFileName(path);
    coFilter->setCurrentIndex(F.FormatIndex);
}

void TfmMobileBrowser::SetFormatIndex(int row)
{
    F.FormatIndex = row >= 0 && row < coFilter->count() ? row : -1;
    coFilter->setCurrentIndex(F.FormatIndex);
}

void TfmMobileBrowser::SetExtraVisible(bool visible) { cbExtra->setVisible(visible); }

void TfmMobileBrowser::SetExtraCaption(const QString& caption) { cbExtra->setText(caption); }

bool TfmMobileBrowser::GetExtraChecked() const { return cbExtra->isChecked(); }

void TfmMobileBrowser::ShowPlaces()
{
    const QSignalBlocker blocker(lvPlaces);
    lvPlaces->clear();
    for (const TDevicePlace& place : F.Places()) {
        // A map's name may be a device folder's: shown escaped like every device name.
        auto* item = new QListWidgetItem(
            BrowserImage(place.Image), place.Image == BrowserImageMap ? VisibleDeviceName(place.Name) : place.Name, lvPlaces);
        item->setToolTip(PlainHintText(VisibleDevicePath(place.Path)));
    }
}

void TfmMobileBrowser::ShowList()
{
    const TFlagScope updating(FUpdating);
    ListView1->clear();
    for (size_t i = 0; i < F.Items().size(); ++i) {
        const TDeviceListItem& entry = F.Items()[i];
        // Names that are not UTF-8 or hold direction marks are shown escaped, never disguised.
        auto* item = new QTreeWidgetItem(ListView1, { VisibleDeviceName(entry.Name) });
        item->setIcon(0, BrowserImage(entry.Image()));
        item->setData(0, ItemIndexRole, int(i));
    }
    edDir->setText(VisibleDevicePath(F.CurrentDir()));
    const int place = F.PlaceOf(F.CurrentDir());
    const QSignalBlocker blocker(lvPlaces);
    lvPlaces->setCurrentRow(place);
    if (place < 0)
        lvPlaces->clearSelection();
    UpdateActions();
}

void TfmMobileBrowser::FormShow()
{
    Run([this] {
        AssertOrThrow(IsDeviceConnected(), QStringLiteral("InitRapi not called"), "fMobileBrowser", __LINE__);
        const THourglass hourglass;
        F.FillPlaces();
        ShowPlaces();
        edDir->setText(VisibleDevicePath(DeviceFolderPart(F.FileName)));
        Edit1->setText(VisibleDeviceName(DeviceNamePart(F.FileName)));
        if (!edDir->text().isEmpty()) {
            F.List(DeviceFolderPart(F.FileName));
            ShowList();
        } else if (!F.Places().empty()) {
            lvPlaces->setCurrentRow(0);
            F.List(F.Places().front().Path);
            ShowList();
        }
        coFilter->setVisible(F.SaveMode());
        laFilter->setVisible(F.SaveMode());
        FShown = true;
    });
    // A dialog whose first show failed has nothing to offer: it closes again.
    if (!FShown)
        QTimer::singleShot(0, this, &QDialog::reject);
}

void TfmMobileBrowser::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    if (!FShown && !FShowing) {
        const TFlagScope showing(FShowing);
        FormShow();
    }
    Edit1->setFocus();
}

bool TfmMobileBrowser::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the folder field lists that folder instead of pressing the default button.
    if (watched == edDir && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ListFolder(edDir->text());
            return true;
        }
    }
    // Leaving the field lists what was typed, once: a failed listing is not tried at every focus
    // change its message causes.
    if (watched == edDir && event->type() == QEvent::FocusOut && FShown && edDir->text() != VisibleDevicePath(F.CurrentDir())
        && edDir->text() != FTriedDir)
        ListFolder(edDir->text());
    return TTarvellModalForm::eventFilter(watched, event);
}

void TfmMobileBrowser::ListFolder(const QString& folder)
{
    FTriedDir = folder;
    Run([this, &folder] {
        const THourglass hourglass;
        // The folder field always names the folder listed below it.
        const auto restore = OnFailure([this] { edDir->setText(VisibleDevicePath(F.CurrentDir())); });
        F.List(F.FolderOf(folder));
        ShowList();
    });
}

void TfmMobileBrowser::PlaceClicked(int place)
{
    if (place < 0 || size_t(place) >= F.Places().size())
        return;
    const QString path = F.Places()[size_t(place)].Path;
    edDir->setText(VisibleDevicePath(path));
    ListFolder(path);
}

void TfmMobileBrowser::OpenExecute()
{
    if (Edit1->text().isEmpty())
        return;
    Run([this] {
        const THourglass hourglass;
        const auto result = F.Open(Edit1->text(), [this](const QString& text) { return AskYesNo(this, text) == IDYES; });
        switch (result) {
        case TMobileBrowser::TOpenResult::Entered:
            // The typed folder is entered; its name is no file name.
            Edit1->clear();
            ShowList();
            break;
        case TMobileBrowser::TOpenResult::Stayed:
            break;
        case TMobileBrowser::TOpenResult::Accepted:
            accept();
            break;
        }
    });
}

void TfmMobileBrowser::DirUpExecute()
{
    const QString folder = F.FolderOf(edDir->text());
    const QString parent = TMobileBrowser::ParentDir(folder);
    if (parent == folder)
        return;
    edDir->setText(VisibleDevicePath(parent));
    ListFolder(parent);
}

void TfmMobileBrowser::RefreshExecute()
{
    Run([this] {
        const THourglass hourglass;
        // Filling the places connects again when the device went away.
        F.FillPlaces();
        ShowPlaces();
        const auto restore = OnFailure([this] { edDir->setText(VisibleDevicePath(F.CurrentDir())); });
        F.List(F.FolderOf(edDir->text()));
        ShowList();
    });
}

void TfmMobileBrowser::DeleteExecute()
{
    QTreeWidgetItem* current = ListView1->currentItem();
    if (!current || !current->isSelected())
        return;
    const int index = current->data(0, ItemIndexRole).toInt();
    const QString path = F.CurrentDir() + F.Items()[size_t(index)].Name;
    bool sideFiles = true;
    if (AskYesNoWithCheckBox(tr("Are you sure you want to delete remote file %1?").arg(VisibleDevicePath(path)), sideFiles,
            tr("Delete bmp and inf files as well"))
        != IDYES)
        return;
    const QString name = F.Items()[size_t(index)].Name;
    Run([&] {
        F.Delete(index, sideFiles);
        // The deleted file cannot be opened or saved over by name any more.
        if (F.NameOf(Edit1->text()).compare(name, Qt::CaseInsensitive) == 0)
            Edit1->clear();
        ShowList();
    });
}

void TfmMobileBrowser::FilterChanged(int row)
{
    F.FormatIndex = row;
    if (!Edit1->text().isEmpty())
        Edit1->setText(VisibleDeviceName(F.WithFormatExtension(F.NameOf(Edit1->text()))));
}
