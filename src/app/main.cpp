// Entry point: hand the command line to a running copy, or start the editor.
#include "app/dMain.h"
#include "app/fMain.h"
#include "app/uApplication.h"
#include "app/uSingleInstance.h"
#include "core/uGeneral.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QStringList params;
    for (int i = 1; i < argc; ++i)
        params << QString::fromLocal8Bit(argv[i]);
    SetCommandLineParams(params);

    // Before the application object exists: a forwarding start creates no window and writes no
    // settings.
    if (!ParamExists(QStringLiteral("/multi")) && ForwardToRunningCopy(params))
        return 0;

    // The HTML map's browser shares its drawing context with the windows.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    return RunTarvell(app);
}
