// Batch conversion.
#include "app/logic/uBatchConvert.h"

#include "core/uLocations.h"
#include "core/uCodePage.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

QString DotExtension(const QString& extension)
{
    return extension.startsWith(QChar('.')) ? extension.toLower() : QChar('.') + extension.toLower();
}

QString ExporterExtension(int row)
{
    return DotExtension(TConvertToBase::Extension(row));
}

// The path a file has or would have, with links and "." or ".." resolved as far as it exists.
QString CanonicalTarget(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QDir(info.absolutePath()).canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QChar('/') + info.fileName();
}

QString ExistsQuestion(const QString& file)
{
    return TBatchConverter::tr("File %1 already exists. Do you want to overwrite?").arg(file);
}

QString ErrorMessage(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const ETarvellError*>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}

} // namespace

QStringList TBatchConverter::ListFiles(const QString& folder, const QString& extension, const QString& missingMessage)
{
    QStringList files;
    if (folder.isEmpty())
        return files;
    const QDir dir(folder);
    if (!dir.exists())
        throw EUserError(missingMessage);
    const bool every = extension.isEmpty() || extension == QLatin1String("*");
    const QString wanted = every ? QString() : DotExtension(extension);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString name = info.fileName();
        if (every || name.endsWith(wanted, Qt::CaseInsensitive))
            files << name;
    }
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return files;
}

QStringList TBatchConverter::ListSource(const QString& folder, int importer)
{
    return ListFiles(folder, TConvertFromBase::Extension(importer), tr("Source directory does not exist"));
}

QStringList TBatchConverter::ListDest(const QString& folder, int exporter)
{
    return ListFiles(folder, exporter < 0 ? QStringLiteral("*") : TConvertToBase::Extension(exporter),
        tr("Destination directory does not exist"));
}

void TBatchConverter::Check(const TBatchJob& job)
{
    const bool multiple = job.MultipleFormats();
    if (job.SelectedOnly && job.Selected.isEmpty())
        throw EUserError(tr("No files selected"));
    if (!multiple && job.DestMode == TBatchDestMode::Multiple
        && TConvertFromBase::FormatIDAt(job.SourceImporter).compare(TConvertToBase::FormatIDAt(job.DestExporter), Qt::CaseInsensitive) == 0)
        throw EUserError(tr("Source and destination types are equal"));
    if (!multiple) {
        const QString extension = LocationExtension(job.DestFile);
        if (!extension.isEmpty() && extension != ExporterExtension(job.DestExporter))
            throw EUserError(tr("Extension \"%1\" of filename does not match selected filetype.").arg(extension));
    }
    if (job.DestMode == TBatchDestMode::Append && job.DestFile.trimmed().isEmpty())
        throw EUserError(tr("Destination filename not set"));
    // A bare name would be written into whatever folder the program was started in.
    const QString destination = (job.DestMode == TBatchDestMode::Append ? job.DestFile : job.DestFolder).trimmed();
    if (!destination.isEmpty() && QFileInfo(destination).isRelative())
        throw EUserError(tr("The destination %1 is not a full path; choose its folder").arg(destination));
    if (multiple && job.DestFormats.empty())
        throw EUserError(tr("No destination type(s) selected"));
    if (multiple) {
        QSet<QString> seen;
        for (int row : job.DestFormats) {
            const QString extension = ExporterExtension(row);
            if (seen.contains(extension))
                throw EUserError(tr("Destination type conflict, you can have only one destination format per file "
                                    "extension (duplicate extension: %1)")
                                     .arg(extension));
            seen.insert(extension);
        }
    }
    // One question per file that cannot be created says less than this.
    if (job.DestMode == TBatchDestMode::Multiple && !QFileInfo(job.DestFolder.trimmed()).isDir())
        throw EUserError(tr("Destination directory does not exist"));
}

QStringList TBatchConverter::FilesToDo(const TBatchJob& job)
{
    if (!job.SelectedOnly)
        return job.Files;
    QStringList files;
    for (const QString& file : job.Files)
        if (job.Selected.contains(file))
            files << file;
    return files;
}

std::vector<TBatchConverter::TTarget> TBatchConverter::TargetsFor(const TBatchJob& job, const QString& sourceFile)
{
    const std::vector<int> rows = job.MultipleFormats() ? job.DestFormats : std::vector<int> { job.DestExporter };
    std::vector<TTarget> targets;
    if (job.DestMode == TBatchDestMode::Multiple) {
        const QString base = QDir(job.DestFolder).filePath(QFileInfo(sourceFile).completeBaseName());
        for (int row : rows)
            targets.push_back({ base + ExporterExtension(row), row });
        return targets;
    }
    // The named file is written as named: an extension of one of the formats is neither doubled
    // nor respelt.
    const QString name = job.DestFile.trimmed();
    const QString extension = LocationExtension(name);
    QString stem = name;
    for (int row : rows)
        if (!extension.isEmpty() && extension == ExporterExtension(row))
            stem = ChangeLocationExtension(name, QString());
    for (int row : rows)
        targets.push_back({ extension == ExporterExtension(row) ? name : stem + ExporterExtension(row), row });
    return targets;
}

TBatchResult TBatchConverter::Run(const TBatchJob& job, TBatchQuestions& questions)
{
    Check(job);
    const bool append = job.DestMode == TBatchDestMode::Append;
    const QStringList files = FilesToDo(job);
    const QDir sourceDir(job.SourceFolder);

    // Nothing is written over a source file: every target is checked before the first write.
    QSet<QString> sources;
    for (const QString& file : job.Files)
        sources.insert(CanonicalTarget(sourceDir.filePath(file)));
    const std::vector<TTarget> appendTargets = append ? TargetsFor(job, QString()) : std::vector<TTarget>();
    auto refuseSource = [&](const std::vector<TTarget>& targets) {
        for (const TTarget& target : targets)
            if (sources.contains(CanonicalTarget(target.Path)))
                throw EUserError(tr("The target %1 is one of the source files; choose another destination").arg(target.Path));
    };
    refuseSource(appendTargets);
    if (!append)
        for (const QString& file : files)
            refuseSource(TargetsFor(job, file));

    TBatchResult result;
    // Append targets that exist are asked about once, before the run.
    QSet<QString> confirmed;
    for (const TTarget& target : appendTargets)
        if (QFileInfo::exists(target.Path)) {
            if (!questions.OverwriteAppendTarget(ExistsQuestion(target.Path))) {
                result.End = TBatchResult::TEnd::Stopped;
                return result;
            }
            confirmed.insert(target.Path);
        }

    THourglass hourglass;
    TEntries entries;
    bool cancelled = false;
    auto writeTargets = [&](const std::vector<TTarget>& targets) {
        for (const TTarget& target : targets) {
            if (!confirmed.contains(target.Path) && QFileInfo::exists(target.Path)) {
                const TBatchQuestions::TOverwrite answer = questions.OverwriteTarget(ExistsQuestion(target.Path));
                if (answer == TBatchQuestions::TOverwrite::Cancel) {
                    cancelled = true;
                    return;
                }
                if (answer == TBatchQuestions::TOverwrite::No)
                    continue;
            }
            TMemoryStream stream;
            entries.SaveToStream(stream, TConvertToBase::Extension(target.Exporter), TConvertToBase::FormatIDAt(target.Exporter));
            SaveBytesToFile(target.Path, stream.Data());
        }
    };

    const QString sourceExtension = TConvertFromBase::Extension(job.SourceImporter);
    const QString sourceFormat = TConvertFromBase::FormatIDAt(job.SourceImporter);
    int firstNew = 0;
    for (int i = 0; i < files.size(); ++i) {
        if (i > 0 && !questions.KeepGoing()) {
            result.End = TBatchResult::TEnd::Stopped;
            return result;
        }
        const QString& file = files[i];
        const int before = entries.Count();
        try {
            TMemoryStream stream(LoadBytesFromFile(sourceDir.filePath(file)));
            entries.LoadFromStream(stream, sourceExtension, sourceFormat, append);
            if (append && job.AddFileNames) {
                const std::string prefix = UnicodeToAnsi(QFileInfo(file).completeBaseName()) + " - ";
                for (int k = firstNew; k < entries.Count(); ++k)
                    entries[k].SetDescription(prefix + std::string(entries[k].GetDescription()));
                firstNew = entries.Count();
            }
            if (!append) {
                writeTargets(TargetsFor(job, file));
                if (cancelled) {
                    result.End = TBatchResult::TEnd::Stopped;
                    return result;
                }
            }
        } catch (const std::exception& e) {
            // What the failed file read is no part of the appended file.
            if (append) {
                while (entries.Count() > before)
                    entries.Delete(entries.Count() - 1);
                firstNew = entries.Count();
            }
            if (!questions.ContinueAfterError(
                    tr("An error occured during conversion:\n\n%1\n\nDo you want to continue the conversion?").arg(ErrorMessage(e)))) {
                result.End = TBatchResult::TEnd::Stopped;
                return result;
            }
            continue;
        }
        ++result.FilesDone;
        questions.Progress(result.FilesDone, int(files.size()));
    }
    if (result.FilesDone == 0)
        throw EUserError(tr("No source files selected"));
    if (append) {
        writeTargets(appendTargets);
        if (cancelled) {
            result.End = TBatchResult::TEnd::Stopped;
            return result;
        }
        if (!job.MultipleFormats() && job.OpenAfterAppend) {
            result.OpenPath = appendTargets.front().Path;
            result.OpenFormatID = TConvertToBase::FormatIDAt(job.DestExporter);
        }
    }
    return result;
}

TBatchSettings TBatchSettings::Load(const TSettings& settings)
{
    auto folder = [](const QString& stored) {
        return stored.isEmpty() || !QDir(stored).exists() ? GetAppDir() : stored;
    };
    TBatchSettings result;
    result.SourceFolder = folder(settings.BatchConvertSource);
    result.DestFolder = folder(settings.BatchConvertDest);
    if (settings.BatchConvertDestFormatID == QLatin1String("*"))
        result.DestExporter = -1;
    else
        result.DestExporter = std::max(0, TConvertToBase::IndexOfFormatID(settings.BatchConvertDestFormatID));
    QSet<QString> ticked;
    for (const QString& id : settings.BatchConvertDestFormatIDs.split(QChar(';'), Qt::SkipEmptyParts))
        ticked.insert(id.trimmed().toLower());
    for (int row = 0; row < TConvertToBase::FormatCount(); ++row)
        if (ticked.contains(TConvertToBase::FormatIDAt(row).toLower()))
            result.DestFormats.push_back(row);
    return result;
}

void TBatchSettings::Save(TSettings& settings) const
{
    settings.BatchConvertSource = SourceFolder;
    settings.BatchConvertDest = DestFolder;
    settings.BatchConvertDestFormatID = DestExporter < 0 ? QStringLiteral("*") : TConvertToBase::FormatIDAt(DestExporter);
    QString ids;
    for (int row : DestFormats)
        ids += QChar(';') + TConvertToBase::FormatIDAt(row);
    settings.BatchConvertDestFormatIDs = ids;
}
