// The program version check window.
#include "app/windows/fRetrieveVersionInfo.h"

#include "app/windowbase/uDialogs.h"
#include "sites/uVersionInfo.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TfmRetrieveVersionInfo::TfmRetrieveVersionInfo(QWidget* owner)
    : TTarvellModalForm(owner)
    , OwnVersion(GetFileVersionNumbers(ExecutablePath()))
    , WebSite(ProductWebSite())
{
    setObjectName(QStringLiteral("fmRetrieveVersionInfo"));
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    layout->addWidget(Label1);
    Animate1 = new QProgressBar(this);
    Animate1->setObjectName(QStringLiteral("Animate1"));
    Animate1->setTextVisible(false);
    Animate1->setRange(0, 0);
    // Shown only while the file comes; its place stays, so nothing moves.
    QSizePolicy keep = Animate1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Animate1->setSizePolicy(keep);
    Animate1->hide();
    layout->addWidget(Animate1);
    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    Timer1.setInterval(100);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    resize(380, 130);
    Retranslate();
}

void TfmRetrieveVersionInfo::Retranslate()
{
    setWindowTitle(tr("Tarvell Version Check..."));
    Button1->setText(tr("Close"));
    SetState(FState);
}

void TfmRetrieveVersionInfo::SetState(TState state)
{
    FState = state;
    QFont font = Label1->font();
    font.setBold(state != TState::Retrieving);
    Label1->setFont(font);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, state == TState::Failed ? QColor(Qt::red) : QApplication::palette().color(QPalette::WindowText));
    Label1->setPalette(palette);
    switch (state) {
    case TState::Retrieving:
        Label1->setText(tr("Retrieving version information..."));
        break;
    case TState::Newer:
        // The download question was answered No: the check is over, its result stays readable.
        Label1->setText(
            tr("A newer version of %1 is available: %2.").arg(ApplicationTitle(), VersionNumbersText(FOnline)));
        break;
    case TState::UpToDate:
        Label1->setText(tr("You have the latest version of %1.").arg(ApplicationTitle()));
        break;
    case TState::Failed:
        Label1->setText(tr("Error checking for new version"));
        break;
    }
}

void TfmRetrieveVersionInfo::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    Timer1.start();
}

void TfmRetrieveVersionInfo::Button1Click()
{
    reject();
}

void TfmRetrieveVersionInfo::Timer1Timer()
{
    Timer1.stop();
    try {
        QString text;
        {
            // The busy bar moves while the file comes; closing the window stops the download.
            Animate1->show();
            struct TStop {
                QProgressBar* Bar;
                ~TStop() { Bar->hide(); }
            } stop { Animate1 };
            text = FetchVersionFile(WebSite, [this](uint64_t, uint64_t, TUrlDownloadStatus, const QString&, bool& cancel) {
                QCoreApplication::processEvents();
                cancel = !isVisible();
            });
        }
        if (!isVisible())
            return;
        ParseVersionXml(text);
    } catch (const std::exception& e) {
        if (!isVisible())
            return;
        const auto* error = dynamic_cast<const ETarvellError*>(&e);
        const QString message = error ? error->Message() : QString::fromUtf8(e.what());
        try {
            ShowCheckError(VersionCheckErrorText(message));
        } catch (const std::exception& shown) {
            ShowCheckError(VersionCheckExceptionText(QString::fromUtf8(shown.what())));
        }
    }
}

void TfmRetrieveVersionInfo::ParseVersionXml(const QString& text)
{
    const TFileVersionNumbers online = ::ParseVersionXml(text);
    if (!CompareVersions(online, OwnVersion)) {
        SetState(TState::UpToDate);
        return;
    }
    FOnline = online;
    if (AskYesNo(this, tr("There is a new version of %1 available for download. Do you wish to goto the download page "
                          "on %2?")
                           .arg(ApplicationTitle(), WebSite))
        == IDYES) {
        OpenUrl(QUrl(WebSite + QStringLiteral("/download.htm")));
        accept();
        return;
    }
    SetState(TState::Newer);
}

void TfmRetrieveVersionInfo::ShowCheckError(const QString& message)
{
    SetState(TState::Failed);
    ShowWarning(this, message);
}
