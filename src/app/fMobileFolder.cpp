// The device folder picker.
#include "app/fMobileFolder.h"

#include "app/fMobileBrowser.h"
#include "app/uDialogs.h"
#include "app/uTreeViewCe.h"
#include "formats/uConvertBase.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmMobileFolder::TfmMobileFolder(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("fmMobileFolder"));
    resize(420, 460);
    laInfo = new QLabel(this);
    laInfo->setWordWrap(true);
    TreeViewCe1 = new TTreeViewCe(this);
    TreeViewCe1->setObjectName(QStringLiteral("TreeViewCe1"));
    TreeViewCe1->Images = { DevicePicture(TDevicePicture::Folder), DevicePicture(TDevicePicture::FolderOpen),
        DevicePicture(TDevicePicture::Map) };
    TreeViewCe1->FolderIndex = 0;
    TreeViewCe1->FolderSelectedIndex = 0;
    TreeViewCe1->FolderExpandedIndex = 1;
    laPath = new QLabel(this);
    edPath = new QLineEdit(this);
    edPath->setObjectName(QStringLiteral("edPath"));
    edPath->setReadOnly(true);
    laMaps = new QLabel(this);
    coMaps = new QComboBox(this);
    coMaps->setObjectName(QStringLiteral("coMaps"));
    laFileType = new QLabel(this);
    laFileType->setObjectName(QStringLiteral("laFileType"));
    coFileType = new QComboBox(this);
    coFileType->setObjectName(QStringLiteral("coFileType"));
    QStringList writers;
    FillExporterList(writers);
    coFileType->addItems(writers);
    auto* buttons = new QDialogButtonBox(this);
    buOpen = buttons->addButton(QDialogButtonBox::Ok);
    buOpen->setObjectName(QStringLiteral("buOpen"));
    buCancel = buttons->addButton(QDialogButtonBox::Cancel);
    buCancel->setObjectName(QStringLiteral("buCancel"));

    auto* fields = new QFormLayout;
    fields->addRow(laPath, edPath);
    fields->addRow(laMaps, coMaps);
    fields->addRow(laFileType, coFileType);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(laInfo);
    layout->addWidget(TreeViewCe1, 1);
    layout->addLayout(fields);
    layout->addWidget(buttons);

    // The device is read here: its errors reach the caller.
    FMaps.Fill();
    Retranslate();
    coMaps->setCurrentIndex(0);

    connect(coMaps, &QComboBox::activated, this, &TfmMobileFolder::MapChosen);
    connect(TreeViewCe1, &QTreeWidget::itemSelectionChanged, this, &TfmMobileFolder::SelectionChanged);
    connect(buOpen, &QPushButton::clicked, this, &TfmMobileFolder::OKExecute);
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmMobileFolder::Retranslate()
{
    setWindowTitle(tr("Select Mobile Folder..."));
    laInfo->setText(tr("Select the folder where you want Tarvell to automatically update the selected poi files..."));
    laPath->setText(tr("Selected path:"));
    laMaps->setText(tr("TomTom Maps:"));
    laFileType->setText(tr("Target file type:"));
    buOpen->setText(tr("OK"));
    buCancel->setText(tr("Cancel"));
    const int current = coMaps->currentIndex();
    const QSignalBlocker blocker(coMaps);
    coMaps->clear();
    const QStringList entries = FMaps.Entries();
    for (qsizetype i = 0; i < entries.size(); ++i)
        coMaps->addItem(i == 0 ? QIcon() : DevicePicture(TDevicePicture::Map), entries[i]);
    coMaps->setCurrentIndex(std::max(current, 0));
}

QString TfmMobileFolder::GetPath() const { return TreeViewCe1->GetPath(); }

void TfmMobileFolder::SetPath(const QString& path)
{
    {
        const QSignalBlocker blocker(TreeViewCe1);
        TreeViewCe1->SetPath(path);
    }
    SelectionChanged();
}

void TfmMobileFolder::SetFileTypeVisible(bool visible)
{
    coFileType->setVisible(visible);
    laFileType->setVisible(visible);
}

void TfmMobileFolder::SelectionChanged()
{
    const QString path = GetPath();
    edPath->setText(path);
    const QSignalBlocker blocker(coMaps);
    coMaps->setCurrentIndex(FMaps.EntryOfPath(path));
}

void TfmMobileFolder::MapChosen(int entry)
{
    RunCommand(this, [this, entry] { SetPath(FMaps.PathOfEntry(entry)); });
}

void TfmMobileFolder::OKExecute()
{
    RunCommand(this, [this] {
        TMobileFolderMaps::CheckPath(GetPath());
        accept();
    });
}
