// The four-way overwrite question.
#include "app/windowbase/fConfirmDialog.h"

#include "app/windowbase/uDialogs.h"
#include "ui/uIcons.h"

#include <QApplication>
#include <QEvent>
#include <QStyle>

TfmConfirmDialog::TfmConfirmDialog(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setupUi(this);
    resize(346, 130);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    laIcon->setPixmap(BundledIcon(QStringLiteral("dialog-question")).pixmap(size, size));
    connect(buYes, &QPushButton::clicked, this, [this] { Choose(ConfirmYes); });
    connect(buNo, &QPushButton::clicked, this, [this] { Choose(ConfirmNo); });
    connect(buCancel, &QPushButton::clicked, this, [this] { Choose(ConfirmCancel); });
    connect(buYesToAll, &QPushButton::clicked, this,
        [this] { Choose(cbAlways->isChecked() ? ConfirmAlwaysYesToAll : ConfirmYesToAll); });
    Retranslate();
}

void TfmConfirmDialog::Retranslate()
{
    retranslateUi(this);
}

void TfmConfirmDialog::SetMessage(const QString& text)
{
    Label1->setTextFormat(Qt::PlainText);
    Label1->setText(text);
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
