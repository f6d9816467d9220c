// The tracing progress window.
#include "crashreport/windows/VostProgressPopup.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int PopupHeight = 23;

int SplitOf(int width, uint32_t permille)
{
    return 4 + static_cast<int>(static_cast<int64_t>(std::max(width - 8, 0)) * permille / 1000);
}

} // namespace

TProgressPopup::TProgressPopup(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TProgressPopup"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    setFont(font);
    FFormat = QCoreApplication::translate("VostExcept", "%1%");
}

QRect TProgressPopup::PlaceOn(const QRect& screen)
{
    const int width = std::max(screen.width() / 2, 16);
    return QRect(screen.x() + (screen.width() - width) / 2, screen.y() + (screen.height() - PopupHeight) / 2, width,
        PopupHeight);
}

void TProgressPopup::SetPercentFormat(const QString& format)
{
    if (format.contains(QLatin1String("%1")) && format != FFormat) {
        FFormat = format;
        update();
    }
}

QString TProgressPopup::PercentText() const
{
    return FFormat.arg(std::max(FPercent, 0));
}

void TProgressPopup::Show(uint32_t permille)
{
    FPosition = std::min<uint32_t>(permille, 1000);
    if (!isVisible()) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        setGeometry(PlaceOn(screen ? screen->geometry() : QRect(0, 0, 1024, 768)));
        FSplit = -1;
        show();
    }
    const int split = SplitOf(width(), FPosition);
    const int percent = static_cast<int>((FPosition + 5) / 10);
    if (split != FSplit || percent != FPercent) {
        FSplit = split;
        FPercent = percent;
        ++FRedraws;
        repaint();
    }
    // The caller keeps this thread busy: let the window system show what was drawn.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TProgressPopup::Close()
{
    hide();
}

void TProgressPopup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    const QRect all = rect();
    painter.fillRect(all, colours.color(QPalette::Light));
    const QRect inner = all.adjusted(1, 1, -1, -1);
    painter.fillRect(inner, colours.color(QPalette::Button));
    painter.setPen(QColor(255, 255, 0));
    painter.drawRect(all.adjusted(2, 2, -3, -3));
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(all.left(), all.bottom(), all.right(), all.bottom());
    painter.drawLine(all.right(), all.top(), all.right(), all.bottom());

    const QRect bar = all.adjusted(4, 4, -4, -4);
    const int split = std::clamp(FSplit < 0 ? bar.left() : FSplit, bar.left(), bar.right() + 1);
    const QRect done(bar.left(), bar.top(), split - bar.left(), bar.height());
    const QRect rest(split, bar.top(), bar.right() + 1 - split, bar.height());
    painter.fillRect(done, colours.color(QPalette::ButtonText));
    painter.fillRect(rest, colours.color(QPalette::Button));

    // The text is one colour over the bar and the other beside it.
    const QRect textArea(inner.left(), 4, inner.width() - 2, all.height() - 4);
    const QString text = PercentText();
    painter.setClipRect(done);
    painter.setPen(colours.color(QPalette::Light));
    painter.drawText(textArea, Qt::AlignRight | Qt::AlignTop, text);
    painter.setClipRect(rest.united(QRect(bar.right() + 1, 0, all.width(), all.height())));
    painter.setPen(colours.color(QPalette::ButtonText));
    painter.drawText(textArea, Qt::AlignRight | Qt::AlignTop, text);
}
