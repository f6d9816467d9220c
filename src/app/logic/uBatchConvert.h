// Batch conversion: every file of one source format in a folder (or the chosen ones) converted to
// one file per source file in one or several formats, or appended into one file. Knows no widget;
// questions and the event processing between files go through an interface.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <vector>

class TSettings;

// The questions of a run; the dialog asks the user, tests answer from a script.
class TBatchQuestions {
public:
    enum class TOverwrite { Yes, No, Cancel };
    virtual ~TBatchQuestions() = default;
    // The Append target exists before the run: true to replace it.
    virtual bool OverwriteAppendTarget(const QString& question) = 0;
    // A target of a source file exists.
    virtual TOverwrite OverwriteTarget(const QString& question) = 0;
    // A source file failed: true to go on with the next one.
    virtual bool ContinueAfterError(const QString& question) = 0;
    // One more file done (done of total).
    virtual void Progress(int done, int total) = 0;
    // Called between files (events are processed there); false stops after the current file.
    virtual bool KeepGoing() = 0;
};

enum class TBatchDestMode { Multiple = 0, Append = 1 };

// What the dialog's controls say.
struct TBatchJob {
    int SourceImporter = 0; // importer registry row
    QString SourceFolder;
    // The listed file names (ListBatchFiles) and, in "Selected" mode, those chosen.
    QStringList Files;
    bool SelectedOnly = false;
    QStringList Selected;
    // Exporter registry row, or -1 for "Multiple formats..." with the rows in DestFormats.
    int DestExporter = 0;
    std::vector<int> DestFormats;
    TBatchDestMode DestMode = TBatchDestMode::Multiple;
    QString DestFolder;
    QString DestFile;
    bool AddFileNames = false;
    bool OpenAfterAppend = false;

    bool MultipleFormats() const { return DestExporter < 0; }
};

// How a run ended.
struct TBatchResult {
    enum class TEnd { Completed, Stopped } End = TEnd::Completed;
    int FilesDone = 0;
    // Set when the appended file is to be opened in a new window (with its format ID).
    QString OpenPath;
    QString OpenFormatID;
};

class TBatchConverter {
    Q_DECLARE_TR_FUNCTIONS(fBatchConvert)
public:
    // The files of folder whose extension is extension (with or without its dot; "*" or empty:
    // every file), compared without regard to case, sorted by name without regard to case and
    // ties in byte order. An empty folder lists nothing; a folder that does not exist raises
    // EUserError missingMessage.
    static QStringList ListFiles(const QString& folder, const QString& extension, const QString& missingMessage);
    static QStringList ListSource(const QString& folder, int importer);
    // Multiple mode lists every file; otherwise those of the exporter's extension.
    static QStringList ListDest(const QString& folder, int exporter);

    // The checks before a run, in order; each raises EUserError with its message.
    static void Check(const TBatchJob& job);
    // The files of the run, in list order.
    static QStringList FilesToDo(const TBatchJob& job);
    // The files written for one source file (Multiple) or for the whole run (Append), each with
    // its exporter row.
    struct TTarget {
        QString Path;
        int Exporter;
    };
    static std::vector<TTarget> TargetsFor(const TBatchJob& job, const QString& sourceFile);
    // Checks, then converts. Raises EUserError for a failed check, a target that is one of the
    // source files (nothing is written then) and a run in which no file could be read.
    static TBatchResult Run(const TBatchJob& job, TBatchQuestions& questions);
};

// The dialog's stored choices ("Settings": "BatchConvertSource", "BatchConvertDest",
// "BatchConvertDestFormatID", "BatchConvertDestFormatIDs").
struct TBatchSettings {
    QString SourceFolder;
    QString DestFolder;
    // Exporter row of the destination format, -1 for "Multiple formats..." ("*").
    int DestExporter = 0;
    // Exporter rows ticked in multiple mode.
    std::vector<int> DestFormats;

    // A stored folder that is empty or no longer exists is the application folder.
    static TBatchSettings Load(const TSettings& settings);
    void Save(TSettings& settings) const;
};
