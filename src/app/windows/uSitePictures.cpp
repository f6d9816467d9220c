// The pictures of the site windows.
#include "app/windows/uSitePictures.h"

#include "app/windowbase/uDialogs.h"

#include <QDir>
#include <QPushButton>

namespace {

const QString Folder = QStringLiteral(":/tarvell/sites/");

} // namespace

QIcon SitePicture(const char* name)
{
    return QIcon(Folder + QLatin1String(name) + QStringLiteral(".svg"));
}

QStringList SitePictureNames()
{
    QStringList names;
    for (const QString& file : QDir(Folder).entryList({ QStringLiteral("*.svg") }, QDir::Files, QDir::Name))
        names << file.chopped(4);
    return names;
}

QPushButton* SiteBrowseButton(QWidget* parent)
{
    QPushButton* button = BrowseButton(parent);
    button->setIcon(SitePicture("open"));
    return button;
}
