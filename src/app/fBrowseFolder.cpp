// The local folder picker.
#include "app/fBrowseFolder.h"

#include "app/uFolderPickers.h"
#include "formats/uConvertBase.h"
#include "ui/ShTrees.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmBrowseFolder::TfmBrowseFolder(QWidget* owner, std::unique_ptr<TShellNamespace> shell)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("fmBrowseFolder"));
    resize(420, 460);
    laInfo = new QLabel(this);
    laInfo->setWordWrap(true);
    ShellTreeView = new TQuorShellTreeView(this, std::move(shell));
    edPath = new QLineEdit(this);
    edPath->setObjectName(QStringLiteral("edPath"));
    edPath->setReadOnly(true);
    laFileType = new QLabel(this);
    coFileType = new QComboBox(this);
    coFileType->setObjectName(QStringLiteral("coFileType"));
    QStringList writers;
    FillExporterList(writers);
    coFileType->addItems(writers);
    auto* buttons = new QDialogButtonBox(this);
    buOK = buttons->addButton(QDialogButtonBox::Ok);
    buOK->setObjectName(QStringLiteral("buOK"));
    buCancel = buttons->addButton(QDialogButtonBox::Cancel);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(laFileType, coFileType);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(laInfo);
    layout->addWidget(ShellTreeView, 1);
    layout->addWidget(edPath);
    layout->addLayout(fields);
    layout->addWidget(buttons);

    connect(ShellTreeView, &TQuorShellTreeView::DirectoryChanged, this, &TfmBrowseFolder::SelectionChanged);
    Retranslate();
    ShellTreeView->InitShellRoot();
    SelectionChanged();
}

void TfmBrowseFolder::Retranslate()
{
    setWindowTitle(tr("Select target folder..."));
    laInfo->setText(tr("Select the folder where you want Tarvell to automatically update the selected poi files..."));
    laFileType->setText(tr("Target file type:"));
    buOK->setText(tr("Select"));
    buCancel->setText(tr("Cancel"));
}

void TfmBrowseFolder::SelectionChanged()
{
    const QString directory = ShellTreeView->Directory();
    const bool selectable = IsSelectableFolder(directory);
    buOK->setEnabled(selectable);
    edPath->setText(selectable ? directory : QString());
}
