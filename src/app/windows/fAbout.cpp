// The about box.
#include "app/windows/fAbout.h"

#include "app/windows/fAboutInfo.h"
#include "core/uGeneral.h"

#include <QAction>
#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <algorithm>

QUrl DonationUrl(const QString& currency)
{
    QUrl url(QStringLiteral(TARVELL_DONATION_ADDRESS));
    url.setPath(QStringLiteral("/cgi-bin/webscr"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("business"), QStringLiteral(TARVELL_DONATION_ACCOUNT));
    query.addQueryItem(QStringLiteral("item_name"), ApplicationTitle());
    query.addQueryItem(QStringLiteral("cmd"), QStringLiteral("_xclick"));
    query.addQueryItem(QStringLiteral("currency_code"), currency);
    url.setQuery(query);
    return url;
}

namespace {

// The donation picture, drawn for the project.
QPixmap DonatePicture(const QString& text, const QFont& font)
{
    QPixmap picture(120, 36);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(255, 196, 57));
    painter.setPen(QPen(QColor(180, 120, 20), 1.5));
    painter.drawRoundedRect(QRectF(1, 1, 118, 34), 14, 14);
    QFont bold = font;
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(QColor(20, 40, 90));
    painter.drawText(picture.rect(), Qt::AlignCenter, text);
    return picture;
}

} // namespace

TfmAbout::TfmAbout(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("TfmAbout"));
    resize(440, 340);
    // The version twice, the back one offset and grey: a shadow.
    auto* versionBox = new QWidget(this);
    versionBox->setFixedHeight(34);
    laVersionBack = new QLabel(versionBox);
    laVersionFront = new QLabel(versionBox);
    QFont big = font();
    big.setPointSize(big.pointSize() + 5);
    big.setBold(true);
    for (QLabel* label : { laVersionBack, laVersionFront }) {
        label->setFont(big);
        label->setAttribute(Qt::WA_TranslucentBackground);
    }
    laVersionBack->setStyleSheet(QStringLiteral("color: #a0a0a0"));
    laVersionFront->setStyleSheet(QStringLiteral("color: #1c3c78"));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setPlainText(QString::fromUtf8(TARVELL_ABOUT_TEXT));

    imgDonate = new QLabel(this);
    imgDonate->setCursor(Qt::PointingHandCursor);
    imgDonate->installEventFilter(this);
    pmDonate = new QMenu(this);
    acDonateEuros = pmDonate->addAction(QString());
    acDonateDollars = pmDonate->addAction(QString());
    connect(acDonateEuros, &QAction::triggered, this, [] { QDesktopServices::openUrl(DonationUrl(QStringLiteral("EUR"))); });
    connect(acDonateDollars, &QAction::triggered, this, [] { QDesktopServices::openUrl(DonationUrl(QStringLiteral("USD"))); });

    buClose = new QPushButton(this);
    buClose->setDefault(true);
    connect(buClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(imgDonate);
    bottom->addStretch();
    bottom->addWidget(buClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(versionBox);
    layout->addWidget(Memo1, 1);
    layout->addLayout(bottom);
    Retranslate();
}

QString TfmAbout::VersionText()
{
    const TFileVersionNumbers version = ProgramVersionNumbers();
    return QStringLiteral("v%1.%2.%3 %4 %5 - %6")
        .arg(version.Major)
        .arg(version.Minor)
        .arg(version.Release)
        .arg(tr("build"))
        .arg(version.Build)
        .arg(tr("English translation by Orvik"));
}

void TfmAbout::Retranslate()
{
    setWindowTitle(tr("About %1").arg(ApplicationTitle()));
    const QString version = VersionText();
    laVersionFront->setText(version);
    laVersionBack->setText(version);
    laVersionFront->adjustSize();
    laVersionBack->adjustSize();
    laVersionFront->move(8, 4);
    laVersionBack->move(10, 6);
    // The box grows with the text (and the window with the box), whatever the language.
    QWidget* versionBox = laVersionBack->parentWidget();
    versionBox->setMinimumWidth(laVersionBack->geometry().right() + 1);
    versionBox->setFixedHeight(std::max(34, laVersionBack->geometry().bottom() + 1));
    acDonateEuros->setText(tr("Donate Euros"));
    acDonateDollars->setText(tr("Donate U.S. Dollars"));
    imgDonate->setPixmap(DonatePicture(tr("Donate"), font()));
    buClose->setText(tr("Close"));
}

bool TfmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == imgDonate && event->type() == QEvent::MouseButtonRelease) {
        pmDonate->popup(imgDonate->mapToGlobal(imgDonate->rect().center()));
        return true;
    }
    return TTarvellModalForm::eventFilter(watched, event);
}
