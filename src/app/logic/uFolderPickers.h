// The rules of the two folder pickers: the navigator maps beside the device folder tree, and which
// local folders can be chosen as a target.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The map list of the device folder picker: "[Other]" first, then one entry per navigator map
// (a map found twice is listed twice).
class TMobileFolderMaps {
    Q_DECLARE_TR_FUNCTIONS(TfmMobileFolder)
public:
    // Reads the maps as "path=name" lines (GetDeviceMaps; connects).
    void Fill();
    QStringList Maps;

    QStringList Entries() const;
    // The device path entry stands for: empty for "[Other]" (entry 0) and out of range.
    QString PathOfEntry(int entry) const;
    // The entry of a tree path (without leading "\"): the first map whose path it is (case and a
    // trailing "\" ignored), else 0.
    int EntryOfPath(const QString& treePath) const;
    // OK of the picker: an empty path raises EUserError "No map or folder specified".
    static void CheckPath(const QString& treePath);
};

// Whether a shell tree's directory can be the target: an absolute path of an existing folder. The
// virtual folders ("*") cannot.
bool IsSelectableFolder(const QString& directory);
