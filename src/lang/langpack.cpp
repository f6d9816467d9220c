// Packs a compiled string table into a language file:
//   tarvell_langpack <table.qm> <language file> <LCID> <language name>
#include "lang/uQLocUtils.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: tarvell_langpack <table.qm> <language file> <LCID> <language name>\n");
        return 2;
    }
    QFile qm(args[1]);
    if (!qm.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    bool ok = false;
    TDLLInfoItem item;
    item.LanguageId = uint16_t(args[3].toUInt(&ok));
    item.ResourceVersion = ExeResourceVersion;
    item.AnsiName = item.WideName = args[4];
    if (!ok) {
        std::fprintf(stderr, "not an LCID: %s\n", qPrintable(args[3]));
        return 2;
    }
    try {
        WriteLanguageFile(args[2], item, qm.readAll());
    } catch (const ETarvellError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
