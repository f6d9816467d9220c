// tarvell-bench: converts one file between two formats and reports the times, or lists the
// registry. Uses the settings store as the program does.
//   tarvell-bench convert [--from FORMATID] [--to FORMATID] INPUT OUTPUT
//   tarvell-bench formats
#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "model/uModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <chrono>
#include <cstdio>

namespace {

class TBenchTexts {
    Q_DECLARE_TR_FUNCTIONS(tarvell_bench)
};

void PrintLine(const QString& text) { std::fputs((text + QChar('\n')).toUtf8().constData(), stdout); }

double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string ReadWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EUserError(TBenchTexts::tr("Cannot open file \"%1\": %2").arg(path, file.errorString()));
    std::string bytes(size_t(file.size()), '\0');
    if (file.read(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        throw EUserError(TBenchTexts::tr("Cannot read file \"%1\": %2").arg(path, file.errorString()));
    return bytes;
}

// Written to a temporary sibling and renamed into place, so a failure keeps the old file.
void WriteWholeFile(const QString& path, const std::string& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.commit())
        throw EUserError(TBenchTexts::tr("Cannot write file \"%1\": %2").arg(path, file.errorString()));
}

int Convert(const QStringList& args)
{
    QString fromID, toID;
    QStringList paths;
    for (int i = 0; i < args.size(); ++i) {
        if ((args[i] == QLatin1String("--from") || args[i] == QLatin1String("--to")) && i + 1 < args.size()) {
            (args[i] == QLatin1String("--from") ? fromID : toID) = args[i + 1];
            ++i;
        } else {
            paths << args[i];
        }
    }
    if (paths.size() != 2)
        throw EUserError(TBenchTexts::tr("Usage: tarvell-bench convert [--from FORMATID] [--to FORMATID] INPUT OUTPUT"));
    const QString input = paths[0];
    const QString output = paths[1];

    TEntries entries;
    auto start = std::chrono::steady_clock::now();
    {
        TMemoryStream stream(ReadWholeFile(input));
        entries.LoadFromStream(stream, QFileInfo(input).suffix(), fromID, false);
    }
    const double readMs = MillisecondsSince(start);
    const int readCount = entries.Count();

    start = std::chrono::steady_clock::now();
    TMemoryStream stream;
    entries.SaveToStream(stream, QFileInfo(output).suffix(), toID);
    WriteWholeFile(output, stream.Data());
    const double writeMs = MillisecondsSince(start);

    PrintLine(QStringLiteral("read %1 POIs in %2 ms; wrote %3 POIs in %4 ms")
                  .arg(readCount)
                  .arg(qRound64(readMs))
                  .arg(entries.Count())
                  .arg(qRound64(writeMs)));
    return 0;
}

template <typename Base>
void PrintRows(const char* kind)
{
    for (int i = 0; i < Base::FormatCount(); ++i)
        PrintLine(QStringLiteral("%1|%2|%3|%4|%5")
                      .arg(QLatin1String(kind))
                      .arg(i)
                      .arg(Base::Description(i), Base::Extension(i).mid(1), Base::FormatIDAt(i)));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RegisterAllFormats();
    QStringList args = app.arguments().mid(1);
    try {
        const QString command = args.isEmpty() ? QString() : args.takeFirst();
        if (command == QLatin1String("convert"))
            return Convert(args);
        if (command == QLatin1String("formats") && args.isEmpty()) {
            PrintRows<TConvertToBase>("exporter");
            PrintRows<TConvertFromBase>("importer");
            return 0;
        }
        throw EUserError(TBenchTexts::tr("Usage: tarvell-bench convert [--from FORMATID] [--to FORMATID] INPUT OUTPUT | tarvell-bench formats"));
    } catch (const ETarvellError& e) {
        std::fputs((e.Message() + QChar('\n')).toUtf8().constData(), stderr);
        return 1;
    }
}
