// The local folder picker.
#include "app/windows/fBrowseFolder.h"

#include "app/logic/uFolderPickers.h"
#include "ui/ShTrees.h"

#include <QPushButton>

TfmBrowseFolder::TfmBrowseFolder(QWidget* owner, std::unique_ptr<TShellNamespace> shell)
    : TFolderPickerForm(owner)
{
    setObjectName(QStringLiteral("fmBrowseFolder"));
    ShellTreeView = new TQuorShellTreeView(this, std::move(shell));
    buOK = Build(ShellTreeView, nullptr, {});
    buOK->setObjectName(QStringLiteral("buOK"));
    connect(buOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ShellTreeView, &TQuorShellTreeView::DirectoryChanged, this, &TfmBrowseFolder::SelectionChanged);
    Retranslate();
    ShellTreeView->InitShellRoot();
    SelectionChanged();
}

void TfmBrowseFolder::Retranslate()
{
    TFolderPickerForm::Retranslate();
    setWindowTitle(tr("Select target folder..."));
    buOK->setText(tr("Select"));
}

QString TfmBrowseFolder::Directory() const { return ShellTreeView->Directory(); }

void TfmBrowseFolder::SetDirectory(const QString& directory) { ShellTreeView->SetDirectory(directory); }

void TfmBrowseFolder::SelectionChanged()
{
    const QString directory = ShellTreeView->Directory();
    const bool selectable = IsSelectableFolder(directory);
    buOK->setEnabled(selectable);
    ShowPath(selectable ? directory : QString());
}
