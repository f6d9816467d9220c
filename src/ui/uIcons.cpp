// The program's own pictures.
#include "ui/uIcons.h"

#include <QFile>

// Outside any namespace: the resource's initialiser is declared where this is called.
static void InitIconResources()
{
    // Resources of a static library are only linked in when something names them.
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)done;
}

QString BundledIconPath(const QString& name)
{
    InitIconResources();
    const QString path = QStringLiteral(":/tarvell/icons/") + name + QStringLiteral(".svg");
    return QFile::exists(path) ? path : QString();
}

QIcon BundledIcon(const QString& name)
{
    const QString path = BundledIconPath(name);
    return path.isEmpty() ? QIcon() : QIcon(path);
}
