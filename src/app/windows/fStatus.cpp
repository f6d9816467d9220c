// The update status window and the routines that start a run.
#include "app/windows/fStatus.h"

#include "app/windowbase/dMain.h"
#include "app/windowbase/uDialogs.h"
#include "core/uSettings.h"
#include "sites/uUpdateItems.h"
#include "ui/PngImageList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionProgressBar>
#include <QTextDocument>
#include <QToolTip>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor RunningRowColour(166, 202, 240);
// Room around a row's contents, and the spacer above its bottom edge.
constexpr int RowMargin = 4;
constexpr int RowBevel = 4;
constexpr int IconWidth = 52;

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

} // namespace

// --- the rows ------------------------------------------------------------------------------------

int TStatusRowDelegate::RowHeight(const QFontMetrics& metrics)
{
    // Three lines of text and a bar of one line's height.
    return 2 * RowMargin + 4 * metrics.height() + RowBevel;
}

TStatusRowDelegate::TLayout TStatusRowDelegate::Layout(const QRect& row, const QFontMetrics& metrics)
{
    TLayout l;
    const QRect inner = row.adjusted(RowMargin, RowMargin, -RowMargin, -RowMargin - RowBevel);
    l.Icon = QRect(inner.left(), inner.top(), IconWidth, inner.height());
    const int left = l.Icon.right() + 1 + RowMargin;
    const int width = std::max(1, inner.right() + 1 - left);
    const int line = metrics.height();
    l.Caption = QRect(left, inner.top(), width, line);
    l.Target = l.Caption.translated(0, line);
    l.Status = l.Target.translated(0, line);
    l.Bar = l.Status.translated(0, line);
    return l;
}

QString TStatusRowDelegate::ShownLine(const QString& text, const QFontMetrics& metrics, int width)
{
    // A long site text must not widen the row and push the picture out of view.
    QString line = text;
    line.replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' '));
    return metrics.elidedText(line, Qt::ElideRight, width);
}

QString TStatusRowDelegate::ToolTipAt(const QModelIndex& index, const TLayout& layout, const QPoint& point)
{
    if (layout.Caption.contains(point))
        return PlainToolTip(index.data(Qt::DisplayRole).toString());
    if (layout.Target.contains(point))
        return PlainToolTip(index.data(TStatusRowsModel::TargetRole).toString());
    if (layout.Status.contains(point))
        return PlainToolTip(index.data(TStatusRowsModel::HintRole).toString());
    return {};
}

void TStatusRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QPalette& palette = option.palette;
    QColor background = palette.color(QPalette::Base);
    switch (TRowShade(index.data(TStatusRowsModel::ShadeRole).toInt())) {
    case TRowShade::Current:
        background = RunningRowColour;
        break;
    case TRowShade::Processed:
        background = palette.color(QPalette::Button);
        break;
    case TRowShade::Normal:
        break;
    }
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(palette.color(QPalette::Mid));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());

    const QFontMetrics& metrics = option.fontMetrics;
    const TLayout l = Layout(option.rect, metrics);
    const QImage icon = index.data(Qt::DecorationRole).value<QImage>();
    if (!icon.isNull()) {
        const QSize size = icon.deviceIndependentSize().toSize();
        painter->drawImage(QRect(l.Icon.left() + (l.Icon.width() - size.width()) / 2,
                               l.Icon.top() + (l.Icon.height() - size.height()) / 2, size.width(), size.height()),
            icon);
    }
    // Site texts are drawn as the plain text they are.
    painter->setPen(palette.color(QPalette::Text));
    const auto text = [&](const QRect& room, const QString& value) {
        painter->drawText(room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            ShownLine(value, metrics, room.width()));
    };
    text(l.Caption, index.data(Qt::DisplayRole).toString());
    text(l.Target, index.data(TStatusRowsModel::TargetRole).toString());
    text(l.Status, index.data(TStatusRowsModel::StatusRole).toString());

    QStyleOptionProgressBar bar;
    if (option.widget)
        bar.initFrom(option.widget);
    else
        bar.palette = palette;
    bar.rect = l.Bar;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = index.data(TStatusRowsModel::PercentRole).toInt();
    bar.textVisible = true;
    bar.text = option.locale.toString(bar.progress) + QChar('%');
    bar.state |= QStyle::State_Horizontal;
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
    painter->restore();
}

QSize TStatusRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    // As narrow as the view wants: the texts are cut to the room.
    return QSize(1, RowHeight(option.fontMetrics));
}

bool TStatusRowDelegate::helpEvent(
    QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const TLayout l = Layout(option.rect, option.fontMetrics);
    const QString tip = ToolTipAt(index, l, event->pos());
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QRect over = l.Caption;
    if (l.Target.contains(event->pos()))
        over = l.Target;
    else if (l.Status.contains(event->pos()))
        over = l.Status;
    QToolTip::showText(event->globalPos(), tip, view->viewport(), over);
    return true;
}

// --- the window ----------------------------------------------------------------------------------

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
    const TdmMain* images = dmMain();
    FRowsModel = new TStatusRowsModel(FRun, images ? &images->PngImageCollection1 : nullptr, this);
    // A view that paints only the rows in sight: a run of a hundred thousand items shows at once.
    FScrollBox = new QTreeView(this);
    FScrollBox->setObjectName(QStringLiteral("ScrollBox1"));
    FScrollBox->setFrameShape(QFrame::StyledPanel);
    FScrollBox->setHeaderHidden(true);
    FScrollBox->setRootIsDecorated(false);
    FScrollBox->setItemsExpandable(false);
    FScrollBox->setUniformRowHeights(true);
    FScrollBox->setSelectionMode(QAbstractItemView::NoSelection);
    FScrollBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FScrollBox->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    FScrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FScrollBox->header()->setStretchLastSection(true);
    FScrollBox->setItemDelegate(new TStatusRowDelegate(FScrollBox));
    FScrollBox->setModel(FRowsModel);
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
    FRowsModel->ChangeRows([&] { FRun.SetItems(items); });
}

void TfmStatus::RowChanged(int row)
{
    FRowsModel->RowChanged(row);
}

void TfmStatus::RowStarted(int row)
{
    // The next row comes into view too while two rows fit.
    const int shown = row + 1 < FRun.RowCount()
            && 2 * FScrollBox->sizeHintForRow(row) < FScrollBox->viewport()->height()
        ? row + 1
        : row;
    FScrollBox->scrollTo(FRowsModel->index(shown), QAbstractItemView::EnsureVisible);
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
