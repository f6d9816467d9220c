// The program's own pictures: simple SVG drawings bundled in the resources, by the icon-theme
// names the windows use for them, so that no window depends on the installed desktop theme.
#pragma once

#include <QIcon>
#include <QString>

// The resource path of a bundled picture (":/tarvell/icons/<name>.svg"), empty when there is none.
QString BundledIconPath(const QString& name);

// The bundled picture of that name; a null icon when there is none.
QIcon BundledIcon(const QString& name);
