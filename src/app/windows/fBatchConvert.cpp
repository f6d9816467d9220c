// The batch conversion dialog.
#include "app/windows/fBatchConvert.h"

#include "core/uLocations.h"
#include "app/windowbase/uDialogs.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "ui/uIcons.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString DroppedFolder(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return QString();
    const QString path = data->urls().first().toLocalFile();
    return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

} // namespace

TfmBatchConvert::TfmBatchConvert(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("TfmBatchConvert"));
    Position = TFormPosition::poScreenCenter;
    setSizeGripEnabled(true);
    resize(640, 480);
    for (QLabel*& label : FLabels)
        label = new QLabel(this);
    CreateSourceControls();
    CreateDestControls();
    CreateDestPages();
    buConvert = new QPushButton(this);
    buConvert->setObjectName(QStringLiteral("buConvert"));
    buConvert->setDefault(true);
    buClose = new QPushButton(this);
    buClose->setObjectName(QStringLiteral("buClose"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setValue(0);
    LayOut();
    ConnectSignals();
    Retranslate();
    LoadSettings();
}

void TfmBatchConvert::CreateSourceControls()
{
    coSource = new QComboBox(this);
    QStringList importers;
    FillImporterList(importers);
    coSource->addItems(importers);
    edSource = new QLineEdit(this);
    edSource->setObjectName(QStringLiteral("edSource"));
    edSource->setAcceptDrops(true);
    edSource->installEventFilter(this);
    buSourceBrowse = new QToolButton(this);
    buSourceBrowse->setText(QStringLiteral("..."));
    buSourceBrowse->setObjectName(QStringLiteral("buSourceBrowse"));
    buSourceBrowse->setIcon(BundledIcon(QStringLiteral("folder-open")));
    rbSource = new QGroupBox(this);
    rbSourceAll = new QRadioButton(rbSource);
    rbSourceSelected = new QRadioButton(rbSource);
    rbSourceAll->setChecked(true);
    auto* sourceMode = new QHBoxLayout(rbSource);
    sourceMode->addWidget(rbSourceAll);
    sourceMode->addWidget(rbSourceSelected);
    lvSource = new QListWidget(this);
    lvSource->setObjectName(QStringLiteral("lvSource"));
    lvSource->setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void TfmBatchConvert::CreateDestControls()
{
    coDest = new QComboBox(this);
    QStringList exporters;
    FillExporterList(exporters);
    coDest->addItems(exporters);
    coDest->addItem(QString());
    lbDestFormats = new QListWidget(this);
    lbDestFormats->setObjectName(QStringLiteral("lbDestFormats"));
    for (const QString& name : exporters) {
        auto* item = new QListWidgetItem(name, lbDestFormats);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    rbDest = new QGroupBox(this);
    rbDestMultiple = new QRadioButton(rbDest);
    rbDestAppend = new QRadioButton(rbDest);
    rbDestMultiple->setChecked(true);
    auto* destMode = new QHBoxLayout(rbDest);
    destMode->addWidget(rbDestMultiple);
    destMode->addWidget(rbDestAppend);
}

void TfmBatchConvert::CreateDestPages()
{
    Notebook1 = new QStackedWidget(this);
    auto* folderPage = new QWidget;
    edDest = new QLineEdit(folderPage);
    edDest->setObjectName(QStringLiteral("edDest"));
    edDest->installEventFilter(this);
    buDestBrowse = new QToolButton(folderPage);
    buDestBrowse->setText(QStringLiteral("..."));
    buDestBrowse->setObjectName(QStringLiteral("buDestBrowse"));
    buDestBrowse->setIcon(BundledIcon(QStringLiteral("folder-open")));
    lvDest = new QListWidget(folderPage);
    lvDest->setObjectName(QStringLiteral("lvDest"));
    auto* folderLayout = new QGridLayout(folderPage);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(FLabels[4], 0, 0, 1, 2);
    folderLayout->addWidget(edDest, 1, 0);
    folderLayout->addWidget(buDestBrowse, 1, 1);
    folderLayout->addWidget(lvDest, 2, 0, 1, 2);
    auto* filePage = new QWidget;
    FDestFileLabel = new QLabel(filePage);
    edDestFile = new QLineEdit(filePage);
    edDestFile->setObjectName(QStringLiteral("edDestFile"));
    buDestFileBrowse = new QToolButton(filePage);
    buDestFileBrowse->setText(QStringLiteral("..."));
    buDestFileBrowse->setObjectName(QStringLiteral("buDestFileBrowse"));
    buDestFileBrowse->setIcon(BundledIcon(QStringLiteral("document-save-as")));
    cbAddFilenames = new QCheckBox(filePage);
    cbOpen = new QCheckBox(filePage);
    auto* fileLayout = new QGridLayout(filePage);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(FDestFileLabel, 0, 0, 1, 2);
    fileLayout->addWidget(edDestFile, 1, 0);
    fileLayout->addWidget(buDestFileBrowse, 1, 1);
    fileLayout->addWidget(cbAddFilenames, 2, 0, 1, 2);
    fileLayout->addWidget(cbOpen, 3, 0, 1, 2);
    fileLayout->setRowStretch(4, 1);
    Notebook1->addWidget(folderPage);
    Notebook1->addWidget(filePage);
}

void TfmBatchConvert::LayOut()
{
    // Two columns: the source on the left, the destination on the right.
    auto* sourceFolder = new QHBoxLayout;
    sourceFolder->addWidget(edSource);
    sourceFolder->addWidget(buSourceBrowse);
    auto* left = new QVBoxLayout;
    left->addWidget(FLabels[0]);
    left->addWidget(coSource);
    left->addWidget(FLabels[1]);
    left->addLayout(sourceFolder);
    left->addWidget(rbSource);
    left->addWidget(lvSource, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(FLabels[2]);
    right->addWidget(coDest);
    right->addWidget(lbDestFormats, 1);
    right->addWidget(rbDest);
    right->addWidget(Notebook1, 1);
    auto* grid = new QHBoxLayout;
    grid->addLayout(left, 1);
    grid->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ProgressBar1, 1);
    buttons->addWidget(buConvert);
    buttons->addWidget(buClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
    FLabels[3]->hide();
}

void TfmBatchConvert::ConnectSignals()
{
    auto run = [this](auto body) { return [this, body] { RunCommand(this, [&] { body(); }); }; };
    connect(coSource, &QComboBox::activated, this, run([this] { coSourceChange(); }));
    connect(coDest, &QComboBox::activated, this, run([this] { coDestChange(); }));
    connect(edSource, &QLineEdit::editingFinished, this, run([this] { edSourceChange(); }));
    connect(edDest, &QLineEdit::editingFinished, this, run([this] { edDestChange(); }));
    connect(buSourceBrowse, &QToolButton::clicked, this, run([this] { Browse(edSource, true); }));
    connect(buDestBrowse, &QToolButton::clicked, this, run([this] { Browse(edDest, false); }));
    connect(buDestFileBrowse, &QToolButton::clicked, this, run([this] { edDestFileBrowse(); }));
    connect(lvSource, &QListWidget::itemSelectionChanged, this, [this] {
        const QSignalBlocker blocker(rbSourceAll);
        (lvSource->selectedItems().isEmpty() ? rbSourceAll : rbSourceSelected)->setChecked(true);
    });
    connect(rbSourceAll, &QRadioButton::clicked, this, [this] { lvSource->clearSelection(); });
    connect(lvDest, &QListWidget::itemSelectionChanged, this, [this] {
        if (!lvDest->selectedItems().isEmpty())
            lvDest->clearSelection();
    });
    connect(rbDestMultiple, &QRadioButton::toggled, this, [this] { Notebook1->setCurrentIndex(rbDestAppend->isChecked() ? 1 : 0); });
    connect(buConvert, &QPushButton::clicked, this, run([this] { buConvertClick(); }));
    connect(buClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmBatchConvert::LoadSettings()
{
    coSource->setCurrentIndex(0);
    const TBatchSettings settings = TBatchSettings::Load(GetSettings());
    coDest->setCurrentIndex(settings.DestExporter < 0 ? coDest->count() - 1 : settings.DestExporter);
    for (int row : settings.DestFormats)
        lbDestFormats->item(row)->setCheckState(Qt::Checked);
    edSource->setText(settings.SourceFolder);
    edDest->setText(settings.DestFolder);
    RunCommand(this, [this] {
        coDestChange();
        ListSource();
    });
    Notebook1->setCurrentIndex(0);
}

TfmBatchConvert::~TfmBatchConvert() = default;

void TfmBatchConvert::Retranslate()
{
    setWindowTitle(tr("Tarvell Batch Convert..."));
    FLabels[0]->setText(tr("Source Format:"));
    FLabels[1]->setText(tr("Source Directory:"));
    FLabels[2]->setText(tr("Destination Format:"));
    FLabels[4]->setText(tr("Destination Directory:"));
    FDestFileLabel->setText(tr("Destination File:"));
    rbSource->setTitle(tr("Source file mode"));
    rbSourceAll->setText(tr("All"));
    rbSourceSelected->setText(tr("Selected"));
    coDest->setItemText(coDest->count() - 1, tr("Multiple formats..."));
    rbDest->setTitle(tr("Destination mode"));
    rbDestMultiple->setText(tr("Multiple"));
    rbDestAppend->setText(tr("Append"));
    cbAddFilenames->setText(tr("Add names of the source files to the poi descriptions of the target file"));
    cbOpen->setText(tr("Open file in new window after appending"));
    buConvert->setText(tr("Convert"));
    buClose->setText(tr("Close"));
}

bool TfmBatchConvert::MultipleMode() const
{
    return coDest->currentIndex() == coDest->count() - 1;
}

void TfmBatchConvert::ListSource()
{
    lvSource->clear();
    lvSource->addItems(TBatchConverter::ListSource(edSource->text().trimmed(), coSource->currentIndex()));
}

void TfmBatchConvert::ListDest()
{
    lvDest->clear();
    lvDest->addItems(TBatchConverter::ListDest(edDest->text().trimmed(), MultipleMode() ? -1 : coDest->currentIndex()));
}

void TfmBatchConvert::coSourceChange()
{
    ListSource();
}

void TfmBatchConvert::edSourceChange()
{
    ListSource();
}

void TfmBatchConvert::edDestChange()
{
    ListDest();
}

void TfmBatchConvert::coDestChange()
{
    const bool multiple = MultipleMode();
    lbDestFormats->setVisible(multiple);
    cbOpen->setEnabled(!multiple);
    const QString name = edDestFile->text().trimmed();
    if (!name.isEmpty())
        edDestFile->setText(ChangeLocationExtension(name, multiple ? QString() : TConvertToBase::Extension(coDest->currentIndex())));
    ListDest();
}

void TfmBatchConvert::Browse(QLineEdit* edit, bool source)
{
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), edit->text());
    if (folder.isEmpty())
        return;
    edit->setText(folder);
    if (source)
        ListSource();
    else
        ListDest();
}

void TfmBatchConvert::edDestFileBrowse()
{
    TOpenFileRequest request;
    request.InitialDir = GetSettings().InitialDir;
    request.NameFilters = GetExportNameFilters();
    request.FilterIndex = 1;
    request.DefaultSuffix = QStringLiteral("asc");
    for (int row = 0; row < TConvertToBase::FormatCount(); ++row)
        request.FilterSuffixes << TConvertToBase::Extension(row).mid(1);
    if (!edDestFile->text().isEmpty())
        request.Files = QStringList { edDestFile->text() };
    if (GetPrompt().SaveFileDialog(this, request) && !request.Files.isEmpty())
        edDestFileAfterDialog(request.Files.first(), request.FilterIndex);
}

void TfmBatchConvert::edDestFileAfterDialog(const QString& name, int filterIndex)
{
    const int row = filterIndex - 1;
    QString chosen = name;
    if (LocationExtension(chosen).isEmpty() && row >= 0 && row < TConvertToBase::FormatCount())
        chosen += TConvertToBase::Extension(row);
    edDestFile->setText(chosen);
    if (row >= 0 && row < TConvertToBase::FormatCount()) {
        coDest->setCurrentIndex(row);
        coDestChange();
    }
}

TBatchJob TfmBatchConvert::Job() const
{
    TBatchJob job;
    job.SourceImporter = coSource->currentIndex();
    job.SourceFolder = edSource->text().trimmed();
    for (int i = 0; i < lvSource->count(); ++i)
        job.Files << lvSource->item(i)->text();
    job.SelectedOnly = rbSourceSelected->isChecked();
    for (const QListWidgetItem* item : lvSource->selectedItems())
        job.Selected << item->text();
    job.DestExporter = MultipleMode() ? -1 : coDest->currentIndex();
    for (int row = 0; row < lbDestFormats->count(); ++row)
        if (lbDestFormats->item(row)->checkState() == Qt::Checked)
            job.DestFormats.push_back(row);
    job.DestMode = rbDestAppend->isChecked() ? TBatchDestMode::Append : TBatchDestMode::Multiple;
    job.DestFolder = edDest->text().trimmed();
    job.DestFile = edDestFile->text().trimmed();
    job.AddFileNames = cbAddFilenames->isChecked();
    job.OpenAfterAppend = cbOpen->isChecked();
    return job;
}

void TfmBatchConvert::SetRunning(bool running)
{
    FRunning = running;
    // Nothing re-enters while the run processes events.
    for (QWidget* control : std::initializer_list<QWidget*> { buConvert, coSource, coDest, edSource, edDest, edDestFile,
             buSourceBrowse, buDestBrowse, buDestFileBrowse, lbDestFormats, lvSource, rbSource, rbDest })
        control->setEnabled(!running);
    if (!running)
        cbOpen->setEnabled(!MultipleMode());
}

void TfmBatchConvert::buConvertClick()
{
    if (FRunning)
        return;
    const TBatchJob job = Job();
    TBatchConverter::Check(job);
    FStopRequested = false;
    ProgressBar1->setRange(0, std::max(1, int(TBatchConverter::FilesToDo(job).size())));
    ProgressBar1->setValue(0);
    SetRunning(true);
    TBatchResult result;
    try {
        result = TBatchConverter::Run(job, *this);
    } catch (...) {
        SetRunning(false);
        RunCommand(this, [this] { ListDest(); });
        if (FPendingResult >= 0)
            TTarvellModalForm::done(std::exchange(FPendingResult, -1));
        throw;
    }
    SetRunning(false);
    RunCommand(this, [this] { ListDest(); });
    if (FPendingResult >= 0) {
        TTarvellModalForm::done(std::exchange(FPendingResult, -1));
        FormClose();
        return;
    }
    if (result.End == TBatchResult::TEnd::Stopped)
        return;
    if (!result.OpenPath.isEmpty() && OpenInNewWindow) {
        OpenInNewWindow(result.OpenPath, result.OpenFormatID);
        accept();
        return;
    }
    ShowInfo(this, tr("Batch conversion completed."));
}

bool TfmBatchConvert::OverwriteAppendTarget(const QString& question)
{
    return YesNo(question);
}

TBatchQuestions::TOverwrite TfmBatchConvert::OverwriteTarget(const QString& question)
{
    const int answer = AskYesNoCancel(this, question);
    return answer == IDYES ? TOverwrite::Yes : answer == IDNO ? TOverwrite::No : TOverwrite::Cancel;
}

bool TfmBatchConvert::ContinueAfterError(const QString& question)
{
    return YesNo(question);
}

void TfmBatchConvert::Progress(int done, int)
{
    ProgressBar1->setValue(done);
}

bool TfmBatchConvert::KeepGoing()
{
    QApplication::processEvents();
    return !FStopRequested;
}

void TfmBatchConvert::done(int result)
{
    if (FRunning) {
        FStopRequested = true;
        FPendingResult = result;
        return;
    }
    FormClose();
    TTarvellModalForm::done(result);
}

void TfmBatchConvert::FormClose()
{
    TBatchSettings settings;
    settings.SourceFolder = edSource->text().trimmed();
    settings.DestFolder = edDest->text().trimmed();
    const TBatchJob job = Job();
    settings.DestExporter = job.DestExporter;
    settings.DestFormats = job.DestFormats;
    settings.Save(GetSettings());
}

bool TfmBatchConvert::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in a folder field lists that folder; it does not press Convert.
    if ((watched == edSource || watched == edDest) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (!FRunning)
                RunCommand(this, [this, watched] { watched == edSource ? ListSource() : ListDest(); });
            return true;
        }
    }
    if (watched == edSource && (event->type() == QEvent::DragEnter || event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString folder = DroppedFolder(drop->mimeData());
        if (folder.isEmpty()) {
            event->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop && !FRunning) {
            edSource->setText(folder);
            RunCommand(this, [this] { ListSource(); });
        }
        return true;
    }
    return TTarvellModalForm::eventFilter(watched, event);
}

void ShowBatchConvert(QWidget* owner, const std::function<void(const QString&, const QString&)>& openFile)
{
    TfmBatchConvert dialog(owner);
    dialog.OpenInNewWindow = openFile;
    dialog.exec();
}
