// The four-way overwrite question.
#include "app/fConfirmDialog.h"

#include "ui_fConfirmDialog.h"

#include "app/uDialogs.h"

#include <QApplication>
#include <QEvent>
#include <QStyle>

TfmConfirmDialog::TfmConfirmDialog(QWidget* owner)
    : TTarvellModalForm(owner)
    , ui(new Ui::TfmConfirmDialog)
{
    ui->setupUi(this);
    resize(346, 130);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    ui->laIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(size, size));
    connect(ui->buYes, &QPushButton::clicked, this, [this] { Choose(ConfirmYes); });
    connect(ui->buNo, &QPushButton::clicked, this, [this] { Choose(ConfirmNo); });
    connect(ui->buCancel, &QPushButton::clicked, this, [this] { Choose(ConfirmCancel); });
    connect(ui->buYesToAll, &QPushButton::clicked, this,
        [this] { Choose(ui->cbAlways->isChecked() ? ConfirmAlwaysYesToAll : ConfirmYesToAll); });
    Retranslate();
}

TfmConfirmDialog::~TfmConfirmDialog()
{
    delete ui;
}

void TfmConfirmDialog::Retranslate()
{
    ui->retranslateUi(this);
}

void TfmConfirmDialog::SetMessage(const QString& text)
{
    ui->Label1->setText(text);
}

void TfmConfirmDialog::Choose(int answer)
{
    FAnswer = answer;
    accept();
}

int RunConfirmDialog(const QString& message)
{
    TfmConfirmDialog dialog(QApplication::activeWindow());
    dialog.SetMessage(message);
    dialog.exec();
    return dialog.Answer();
}

int ConfirmDialog(const QString& message)
{
    return GetPrompt().Confirm(message);
}
