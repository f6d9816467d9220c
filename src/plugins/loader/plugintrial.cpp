// The plug-in trial helper: loads one plug-in in its own process so that a plug-in that crashes,
// hangs or throws while it loads cannot stop the editor. Usage: <kind 0|1> <plug-in> <store> <report>.
#include "plugins/loader/PluginUtils.h"

#include <QString>

int main(int argc, char** argv)
{
    if (argc != 5 || (argv[1] != QLatin1String("0") && argv[1] != QLatin1String("1")))
        return 3;
    const TPluginKind kind = argv[1] == QLatin1String("0") ? TPluginKind::OpenExternal : TPluginKind::HtmlEmbed;
    return RunPluginTrial(kind, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
        QString::fromLocal8Bit(argv[4]));
}
