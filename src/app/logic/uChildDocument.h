// The document behind a child window: its POI list, location and format, and the editing,
// clipboard and saving rules the window runs. Knows no widget; questions go through callbacks.
#pragma once

#include "model/uModel.h"

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <vector>

// The POIs at indices (in that order, each in range; description and coordinates only) as GPX
// text, and the same as clipboard text.
std::string EntriesToGpx(const TEntries& entries, const std::vector<int>& indices);
QString EntriesToGpxText(const TEntries& entries, const std::vector<int>& indices);

class TChildDocument {
    Q_DECLARE_TR_FUNCTIONS(fMDIChild)
public:
    // Answers a yes/no question: true for Yes.
    using TAskYesNo = std::function<bool(const QString& text)>;

    TEntries Entries;
    // A local path, "FILE://" + a local path, or "MOBILE://" + a device path; empty when new.
    QString FileName;
    // Empty: the format follows the extension.
    QString FormatID;

    // "Untitled" or the file-name part, with "*" while the list has unsaved changes.
    QString Caption() const;

    // Takes every POI of entries in order (moved, not copied; entries ends empty); without append
    // the list is replaced, the change mark reset and the location and exporter format taken.
    // extension is the path's (LocationExtension), worked out once by the open routine.
    // "InitialDir" follows local locations.
    void LoadEntries(TEntries&& entries, const QString& path, const QString& extension, bool append,
        const QString& formatID);

    // Writes the list to path (none: the current location) in formatID (none: the current
    // format). Returns false when the precision question was answered No. The new location and
    // format are taken only once the write succeeded; a failure raises and changes nothing.
    bool SaveTo(const QString& path, const QString& formatID, const TAskYesNo& ask);
    bool SaveTo(const TAskYesNo& ask) { return SaveTo(QString(), QString(), ask); }

    // The Save As dialog's first filter (1-based): the row of the file's format, else of
    // lastSaveFormat; current when neither is registered.
    static int SaveAsFilterIndex(const QString& formatID, const QString& lastSaveFormat, int current);
    // The default extension of the Save As dialog for a filter index: the writer's own.
    static QString SaveAsSuffix(int filterIndex);
    // After the Save As dialog: saves as "FILE://" + name with the writer at filterIndex and
    // remembers folder, format and recent file. False when the precision question said No.
    bool SaveAsChosen(const QString& name, int filterIndex, const TAskYesNo& ask);

    // Save to the device as name (a device path without prefix) with the exporter at typeIndex;
    // with copyBitmap the picture beside the source goes along (asking before it replaces one).
    // Returns false when nothing was saved.
    bool SaveRemote(QString name, int typeIndex, bool copyBitmap, const TAskYesNo& ask);
    // The device browser's first name for Save Remote: a device file's own path, else the last
    // device folder (with its trailing "\") and the file's name.
    QString RemoteSaveName(const QString& prevRemoteDir) const;
    // The writer row preset for that name: its extension and the file's format.
    int RemoteSaveTypeIndex(const QString& name) const;

    // Index of the first POI from index from whose description contains text (case-insensitive);
    // raises EUserError with message when none.
    int FindFrom(const QString& text, int from, const QString& message) const;
    int Find(const QString& text) const;
    // From the POI after selected (0 when none) to the end, without wrapping.
    int FindNext(const QString& text, int selected) const;

    // Appends "New entry #<count>" and returns its index.
    int Insert();
    // Frees the POIs at the indices (any order, duplicates and out-of-range ones ignored) and
    // returns the index to select afterwards (the remembered one, else the last; -1 when empty).
    int Delete(std::vector<int> indices, int selected);
    void RenameSelected(const std::vector<int>& indices, const QString& description);
    // Sorts by column 0 description (case-insensitive), 1 latitude, 2 longitude; fewer than two
    // POIs are left alone.
    void SortByColumn(int column);

    // The selected POIs (description and coordinates only) as GPX text.
    std::string CopySelected(const std::vector<int>& indices) const;
    // Appends the POIs of GPX text; raises the importer's error for anything else.
    void Paste(std::string text);
    // The same as clipboard text (the GPX bytes are ISO-8859-1), and back: pasted text is read
    // as the characters it holds, whatever encoding its declaration names.
    QString CopySelectedText(const std::vector<int>& indices) const;
    void PasteText(const QString& text);
    // One line per selected POI: description TAB longitude TAB latitude CR LF.
    QString CopyAsText(const std::vector<int>& indices) const;

    // Copies the source's POIs at indices to before targetIndex (-1: the end) of target; inside
    // one document moves them, after the target item when moving down. Indices outside the source
    // are ignored. Returns the first index of the dropped POIs.
    static int DropEntries(TChildDocument& source, std::vector<int> indices, TChildDocument& target, int targetIndex);

private:
    std::vector<int> ValidIndices(std::vector<int> indices) const;
};
