// The update status window and the routines that start a run.
#include "app/windows/fStatus.h"

#include "app/windowbase/dMain.h"
#include "app/windowbase/uDialogs.h"
#include "core/uSettings.h"
#include "sites/uUpdateItems.h"
#include "ui/PngImageComp.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor RunningRowColour(166, 202, 240);

// A hint shown as the plain text it is, line breaks included: a tool tip that looks like rich
// text would be read as such.
QString PlainToolTip(const QString& text)
{
    if (text.isEmpty())
        return text;
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    return Qt::convertFromPlainText(lines, Qt::WhiteSpaceNormal);
}

// A one-line text cut with "..." to the room it gets: a long site text must not widen every row
// and push the icons out of view. text() keeps the whole text, which the hint shows.
class TElidedLabel : public QLabel {
public:
    TElidedLabel(const QString& text, QWidget* parent)
        : QLabel(text, parent)
    {
        setTextFormat(Qt::PlainText);
    }
    QSize minimumSizeHint() const override { return QSize(1, QLabel::minimumSizeHint().height()); }
    QSize sizeHint() const override { return QSize(1, QLabel::sizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect room = contentsRect();
        QString line = text();
        line.replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' '));
        style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(),
            fontMetrics().elidedText(line, Qt::ElideRight, room.width()), foregroundRole());
    }
};

} // namespace

int StatusImageIndex(TRowState state)
{
    switch (state) {
    case TRowState::Working:
        return 4;
    case TRowState::Done:
        return 5;
    case TRowState::Failed:
        return 6;
    case TRowState::Waiting:
    case TRowState::Cancelled:
        break;
    }
    return 3;
}

TfmStatus::TfmStatus(QWidget* owner, bool compact)
    : TTarvellModalForm(owner)
{
    if (compact) {
        // Not above the owner, which may be hidden in the tray.
        setParent(nullptr, windowFlags());
        Position = TFormPosition::poDesigned;
    }
    setObjectName(QStringLiteral("fmStatus"));
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
        & ~(Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint | Qt::WindowSystemMenuHint));
    resize(480, 360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    FScrollBox = new QScrollArea(this);
    FScrollBox->setObjectName(QStringLiteral("ScrollBox1"));
    FScrollBox->setWidgetResizable(true);
    FScrollBox->setFrameShape(QFrame::StyledPanel);
    auto* rows = new QWidget(FScrollBox);
    FRowsLayout = new QVBoxLayout(rows);
    FRowsLayout->setContentsMargins(0, 0, 0, 0);
    FRowsLayout->setSpacing(0);
    FRowsLayout->addStretch(1);
    FScrollBox->setWidget(rows);
    layout->addWidget(FScrollBox, 1);

    FTotal = new QLabel(this);
    FTotal->setObjectName(QStringLiteral("laTotalProgress"));
    FTotal->setTextFormat(Qt::PlainText);
    layout->addWidget(FTotal);
    FMain = new QProgressBar(this);
    FMain->setObjectName(QStringLiteral("pbMain"));
    FMain->setRange(0, 100);
    FMain->setValue(0);
    layout->addWidget(FMain);
    auto* buttons = new QHBoxLayout;
    FAutoClose = new QCheckBox(this);
    FAutoClose->setObjectName(QStringLiteral("cbAutoclose"));
    FAutoClose->setChecked(GetSettings().StatusAutoClose);
    connect(FAutoClose, &QCheckBox::clicked, this, [](bool on) { GetSettings().StatusAutoClose = on; });
    FClose = new QPushButton(this);
    FClose->setObjectName(QStringLiteral("buClose"));
    connect(FClose, &QPushButton::clicked, this, &TfmStatus::CloseClick);
    buttons->addWidget(FAutoClose);
    buttons->addStretch(1);
    buttons->addWidget(FClose);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    FTimer1.setInterval(1000);
    FTimer1.setSingleShot(true);
    connect(&FTimer1, &QTimer::timeout, this, &TfmStatus::Timer1Timer);

    FRun.Progress = this;
    FRun.Host = this;
    Retranslate();
}

TfmStatus::~TfmStatus() = default;

void TfmStatus::Retranslate()
{
    setWindowTitle(tr("Tarvell AutoUpdate Status..."));
    FClose->setText(FRun.Finished() ? tr("Close") : tr("Cancel"));
    FAutoClose->setText(tr("Auto close"));
}

void TfmStatus::SetSilent(bool silent)
{
    FRun.SetSilent(silent);
}

void TfmStatus::SetItems(TUpdateItems& items)
{
    const int before = FRun.RowCount();
    FRun.SetItems(items);
    for (int i = before; i < FRun.RowCount(); ++i) {
        AddRowControls(i);
        // Every new control posts events, and each post looks through all that wait: delivered
        // now and then, tens of thousands of rows take seconds, not minutes.
        if ((i - before) % 256 == 255)
            QCoreApplication::sendPostedEvents();
    }
}

void TfmStatus::AddRowControls(int row)
{
    const TUpdateRow& data = FRun.Row(row);
    const QString n = QString::number(row);
    TRowControls c;
    c.Panel = new QFrame;
    c.Panel->setObjectName(QStringLiteral("Panel") + n);
    c.Panel->setFrameShape(QFrame::StyledPanel);
    c.Panel->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(c.Panel);
    layout->setContentsMargins(4, 4, 4, 4);
    c.Image = new TPngImageComp(c.Panel);
    c.Image->setObjectName(QStringLiteral("Image") + n);
    c.Image->setFixedWidth(52);
    c.Image->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    c.Image->SetLayout(TLayoutMode::lmCenter);
    if (TdmMain* images = dmMain())
        c.Image->SetPngImageCollection(&images->PngImageCollection1);
    layout->addWidget(c.Image);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    // Site texts are never read as rich text.
    c.Label = new TElidedLabel(data.Caption, c.Panel);
    c.Label->setObjectName(QStringLiteral("Label") + n);
    c.Label->setToolTip(PlainToolTip(data.Caption));
    texts->addWidget(c.Label);
    if (data.Item) {
        c.TargetLabel = new TElidedLabel(data.TargetText, c.Panel);
        c.TargetLabel->setObjectName(QStringLiteral("TargetLabel") + n);
        c.TargetLabel->setToolTip(PlainToolTip(data.TargetText));
        texts->addWidget(c.TargetLabel);
    }
    c.StatusLabel = new QLabel(c.Panel);
    c.StatusLabel->setObjectName(QStringLiteral("StatusLabel") + n);
    c.StatusLabel->setTextFormat(Qt::PlainText);
    c.StatusLabel->setMinimumWidth(1);
    texts->addWidget(c.StatusLabel);
    c.ProgressBar = new QProgressBar(c.Panel);
    c.ProgressBar->setObjectName(QStringLiteral("ProgressBar") + n);
    c.ProgressBar->setRange(0, 100);
    c.ProgressBar->setMaximumHeight(c.StatusLabel->sizeHint().height());
    texts->addWidget(c.ProgressBar);
    layout->addLayout(texts, 1);
    FRowsLayout->insertWidget(FRowsLayout->count() - 1, c.Panel);
    FRows.push_back(c);
    RowChanged(row);
}

void TfmStatus::RowChanged(int row)
{
    const TUpdateRow& data = FRun.Row(row);
    TRowControls& c = FRows[size_t(row)];
    // Downloads report often: only what changed is set again.
    const int icon = StatusImageIndex(data.State);
    if (icon != c.Icon) {
        c.Image->SetImageIndex(icon);
        c.Icon = icon;
    }
    if (c.StatusLabel->text() != data.StatusText)
        c.StatusLabel->setText(data.StatusText);
    if (c.Hint != data.Hint) {
        c.StatusLabel->setToolTip(PlainToolTip(data.Hint));
        c.Hint = data.Hint;
    }
    c.ProgressBar->setValue(data.Percent);
    QColor colour = palette().color(QPalette::Base);
    if (data.Shade == TRowShade::Current)
        colour = RunningRowColour;
    else if (data.Shade == TRowShade::Processed)
        colour = palette().color(QPalette::Button);
    QPalette p = c.Panel->palette();
    if (p.color(QPalette::Window) != colour) {
        p.setColor(QPalette::Window, colour);
        c.Panel->setPalette(p);
    }
}

void TfmStatus::RowStarted(int row)
{
    // The next row comes into view too while two rows fit.
    const QFrame* panel = FRows[size_t(row)].Panel;
    const int shown
        = row + 1 < FRun.RowCount() && 2 * panel->height() < FScrollBox->viewport()->height() ? row + 1 : row;
    FScrollBox->ensureWidgetVisible(FRows[size_t(shown)].Panel, 0, 0);
}

void TfmStatus::TotalChanged()
{
    FTotal->setText(FRun.TotalText());
    FMain->setValue(FRun.TotalPercent());
}

void TfmStatus::ProcessEvents()
{
    // The run is synchronous on the GUI thread; this is where its Cancel button (and everything
    // else) is handled. Escape and the button only ask the run to stop (reject), and
    // RunAutoUpdate refuses a second run, so nothing re-enters or closes the run under it.
    QCoreApplication::processEvents();
}

TOverwriteAnswer TfmStatus::Ask(const QString& message)
{
    // A box closed without an answer answers Cancel.
    const int answer = GetPrompt().Confirm(message);
    return answer >= 0 && answer <= 4 ? TOverwriteAnswer(answer) : TOverwriteAnswer::Cancel;
}

bool TfmStatus::AskContinue(const QString& message, bool& continueOnErrors)
{
    return GetPrompt().MessageDlgWithCheckBox(message, continueOnErrors, TMsgDlgType::mtConfirmation,
               tr("Continue on subsequent errors"), mbYes | mbNo)
        == IDYES;
}

void TfmStatus::ShowWarning(const QString& message)
{
    ::ShowWarning(this, message);
}

bool TfmStatus::StartProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool TfmStatus::OpenDocument(const QString& fileName)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
}

void TfmStatus::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    if (FRun.Running() || FRun.Finished() || FTimer1.isActive())
        return;
    TotalChanged();
    FTimer1.start();
}

void TfmStatus::reject()
{
    // Escape and the window manager's close cancel a run like the button; the window only
    // closes once the run is over.
    if (FRun.Running())
        CloseClick();
    else
        TTarvellModalForm::reject();
}

void TfmStatus::CloseClick()
{
    if (FRun.Running())
        FRun.Cancel();
    else
        TTarvellModalForm::reject();
}

void TfmStatus::Timer1Timer()
{
    FTimer1.stop();
    if (!FRun.Execute())
        return;
    Retranslate();
    if (FRun.ClosesWhenDone())
        accept();
}

// --- starting a run -----------------------------------------------------------------------------

void RunAutoUpdate(QWidget* owner, bool compact, TUpdateItems& items, bool silent)
{
    // Reached from the events a run processes (the update timer, a profile menu): refused, the
    // run under way goes on.
    if (TUpdateRun::AnyRunning())
        return;
    const THourglass hourglass;
    TfmStatus form(owner, compact);
    form.SetSilent(silent);
    TSettings& settings = GetSettings();
    int& width = compact ? settings.StatusTrayWidth : settings.StatusWidth;
    int& height = compact ? settings.StatusTrayHeight : settings.StatusHeight;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize full = screen ? screen->size() : area.size();
    QSize size = form.size();
    if (width != -1)
        size.setWidth(std::min(std::max(width, 50), full.width()));
    if (height != -1)
        size.setHeight(std::min(std::max(height, 50), full.height()));
    form.resize(size);
    if (compact)
        form.move(area.x() + area.width() - size.width(), area.y() + area.height() - size.height());
    form.SetItems(items);
    form.exec();
    width = form.width();
    height = form.height();
}

namespace {
void RunSorted(QWidget* owner, bool compact, const std::vector<TUpdateItems*>& profiles, bool silent)
{
    const std::unique_ptr<TUpdateItems> view = TUpdateItems::CreateView();
    for (const TUpdateItems* profile : profiles)
        profile->AddItemsTo(*view);
    view->SortBySite();
    RunAutoUpdate(owner, compact, *view, silent);
}
} // namespace

void RunAutoUpdateProfile(QWidget* owner, const QString& profileName)
{
    RunSorted(owner, false, { &FindAutoUpdateProfile(profileName) }, false);
}

void RunAutoUpdateProfile(QWidget* owner, int profileIndex)
{
    RunSorted(owner, false, { &GetAutoUpdateProfile(profileIndex) }, false);
}

void RunAutoUpdateAll(QWidget* owner, bool compact, bool silent)
{
    std::vector<TUpdateItems*> profiles;
    for (int i = 0; i < AutoUpdateProfileCount(); ++i)
        profiles.push_back(&GetAutoUpdateProfile(i));
    RunSorted(owner, compact, profiles, silent);
}

void RunAutoUpdateProfiles(QWidget* owner, const QStringList& profileNames, bool compact, bool silent)
{
    std::vector<TUpdateItems*> profiles;
    for (const QString& name : profileNames) {
        TUpdateItems* profile = &FindAutoUpdateProfile(name);
        if (std::find(profiles.begin(), profiles.end(), profile) == profiles.end())
            profiles.push_back(profile);
    }
    RunSorted(owner, compact, profiles, silent);
}
