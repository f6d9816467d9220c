// The exception box and the helper process that shows it.
#include "crashreport/windows/VostExceptBox.h"

#include "crashreport/windows/VostPrint.h"
#include "crashreport/windows/VostProgressPopup.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <utility>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ButtonHeight = 22;
constexpr int ButtonGap = 4;
constexpr int RowHeight = 26;
constexpr int ButtonPadding = 35;

const char* const PictureNames[8]
    = { "vxiMail", "vxiSave", "vxiPrint", "vxiShow", "vxiContinue", "vxiRestart", "vxiClose", "vxiCantContinue" };

QIcon Picture(const char* name)
{
    return QIcon(QStringLiteral(":/vostexcept/%1.svg").arg(QLatin1String(name)));
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TBoxLayout ComputeBoxLayout(const TBoxLayoutInput& input)
{
    TBoxLayout layout;
    int widths[7];
    std::vector<int> left, right;
    for (int i = 0; i < 7; ++i) {
        widths[i] = input.ButtonTextWidths[i] > 0 ? input.ButtonTextWidths[i] + ButtonPadding : 0;
        if (widths[i] > 0)
            (i <= caShow ? left : right).push_back(i);
    }
    const auto sum = [&widths](const std::vector<int>& group) {
        int total = 0;
        for (const int i : group)
            total += widths[i];
        return total + (group.empty() ? 0 : ButtonGap * (static_cast<int>(group.size()) - 1));
    };
    layout.Stacked = right.size() >= 2 && !left.empty();
    int columnWidth = 0;
    for (const int i : right)
        columnWidth = std::max(columnWidth, widths[i]);
    // The gaps count too: the sum alone would let neighbouring buttons overlap.
    const int needed = layout.Stacked ? sum(left) + ButtonGap + columnWidth + 14
                                      : sum(left) + sum(right) + (left.empty() || right.empty() ? 0 : ButtonGap) + 14;
    layout.ClientWidth = std::max(BoxMinWidth, needed);
    layout.TextX = input.BigIcon ? 51 : 11;
    layout.TextWidth = layout.ClientWidth - layout.TextX - 11;
    // A column of three rises beside the text: the text then wraps before it, never beneath it.
    if (layout.Stacked && right.size() >= 3)
        layout.TextWidth = std::min(layout.TextWidth, layout.ClientWidth - 8 - columnWidth - 8 - layout.TextX);
    layout.TextHeight = input.TextHeight ? input.TextHeight(layout.TextWidth) : 0;
    layout.TextY = input.BigIcon ? std::max(12, 10 + (32 - layout.TextHeight) / 2) : 12;
    const bool iconTaller = input.BigIcon && 32 > layout.TextHeight;
    const int top = iconTaller ? 12 + 31 : layout.TextY + layout.TextHeight + 5;
    int bottom = 0;
    const auto place = [&](int i, int x, int y, int width) {
        layout.Buttons[i] = QRect(x, y, width, ButtonHeight);
        bottom = std::max(bottom, y + ButtonHeight);
    };
    if (layout.Stacked) {
        const int columnTop = right.size() >= 3 ? std::max(7, top - RowHeight) : top;
        const int columnX = layout.ClientWidth - 8 - columnWidth;
        for (size_t r = 0; r < right.size(); ++r)
            place(right[r], columnX, columnTop + RowHeight * static_cast<int>(r), columnWidth);
        const int lastRow = columnTop + RowHeight * static_cast<int>(right.size() - 1);
        int x = 6;
        for (const int i : left) {
            place(i, x, lastRow, widths[i]);
            x += widths[i] + ButtonGap;
        }
    } else {
        const int row = top + RowHeight;
        int x = 6;
        for (const int i : left) {
            place(i, x, row, widths[i]);
            x += widths[i] + ButtonGap;
        }
        x = layout.ClientWidth - 8 - sum(right);
        for (const int i : right) {
            place(i, x, row, widths[i]);
            x += widths[i] + ButtonGap;
        }
    }
    layout.ClientHeight = std::max(bottom, layout.TextY + layout.TextHeight) + 8;
    return layout;
}

TBoxButton::TBoxButton(int action, QWidget* parent)
    : QPushButton(parent)
    , FAction(action)
{
    setIcon(Picture(PictureNames[action]));
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::StrongFocus);
}

void TBoxButton::paintEvent(QPaintEvent* event)
{
    if (!OwnerDrawn) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QColor face = palette().color(QPalette::Button);
    // Hot and pressed states shift each channel by 16, the way that keeps the colour in range.
    const int shift = isDown() ? -16 : (underMouse() ? 16 : 0);
    const auto shifted = [](QColor colour, int by) {
        const bool up = colour.red() + by <= 255 && colour.green() + by <= 255 && colour.blue() + by <= 255;
        const int d = up ? by : -by;
        return QColor(std::clamp(colour.red() + d, 0, 255), std::clamp(colour.green() + d, 0, 255),
            std::clamp(colour.blue() + d, 0, 255));
    };
    if (shift != 0)
        face = shifted(face, isEnabled() ? shift : shift / 2);
    painter.fillRect(rect(), face);
    if (Progress > 0)
        painter.fillRect(QRect(1, 1, std::min(Progress, width() - 2), height() - 2),
            palette().color(QPalette::Highlight).lighter(160));
    painter.setPen(hasFocus() ? palette().color(QPalette::Highlight) : palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    icon().paint(&painter, QRect(3, 3, 16, 16), Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(rect().adjusted(22, 0, -3, 0), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

TExceptionBox::TExceptionBox(const TBoxData& data, TBoxActionTarget& target, QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
    , FData(data)
    , FTarget(target)
{
    setObjectName(QStringLiteral("TExceptionBox"));
    setWindowTitle(FromUtf8(FData.Title));
    setWindowIcon(Picture("vxiBigIcon"));
    Clock = [] { return QDateTime::currentMSecsSinceEpoch(); };

    FIcon = new QLabel(this);
    FIcon->setPixmap(Picture("vxiBigIcon").pixmap(32, 32));
    FIcon->setGeometry(9, 10, 32, 32);
    QString text = FromUtf8(FData.Text);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    FText = new QLabel(text, this);
    FText->setWordWrap(true);
    FText->setTextFormat(Qt::PlainText);
    FText->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    TBoxLayoutInput input;
    const QFontMetrics metrics(font());
    const bool restartOrClose = !FData.Captions[caRestart].empty() || !FData.Captions[caClose].empty();
    for (int i = 0; i < 7; ++i) {
        const QString caption = FromUtf8(FData.Captions[i]);
        if (caption.isEmpty())
            continue;
        input.ButtonTextWidths[i] = std::max(1, metrics.horizontalAdvance(QString(caption).remove(QLatin1Char('&'))));
        auto* button = new TBoxButton(i, this);
        button->setText(caption);
        button->OwnerDrawn = FData.OwnerDrawnButtons;
        if (i == caContinue && !FData.CanContinue && restartOrClose) {
            button->setEnabled(false);
            button->setIcon(Picture(PictureNames[7]));
        }
        connect(button, &QPushButton::clicked, this, [this, i] {
            StopCountdown();
            Press(i);
        });
        FButtons[i] = button;
    }
    input.ShowReportAtOnce = FData.ShowReportAtOnce;
    input.TextHeight = [this](int width) {
        return QFontMetrics(FText->font())
            .boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, FText->text())
            .height();
    };
    FLayout = ComputeBoxLayout(input);
    FText->setGeometry(FLayout.TextX, FLayout.TextY, FLayout.TextWidth, FLayout.TextHeight);
    for (int i = 0; i < 7; ++i)
        if (FButtons[i])
            FButtons[i]->setGeometry(FLayout.Buttons[i]);

    const bool reportPossible
        = FButtons[caShow] || FButtons[caMail] || FButtons[caSave] || FButtons[caPrint] || FData.ShowReportAtOnce;
    if (reportPossible) {
        FPanel = new QFrame(this);
        FPanel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        FPanel->setGeometry(6, FLayout.ClientHeight, FLayout.ClientWidth - 12, ReportPanelHeight - 6);
        auto* panelLayout = new QVBoxLayout(FPanel);
        panelLayout->setContentsMargins(1, 1, 1, 1);
        FReport = new QPlainTextEdit(FPanel);
        FReport->setObjectName(QStringLiteral("bugReport"));
        FReport->setReadOnly(true);
        FReport->setLineWrapMode(QPlainTextEdit::NoWrap);
        FReport->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        FReport->setFocusPolicy(Qt::ClickFocus);
        QString report = FromUtf8(FData.Report);
        FReport->setPlainText(report.replace(QLatin1String("\r\n"), QLatin1String("\n")));
        panelLayout->addWidget(FReport);
        FPanel->setVisible(FData.ShowReportAtOnce);
    }
    const int height = FLayout.ClientHeight + (FData.ShowReportAtOnce && FPanel ? ReportPanelHeight : 0);
    setFixedSize(FLayout.ClientWidth, height);
    if (FData.ShowReportAtOnce && FData.CopyReportToClipboard && QGuiApplication::clipboard())
        QGuiApplication::clipboard()->setText(FromUtf8(FData.Report));

    if (FData.DefaultButton < 7 && FButtons[FData.DefaultButton]) {
        FButtons[FData.DefaultButton]->setDefault(true);
        FButtons[FData.DefaultButton]->setFocus();
    }
    FTimer = new QTimer(this);
    FTimer->setInterval(10);
    connect(FTimer, &QTimer::timeout, this, &TExceptionBox::Tick);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, this->height() / 2));
}

bool TExceptionBox::ReportShown() const
{
    return FPanel && FPanel->isVisible();
}

void TExceptionBox::Tick()
{
    if (!FTimer->isActive() || FData.AutoActionDelay == 0 || FData.CountdownButton < 0)
        return;
    TBoxButton* button = FButtons[FData.CountdownButton];
    const qint64 elapsed = std::max<qint64>(0, Clock() - FCountdownStart);
    const qint64 delay = FData.AutoActionDelay;
    const int width = static_cast<int>((elapsed * button->width() + delay * 500) / (delay * 1000));
    if (width == FCountdownWidth)
        return;
    FCountdownWidth = width;
    if (width > button->width()) {
        StopCountdown();
        Press(button->Action());
        return;
    }
    button->Progress = width;
    button->update();
}

void TExceptionBox::StopCountdown()
{
    FTimer->stop();
    if (FData.CountdownButton >= 0 && FButtons[FData.CountdownButton]) {
        FButtons[FData.CountdownButton]->Progress = 0;
        FButtons[FData.CountdownButton]->update();
    }
}

void TExceptionBox::FreezeOver()
{
    Finish(caContinue);
}

void TExceptionBox::ShowReport()
{
    if (!FPanel || FPanel->isVisible())
        return;
    if (FData.CopyReportToClipboard && QGuiApplication::clipboard())
        QGuiApplication::clipboard()->setText(FromUtf8(FData.Report));
    FPanel->show();
    if (TBoxButton* show = FButtons[caShow]) {
        FButtons[caShow] = nullptr;
        show->hide();
        show->deleteLater();
    }
    // Within the screen: a small screen gets a shorter panel (the report scrolls in it), and the
    // box moves up as far as its growth would take it past the bottom.
    QRect area;
    if (AvailableArea)
        area = AvailableArea();
    else if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    int grow = ReportPanelHeight;
    const int frame = frameGeometry().height() - height();
    if (area.isValid())
        grow = std::clamp(area.height() - frame - height(), std::min(MinReportPanelHeight, grow), grow);
    FPanel->resize(FPanel->width(), grow - 6);
    setFixedSize(std::max(width(), BoxMinWidth), height() + grow);
    if (area.isValid()) {
        const QRect outer = frameGeometry();
        const int over = outer.bottom() - area.bottom();
        if (over > 0)
            move(x(), std::max(y() - over, area.top()));
    }
}

void TExceptionBox::Press(int action)
{
    if (FFinished || action < 0 || action > 6)
        return;
    switch (action) {
    case caShow:
        if (FTarget.Run(caShow, {}) != TBoxActionTarget::Handled)
            ShowReport();
        break;
    case caMail: {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const TBoxActionTarget::TResult result = FTarget.Run(caMail, {});
        QApplication::restoreOverrideCursor();
        if (result == TBoxActionTarget::NotAvailable)
            QMessageBox::information(this, windowTitle(), FromUtf8(FData.MailUnavailableText));
        for (const TMailNote& note : FTarget.TakeNotes()) {
            if (note.Error)
                QMessageBox::warning(this, FromUtf8(note.Caption), FromUtf8(note.Text));
            else
                QMessageBox::information(this, FromUtf8(note.Caption), FromUtf8(note.Text));
        }
        break;
    }
    case caSave: {
        std::string path = FData.SaveFileName;
        if (!FData.SaveFileAbsolute) {
            const QString folder = FromUtf8(FData.SaveFolder), name = FromUtf8(FData.SaveFileName);
            const QString title = FromUtf8(FData.SaveDialogTitle);
            // The report is appended to the file chosen: nothing is replaced, so nothing to confirm.
            const QString chosen = AskSavePath ? AskSavePath(folder, name, title)
                                               : QFileDialog::getSaveFileName(this, title,
                                                   folder + QLatin1Char('/') + name, FromUtf8(FData.SaveFilter),
                                                   nullptr, QFileDialog::DontConfirmOverwrite);
            if (chosen.isEmpty())
                break;
            path = chosen.toStdString();
        }
        const TBoxActionTarget::TResult result = FTarget.Run(caSave, path);
        QApplication::beep();
        // A full disk or a file-size limit: the user learns that the report is not there.
        if (result == TBoxActionTarget::Failed) {
            const QString text = FromUtf8(FData.SaveFailedText).arg(FromUtf8(path));
            if (ShowSaveFailure)
                ShowSaveFailure(text);
            else
                QMessageBox::warning(this, FromUtf8(FData.SaveDialogTitle), text);
        }
        if (result == TBoxActionTarget::Done && FData.SaveFileAbsolute && FButtons[caSave]) {
            FButtons[caSave]->hide();
            FButtons[caSave]->deleteLater();
            FButtons[caSave] = nullptr;
        }
        break;
    }
    case caPrint:
        if (FTarget.Run(caPrint, {}) != TBoxActionTarget::Handled) {
            QString report = FromUtf8(FData.Report);
            if (PrintText)
                PrintText(report);
            else
                PrintReportText(report, this, FromUtf8(FData.PrintDocumentName));
        }
        QApplication::beep();
        break;
    case caContinue:
        FTarget.Run(caContinue, {});
        Finish(caContinue);
        break;
    case caRestart:
    case caClose:
        // The crashed process ends itself (unless a handler took it over); the box goes either way.
        FTarget.Run(static_cast<TCrashAction>(action), {});
        Finish(static_cast<TCrashAction>(action));
        break;
    }
}

void TExceptionBox::CloseRequest()
{
    StopCountdown();
    const TCrashAction action = CloseRequestAction(FData);
    if (FButtons[action] && FButtons[action]->isEnabled())
        Press(action);
    else
        Finish(action);
}

void TExceptionBox::Finish(TCrashAction action)
{
    if (FFinished)
        return;
    FFinished = true;
    FFinal = action;
    StopCountdown();
    accept();
}

void TExceptionBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        CloseRequest();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TExceptionBox::closeEvent(QCloseEvent* event)
{
    if (!FFinished) {
        event->ignore();
        CloseRequest();
        return;
    }
    QDialog::closeEvent(event);
}

void TExceptionBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The count starts when the user can see it.
    if (!FCountdownStarted && FData.OwnerDrawnButtons && FData.CountdownButton >= 0 && FButtons[FData.CountdownButton]
        && FData.AutoActionDelay > 0) {
        FCountdownStarted = true;
        FCountdownStart = Clock();
        FTimer->start();
    }
    QApplication::beep();
    raise();
    activateWindow();
}

namespace {

// The crashed process at the other end of the socket.
class TSocketTarget : public TBoxActionTarget {
public:
    explicit TSocketTarget(int fd)
        : FFd(fd)
    {
    }
    TResult Run(TCrashAction action, const std::string& path) override
    {
        std::string payload(1, static_cast<char>('0' + action));
        payload += path;
        if (!WriteBoxMessage(FFd, bmAction, payload))
            return Failed;
        for (;;) {
            uint32_t type = 0;
            std::string reply;
            // Keep the window painted while the crashed process works (mail may take a while).
            pollfd entry { FFd, POLLIN, 0 };
            while (::poll(&entry, 1, 50) == 0)
                QCoreApplication::processEvents(
                    QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
            // No reply at all: the process has gone (restart, close) or died.
            if (!ReadBoxMessage(FFd, type, reply))
                return Done;
            if (type == bmFreezeOver) {
                FreezeOverPending = true;
                continue;
            }
            if (type != bmActionResult)
                continue;
            if (reply == "h")
                return Handled;
            if (reply == "n")
                return NotAvailable;
            if (!reply.empty())
                FNotes = DecodeMailNotes(std::string_view(reply).substr(1));
            return !reply.empty() && reply[0] == '1' ? Done : Failed;
        }
    }
    std::vector<TMailNote> TakeNotes() override { return std::exchange(FNotes, {}); }
    bool FreezeOverPending = false;

private:
    int FFd;
    std::vector<TMailNote> FNotes;
};

} // namespace

bool ServeProgressMessages(int fd, TProgressPopup& popup, TBoxData& data, int idleMs)
{
    int idle = 0;
    for (;;) {
        pollfd entry { fd, POLLIN, 0 };
        const int ready = ::poll(&entry, 1, 50);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0) {
            idle += 50;
            if (idle >= idleMs)
                break;
            continue;
        }
        idle = 0;
        uint32_t type = 0;
        std::string payload;
        if (!ReadBoxMessage(fd, type, payload, 1000))
            break;
        if (type == bmBoxData) {
            popup.Close();
            return DecodeBoxData(payload, data);
        }
        uint32_t permille = 0;
        std::string format;
        if (type == bmProgress && DecodeProgressMessage(payload, permille, format)) {
            popup.SetPercentFormat(QString::fromUtf8(format));
            popup.Show(permille);
        } else if (type == bmProgressDone) {
            popup.Close();
        }
    }
    popup.Close();
    return false;
}

int RunExceptionBoxHelper(int argc, char** argv)
{
    int in = -1, out = -1;
    if (!ParseBoxHelperSwitch(argc, argv, in, out) || in < 0)
        return 0;
    struct stat info { };
    if (::fstat(in, &info) != 0 || !S_ISSOCK(info.st_mode))
        return 0;
    uint32_t type = 0;
    std::string payload;
    TBoxData data;
    if (!ReadBoxMessage(in, type, payload, 5000) || (type != bmBoxData && type != bmProgress))
        return 0;
    if (type == bmBoxData && !DecodeBoxData(payload, data))
        return 0;
    // Printing to a file past a file-size limit fails with an error, never kills the box.
    if (const auto previous = ::signal(SIGXFSZ, SIG_IGN); previous != SIG_DFL && previous != SIG_ERR)
        ::signal(SIGXFSZ, previous);
    int appArgc = 1;
    QApplication app(appArgc, argv);
    if (type == bmProgress) {
        // Started while the report is composed: the popup first, the box when the report is there.
        TProgressPopup popup;
        uint32_t permille = 0;
        std::string format;
        if (DecodeProgressMessage(payload, permille, format)) {
            popup.SetPercentFormat(QString::fromUtf8(format));
            popup.Show(permille);
        }
        if (!ServeProgressMessages(in, popup, data, 120000))
            return 0;
    }
    payload.clear();
    // Qt's own texts (the save and print dialogs, the standard buttons) in the report's language.
    QTranslator qtTexts;
    if (!data.Language.empty()
        && qtTexts.load(QLocale(FromUtf8(data.Language)), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    TSocketTarget target(in);
    TExceptionBox box(data, target);
    QSocketNotifier notifier(in, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &box, [&] {
        // Replies to actions are read where they are awaited: only a message or the end counts.
        char peek = 0;
        const ssize_t waiting = ::recv(in, &peek, 1, MSG_PEEK | MSG_DONTWAIT);
        if (waiting < 0)
            return;
        uint32_t message = 0;
        std::string bytes;
        if (waiting == 0 || !ReadBoxMessage(in, message, bytes, 1000)) {
            // The crashed process has gone: nothing is left to act for.
            notifier.setEnabled(false);
            box.FreezeOver();
            return;
        }
        if (message == bmFreezeOver)
            box.FreezeOver();
    });
    QObject::connect(&box, &QDialog::finished, &app, &QCoreApplication::quit);
    box.show();
    app.exec();
    WriteBoxMessage(in, bmClosed, std::string(1, static_cast<char>('0' + box.FinalAction())));
    ::close(in);
    return 0;
}
