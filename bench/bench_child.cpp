// Opens a generated ov2 file of a million POIs in a child window and shows its first rows.
//   tarvell-bench-child [count]   (offscreen platform unless QT_QPA_PLATFORM says otherwise)
#include "app/dMain.h"
#include "app/fMDIChild.h"
#include "app/fMain.h"
#include "app/uEntriesModel.h"
#include "core/uLocations.h"
#include "core/uStream.h"
#include "formats/uFormats.h"
#include "uBenchData.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    RegisterAllFormats();
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const QString path = home.filePath(QStringLiteral("big.ov2"));
    {
        TEntries entries;
        GeneratePois(entries, count);
        TMemoryStream stream;
        entries.SaveToStream(stream, QStringLiteral(".ov2"), QString());
        SaveStreamToLocation(path, stream);
    }
    TdmMain data;
    TfmTarvellMainForm form(data);
    form.resize(900, 650);
    form.show();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    form.OpenFile(nullptr, path, false, QString());
    TMDIChild* child = form.ActiveChild();
    QCoreApplication::processEvents();
    child->ListView1->viewport()->repaint();
    const qint64 shown = clock.elapsed();
    clock.restart();
    child->SelectAll();
    QCoreApplication::processEvents();
    const qint64 selectAll = clock.elapsed();
    std::printf("%d POIs: opened and first rows shown in %lld ms; select all %lld ms; rows %d\n", count,
        static_cast<long long>(shown), static_cast<long long>(selectAll), child->Model()->rowCount());
    child->Entries().ResetChanged();
    return 0;
}
