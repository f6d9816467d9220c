// The choose-format dialog.
#include "app/windows/fChooseFormat.h"

#include "app/logic/uOpenFile.h"
#include "formats/uConvertBase.h"
#include "ui/uIcons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmChooseFormat::TfmChooseFormat(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("fmChooseFormat"));
    auto* outer = new QHBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(BundledIcon(QStringLiteral("dialog-information")).pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    outer->addWidget(picture);
    auto* column = new QVBoxLayout;
    outer->addLayout(column);
    for (QLabel*& label : FLabels) {
        label = new QLabel(this);
        label->setWordWrap(true);
    }
    edFile = new QLineEdit(this);
    edFile->setObjectName(QStringLiteral("edFile"));
    edFile->setReadOnly(true);
    edError = new QPlainTextEdit(this);
    edError->setObjectName(QStringLiteral("edError"));
    edError->setReadOnly(true);
    edError->setFixedHeight(70);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    cbUseAsDefault = new QCheckBox(this);
    cbUseAsDefault->setObjectName(QStringLiteral("cbUseAsDefault"));
    auto* buttons = new QDialogButtonBox(this);
    buOK = buttons->addButton(QDialogButtonBox::Ok);
    buCancel = buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(FLabels[0]);
    column->addWidget(edFile);
    column->addWidget(FLabels[1]);
    column->addWidget(edError);
    column->addWidget(FLabels[2]);
    column->addWidget(FLabels[3]);
    column->addWidget(ComboBox1);
    column->addWidget(cbUseAsDefault);
    column->addWidget(buttons);
    setFixedWidth(420);
    Retranslate();
}

void TfmChooseFormat::Retranslate()
{
    setWindowTitle(tr("File open error..."));
    FLabels[0]->setText(tr("There was a problem opening the following file:"));
    FLabels[1]->setText(tr("because of the following error:"));
    FLabels[2]->setText(tr("Would you like to try to open it using one of the other formats (listed below) "
                           "associated with this extension?"));
    FLabels[3]->setText(tr("Try with following format:"));
    cbUseAsDefault->setText(tr("In the future, use this format as the default"));
}

void TfmChooseFormat::SetErrorText(const QString& text)
{
    FErrorText = text;
    edError->setPlainText(text);
}

QString TfmChooseFormat::GetFormat() const
{
    const int i = ComboBox1->currentIndex();
    return i >= 0 && size_t(i) < FRows.size() ? TConvertFromBase::FormatIDAt(FRows[size_t(i)]) : QString();
}

bool TfmChooseFormat::GetUseAsDefault() const { return cbUseAsDefault->isChecked(); }

void TfmChooseFormat::FormShow()
{
    edFile->setText(FileName);
    ComboBox1->clear();
    FRows = TOpenFile::ReaderRows(Extension);
    for (const int row : FRows)
        ComboBox1->addItem(TConvertFromBase::Description(row));
    ComboBox1->setCurrentIndex(std::min(TOpenFile::PreselectedReader(FRows, TriedFormat), ComboBox1->count() - 1));
}

void TfmChooseFormat::showEvent(QShowEvent* event)
{
    FormShow();
    TTarvellModalForm::showEvent(event);
}
