// The device folder picker ("Select Mobile Folder..."): the device's folder tree with the
// navigator's maps as shortcuts, and the target file type.
#pragma once

#include "app/windows/uFolderPickerForm.h"
#include "app/logic/uFolderPickers.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TTreeViewCe;

// The caller connects to the device before creating the picker: the maps are read at creation
// (errors of the device layer raise from the constructor), the tree at its first show.
class TfmMobileFolder : public TFolderPickerForm {
    Q_OBJECT
public:
    explicit TfmMobileFolder(QWidget* owner = nullptr);

    // The tree's path (no leading "\").
    QString GetPath() const;
    // Selects path in the tree, then shows it and its map as a selection does.
    void SetPath(const QString& path);
    const TMobileFolderMaps& Maps() const { return FMaps; }

    // The commands behind the controls, as a user triggers them.
    void MapChosen(int entry);
    void OKExecute();

private:
    friend class TfmMobileFolderTestAccess;

    TTreeViewCe* TreeViewCe1 = nullptr;
    QLabel* laPath = nullptr;
    QLabel* laMaps = nullptr;
    QComboBox* coMaps = nullptr;
    QPushButton* buOpen = nullptr;

    void Retranslate() override;
    void SelectionChanged();

    TMobileFolderMaps FMaps;
};
