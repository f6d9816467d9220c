// The parts of the folder pickers.
#include "app/windows/uFolderPickerForm.h"

#include "formats/uConvertBase.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFolderPickerForm::TFolderPickerForm(QWidget* owner)
    : TTarvellModalForm(owner)
{
    resize(420, 460);
    laInfo = new QLabel(this);
    laInfo->setWordWrap(true);
    edPath = new QLineEdit(this);
    edPath->setObjectName(QStringLiteral("edPath"));
    edPath->setReadOnly(true);
    laFileType = new QLabel(this);
    laFileType->setObjectName(QStringLiteral("laFileType"));
    coFileType = new QComboBox(this);
    coFileType->setObjectName(QStringLiteral("coFileType"));
    QStringList writers;
    FillExporterList(writers);
    coFileType->addItems(writers);
}

QPushButton* TFolderPickerForm::Build(
    QWidget* tree, QLabel* pathLabel, const std::vector<std::pair<QLabel*, QWidget*>>& rows)
{
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    FCancel = buttons->addButton(QDialogButtonBox::Cancel);
    FCancel->setObjectName(QStringLiteral("buCancel"));
    connect(FCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* fields = new QFormLayout;
    if (pathLabel)
        fields->addRow(pathLabel, edPath);
    for (const auto& [label, field] : rows)
        fields->addRow(label, field);
    fields->addRow(laFileType, coFileType);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(laInfo);
    layout->addWidget(tree, 1);
    if (!pathLabel)
        layout->addWidget(edPath);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    return ok;
}

void TFolderPickerForm::Retranslate()
{
    laInfo->setText(tr("Select the folder where you want Tarvell to automatically update the selected poi files..."));
    laFileType->setText(tr("Target file type:"));
    if (FCancel)
        FCancel->setText(tr("Cancel"));
}

int TFolderPickerForm::FileTypeIndex() const { return coFileType->currentIndex(); }

void TFolderPickerForm::SetFileTypeIndex(int row) { coFileType->setCurrentIndex(row); }

void TFolderPickerForm::SetFileTypeVisible(bool visible)
{
    coFileType->setVisible(visible);
    laFileType->setVisible(visible);
}

void TFolderPickerForm::ShowPath(const QString& path) { edPath->setText(path); }
