// The data module's pictures and plug-in lists.
#include "app/windowbase/dMain.h"

#include "app/windowbase/uTarvellForm.h"
#include "app/windowbase/uDialogs.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "ui/uIcons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QStandardPaths>

namespace {

TdmMain* Instance = nullptr;

// Tool pictures by index: the theme name of one of our bundled drawings (ui/icons) or a picture
// of the application's resources. The index is what everyone else names a picture by: each row of
// the action table (app/logic/uMainActions.cpp) picks its picture by number (0-12, 14-35, 38-41,
// 45, 46, 56), the enabled rules swap 13 for 44 and 21 for 37 (uMainActions.h), and the AutoUpdate
// Wizard's buttons show 21 and 12. So an entry never moves: a new picture goes at the end.
// 42, 43 and 47-55 belong to no command today.
const char* const ToolImageNames[57] = {
    "document-new", // 0 New
    "document-open", // 1 Open
    "pda", // 2 Open Remote
    "document-save", // 3 Save
    "document-save-as", // 4 Save As
    "document-send", // 5 Save Remote
    "edit-cut", // 6
    "edit-copy", // 7
    "edit-paste", // 8
    "edit-find", // 9 Find
    "edit-find-replace", // 10 Find Next
    "system-software-install", // 11 AutoUpdate Wizard
    "preferences-system", // 12 AutoUpdate Manager
    "software-update-available", // 13 Check every week, not ticked
    ":/tarvell/tile-horizontal.svg", // 14
    ":/tarvell/tile-vertical.svg", // 15
    ":/tarvell/cascade.svg", // 16
    "go-next", // 17 Next Window
    "accessories-calculator", // 18 Coordinates Calculator
    ":/tarvell/tray.svg", // 19 Hide In Tray
    "application-exit", // 20 Exit
    "view-refresh", // 21 AutoUpdate All
    "edit-delete", // 22
    "list-add", // 23 Insert
    "edit-select-all", // 24
    "object-flip-vertical", // 25 Invert Selection
    "emblem-documents", // 26 Find Duplicates
    "system-run", // 27 Batch Convert
    "preferences-desktop", // 28 Preferences
    "web-browser", // 29 home page
    "help-faq", // 30
    "system-users", // 31 forum
    "dialog-information", // 32 System Info
    "help-about", // 33
    "window-close", // 34 Close File
    "network-transmit-receive", // 35 Reconnect
    "document-open-recent", // 36 recent files
    "view-refresh", // 37 AutoUpdate All with its drop-down arrow
    "insert-object", // 38 Append
    "insert-text", // 39 Copy as text
    "system-software-update", // 40 version check
    "go-down", // 41 Minimize All
    "go-up", // 42
    "zoom-in", // 43
    "software-update-available", // 44 Check every week, ticked
    "emblem-web", // 45 sites status page
    "insert-image", // 46
    "list-remove", // 47
    "view-sort-ascending", // 48
    "view-sort-descending", // 49
    "go-home", // 50
    "mail-send", // 51
    "media-eject", // 52
    "zoom-out", // 53
    "zoom-original", // 54
    "view-fullscreen", // 55
    "window-new", // 56 Arrange All
};

const char* const ListImageNames[10] = {
    "folder",
    "document-new",
    "pda",
    "emblem-web",
    "view-refresh",
    "emblem-default",
    "dialog-error",
    "dialog-warning",
    "emblem-downloads",
    "starred",
};

// The update run's row states are 3 waiting (a clock), 4 working (turning arrows), 5 done (a tick)
// and 6 failed (an error sign).
const char* const StatusImageNames[7] = {
    "dialog-information",
    "emblem-default",
    "dialog-error",
    "appointment-soon",
    "emblem-synchronizing",
    "emblem-default",
    "dialog-error",
};

// A plain lettered tile, for a system without the icon theme.
QPixmap LetterTile(const QString& name, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x5b, 0x86, 0xbd));
    p.setPen(QColor(0x3c, 0x5a, 0x80));
    p.drawRoundedRect(QRectF(1.5, 1.5, size.width() - 3, size.height() - 3), 3, 3);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(size.height() * 6 / 10);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(pixmap.rect(), Qt::AlignCenter, name.left(1).toUpper());
    return pixmap;
}

} // namespace

QPixmap ThemePicture(const char* name, QSize size)
{
    const QString text = QString::fromLatin1(name);
    // Our own drawing of a theme name first: the installed theme may lack it.
    const QIcon bundled = text.startsWith(QChar(':')) ? QIcon(text) : BundledIcon(text);
    const QIcon icon = bundled.isNull() ? QIcon::fromTheme(text) : bundled;
    QPixmap pixmap = icon.isNull() ? QPixmap() : icon.pixmap(size);
    if (pixmap.isNull())
        return LetterTile(text, size);
    if (pixmap.size() != size)
        pixmap = pixmap.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return pixmap;
}

QPixmap WithDropArrow(QPixmap pixmap)
{
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = pixmap.width(), h = pixmap.height();
    QPainterPath arrow;
    arrow.moveTo(w - 9, h - 6);
    arrow.lineTo(w - 1, h - 6);
    arrow.lineTo(w - 5, h - 1);
    arrow.closeSubpath();
    p.fillPath(arrow, QColor(0x20, 0x20, 0x20));
    return pixmap;
}

namespace {

QPixmap WithTick(QPixmap pixmap)
{
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = pixmap.width(), h = pixmap.height();
    p.setBrush(QColor(0x2e, 0x7d, 0x32));
    p.setPen(Qt::white);
    p.drawEllipse(QRectF(w - 11, h - 11, 10, 10));
    QPen pen(Qt::white, 1.8);
    p.setPen(pen);
    p.drawPolyline(QPolygonF({ QPointF(w - 8.5, h - 6), QPointF(w - 6.5, h - 4), QPointF(w - 3.5, h - 8) }));
    return pixmap;
}

// The hover look: the same picture, lighter.
QPixmap Lighter(const QPixmap& pixmap)
{
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            auto up = [](int v) { return std::min(255, v + (255 - v) * 35 / 100); };
            line[x] = qRgba(up(qRed(c)), up(qGreen(c)), up(qBlue(c)), qAlpha(c));
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

TdmMain::TdmMain(QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("dmMain"));
    InitAppResources();
    // The user's own theme first; Debian's Adwaita fills the gaps. Platforms without a desktop
    // theme (offscreen, bare X servers) know no icon folders: the XDG data folders hold them.
    QStringList searchPaths = QIcon::themeSearchPaths();
    for (const QString& dir : QStandardPaths::locateAll(
             QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory))
        if (!searchPaths.contains(dir))
            searchPaths << dir;
    QIcon::setThemeSearchPaths(searchPaths);
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    for (int i = 0; i < 57; ++i) {
        QPixmap picture = ThemePicture(ToolImageNames[i], NormalImages.Size());
        if (i == 37)
            picture = WithDropArrow(picture);
        else if (i == 44)
            picture = WithTick(picture);
        NormalImages.Add(picture);
        HotImages.Add(Lighter(picture));
    }
    for (const char* name : ListImageNames)
        ListImages.Add(ThemePicture(name, ListImages.Size()));
    for (const char* name : StatusImageNames)
        PngImageCollection1.Add(ThemePicture(name, QSize(24, 24)).toImage());
    Instance = this;
    LoadPlugins(GetAppDir());
}

TdmMain::~TdmMain()
{
    MapPlugins.Clear();
    ExternalPlugins.Clear();
    if (Instance == this)
        Instance = nullptr;
}

void TdmMain::LoadPlugins(const QString& appDir, const TPluginLoadOptions& options)
{
    MapPlugins.Clear();
    ExternalPlugins.Clear();
    TPluginLoadOptions kind = options;
    if (!kind.Warn)
        kind.Warn = [](const QString& message) { ShowWarning(nullptr, message); };
    kind.Folder = PluginFolder(appDir, TPluginKind::OpenExternal);
    ::LoadPlugins(ExternalPlugins, TPluginKind::OpenExternal, kind);
    kind.Folder = PluginFolder(appDir, TPluginKind::HtmlEmbed);
    kind.Others = &ExternalPlugins;
    ::LoadPlugins(MapPlugins, TPluginKind::HtmlEmbed, kind);
}

QIcon TdmMain::ToolIcon(int index) const
{
    const QPixmap normal = NormalImages.Image(index);
    if (normal.isNull())
        return QIcon();
    QIcon icon(normal);
    icon.addPixmap(HotImages.Image(index), QIcon::Active);
    return icon;
}

TPluginOpenExternal* TdmMain::FindDefaultPlugin() const
{
    const QString wanted = GetSettings().DefaultPlugin;
    if (wanted.isEmpty())
        return nullptr;
    return dynamic_cast<TPluginOpenExternal*>(ExternalPlugins.Find(wanted));
}

TdmMain* dmMain()
{
    return Instance;
}
