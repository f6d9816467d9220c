// The device folder picker.
#include "app/windows/fMobileFolder.h"

#include "core/uLocations.h"

#include "app/windows/fMobileBrowser.h"
#include "app/windowbase/uDialogs.h"
#include "app/windows/uTreeViewCe.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

TfmMobileFolder::TfmMobileFolder(QWidget* owner)
    : TFolderPickerForm(owner)
{
    setObjectName(QStringLiteral("fmMobileFolder"));
    TreeViewCe1 = new TTreeViewCe(this);
    TreeViewCe1->setObjectName(QStringLiteral("TreeViewCe1"));
    TreeViewCe1->Images = { DevicePicture(TDevicePicture::Folder), DevicePicture(TDevicePicture::FolderOpen),
        DevicePicture(TDevicePicture::Map) };
    TreeViewCe1->FolderIndex = 0;
    TreeViewCe1->FolderSelectedIndex = 0;
    TreeViewCe1->FolderExpandedIndex = 1;
    laPath = new QLabel(this);
    laMaps = new QLabel(this);
    coMaps = new QComboBox(this);
    coMaps->setObjectName(QStringLiteral("coMaps"));
    buOpen = Build(TreeViewCe1, laPath, { { laMaps, coMaps } });
    buOpen->setObjectName(QStringLiteral("buOpen"));

    // The device is read here: its errors reach the caller.
    FMaps.Fill();
    Retranslate();
    coMaps->setCurrentIndex(0);

    connect(coMaps, &QComboBox::activated, this, &TfmMobileFolder::MapChosen);
    connect(TreeViewCe1, &QTreeWidget::itemSelectionChanged, this, &TfmMobileFolder::SelectionChanged);
    connect(buOpen, &QPushButton::clicked, this, &TfmMobileFolder::OKExecute);
}

void TfmMobileFolder::Retranslate()
{
    TFolderPickerForm::Retranslate();
    setWindowTitle(tr("Select Mobile Folder..."));
    laPath->setText(tr("Selected path:"));
    laMaps->setText(tr("TomTom Maps:"));
    buOpen->setText(tr("OK"));
    const int current = coMaps->currentIndex();
    const QSignalBlocker blocker(coMaps);
    coMaps->clear();
    const QStringList entries = FMaps.Entries();
    for (qsizetype i = 0; i < entries.size(); ++i)
        // A map's name may be a device folder's: shown escaped like every device name.
        coMaps->addItem(i == 0 ? QIcon() : DevicePicture(TDevicePicture::Map), i == 0 ? entries[i] : VisibleDeviceName(entries[i]));
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

void TfmMobileFolder::SelectionChanged()
{
    const QString path = GetPath();
    ShowPath(VisibleDevicePath(path));
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
