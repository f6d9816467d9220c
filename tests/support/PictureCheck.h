// Every picture a window shows is drawn: no tool button without its picture, no action whose
// picture is missing or is the lettered stand-in tile the program draws for a missing theme icon.
#pragma once

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QSet>

#include <cstdlib>
#include <QStringList>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

namespace TestSupport {

// The fill of the program's stand-in tile (a rounded square with a white letter).
inline constexpr QRgb LetterTileFill = 0xff5b86bd;

// A picture a quarter of which is the stand-in tile's fill.
inline bool IsLetteredTile(const QIcon& icon)
{
    const QImage image = icon.pixmap(QSize(24, 24)).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return false;
    int fill = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            fill += image.pixel(x, y) == LetterTileFill;
    return fill * 4 >= image.width() * image.height();
}

// Empty when the icon is a real picture, else what is wrong with it: missing, the lettered tile,
// blank, or a plain box (what a missing picture leaves).
inline QString IconFault(const QIcon& icon)
{
    if (icon.isNull())
        return QStringLiteral("null icon");
    const QImage image = icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return QStringLiteral("no picture at 16 x 16");
    int tile = 0, opaque = 0, seen = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) > 0)
                ++seen;
            if (qAlpha(pixel) < 255)
                continue;
            ++opaque;
            colours.insert(pixel);
            // The lettered tile's face colour.
            if (std::abs(qRed(pixel) - 0x5b) < 8 && std::abs(qGreen(pixel) - 0x86) < 8 && std::abs(qBlue(pixel) - 0xbd) < 8)
                ++tile;
        }
    if (tile > image.width() * image.height() * 4 / 10)
        return QStringLiteral("lettered tile");
    const int area = image.width() * image.height();
    if (seen < area / 10)
        return QStringLiteral("blank");
    // A box filled with one or two colours (the grey box a missing picture leaves).
    if (opaque > area * 6 / 10 && colours.size() < 3)
        return QStringLiteral("plain box");
    return QString();
}

inline QString NameOf(const QObject* object, const QString& text)
{
    const QString name = object->objectName().isEmpty() ? QStringLiteral("(unnamed)") : object->objectName();
    return text.isEmpty() ? name : name + QStringLiteral(" \"") + text + QChar('"');
}

// What is wrong with the pictures of root's widget tree: tool buttons (tool-bar buttons and
// picture buttons) without a picture, actions with a lettered tile, and the actions of required
// without a picture. Qt's own arrow and extension buttons are no pictures of ours.
// Widgets below one of skip (the subtree of another part, with tests of its own) are left out.
inline QStringList PictureFaults(const QWidget* root, const QList<QAction*>& required = {}, const QList<const QWidget*>& skip = {})
{
    auto skipped = [&](const QObject* object) {
        for (const QWidget* part : skip)
            for (const QObject* o = object; o; o = o->parent())
                if (o == part)
                    return true;
        return false;
    };
    QStringList faults;
    QList<QToolButton*> buttons = root->findChildren<QToolButton*>();
    if (auto* self = qobject_cast<QToolButton*>(const_cast<QWidget*>(root)))
        buttons << self;
    buttons.removeIf(skipped);
    for (const QToolButton* button : std::as_const(buttons)) {
        if (button->objectName() == QLatin1String("qt_toolbar_ext_button") || button->arrowType() != Qt::NoArrow
            || qobject_cast<QLineEdit*>(button->parentWidget()))
            continue;
        const bool onToolBar = qobject_cast<QToolBar*>(button->parentWidget()) != nullptr;
        if (!onToolBar && button->toolButtonStyle() == Qt::ToolButtonTextOnly)
            continue;
        const QString name = NameOf(button->defaultAction() ? static_cast<const QObject*>(button->defaultAction()) : button,
            button->text());
        if (button->icon().isNull())
            faults << QStringLiteral("tool button without picture: ") + name;
        else if (IsLetteredTile(button->icon()))
            faults << QStringLiteral("tool button with a lettered tile: ") + name;
    }
    QList<QAction*> actions = root->findChildren<QAction*>();
    actions << root->actions();
    actions.removeIf(skipped);
    for (const QAction* action : std::as_const(actions)) {
        if (action->isSeparator())
            continue;
        if (!action->icon().isNull() && IsLetteredTile(action->icon()))
            faults << QStringLiteral("action with a lettered tile: ") + NameOf(action, action->text());
    }
    for (const QAction* action : required)
        if (action->icon().isNull())
            faults << QStringLiteral("action without picture: ") + NameOf(action, action->text());
    faults.removeDuplicates();
    return faults;
}

} // namespace TestSupport
