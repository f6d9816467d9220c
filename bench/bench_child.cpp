// Opens an ov2 file in a child window and shows its first rows: the file named, or one of count
// generated POIs (a million by default) written first.
//   tarvell-bench-child [FILE.ov2 | count]   (offscreen platform unless QT_QPA_PLATFORM says otherwise)
// Make the file beforehand (bench/make_ov2.py) to measure the process without the generator.
#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/logic/uEntriesModel.h"
#include "core/uLocations.h"
#include "core/uStream.h"
#include "formats/uFormats.h"
#include "uBenchData.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

// The process's resident and peak resident memory as the kernel counts them.
std::string ResidentMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    std::string out;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:") || line.startsWith("VmHWM:"))
            out += (out.empty() ? "" : ", ") + line.simplified().toStdString();
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    RegisterAllFormats();
    const QString argument = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    bool isCount = false;
    const int count = argument.isEmpty() ? 1000000 : argument.toInt(&isCount);
    QString path = QFileInfo(argument).absoluteFilePath();
    if (argument.isEmpty() || isCount) {
        path = home.filePath(QStringLiteral("big.ov2"));
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
    child->findChild<TEntriesView*>(QStringLiteral("ListView1"))->viewport()->repaint();
    const qint64 shown = clock.elapsed();
    clock.restart();
    child->SelectAll();
    QCoreApplication::processEvents();
    const qint64 selectAll = clock.elapsed();
    std::printf("%d POIs: opened and first rows shown in %lld ms (%s); select all %lld ms\n", child->Model()->rowCount(),
        static_cast<long long>(shown), ResidentMemory().c_str(), static_cast<long long>(selectAll));
    child->Entries().ResetChanged();
    return 0;
}
