// The pictures of the site windows: drawn for the program and bundled with it, so that every one
// shows whatever icon theme the desktop has.
#pragma once

#include <QIcon>
#include <QStringList>

class QPushButton;
class QWidget;

// The bundled picture of that name (a file "<name>.svg" under ":/tarvell/sites/").
QIcon SitePicture(const char* name);
// Every name SitePicture knows.
QStringList SitePictureNames();
// The browse button of the site windows, with the bundled folder picture.
QPushButton* SiteBrowseButton(QWidget* parent);
