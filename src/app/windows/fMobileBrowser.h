// The open and save dialog over the device's folders ("Open Remote..." / "Save Remote..."), with a
// list of places, the folder's files, the file name and, when saving, the file type.
#pragma once

#include "app/logic/uMobileBrowser.h"
#include "app/windowbase/uTarvellForm.h"

#include <QIcon>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QToolBar;
class QTreeWidget;

// The pictures of the device dialogs.
enum class TDevicePicture { File, Folder, FolderOpen, Device, Map };
QIcon DevicePicture(TDevicePicture picture);

// The caller connects to the device (ConnectDevice) before showing the dialog, and reads FileName
// after it was accepted. A first show that fails closes the dialog again.
class TfmMobileBrowser : public TTarvellModalForm {
    Q_OBJECT
public:
    TfmMobileBrowser(QWidget* owner, bool saveMode);
    explicit TfmMobileBrowser(QWidget* owner = nullptr)
        : TfmMobileBrowser(owner, false)
    {
    }

    bool SaveMode() const { return F.SaveMode(); }
    // Presets the folder and name, and chooses the format of its extension.
    void SetFileName(const QString& path);
    QString FileName() const { return F.FileName; }
    // The row of the format list (writers or readers); -1 for none.
    int FormatIndex() const { return F.FormatIndex; }
    void SetFormatIndex(int row);
    // The reader format for the open routine (see TMobileBrowser::OpenFormatID).
    QString OpenFormatID() const { return F.OpenFormatID(); }
    void SetExtraVisible(bool visible);
    void SetExtraCaption(const QString& caption);
    bool GetExtraChecked() const;
    // The first show completed.
    bool Shown() const { return FShown; }
    const TMobileBrowser& Logic() const { return F; }

    // Fills the places and lists the preset folder (or opens the first place).
    void FormShow();
    // The command behind each control, as a user triggers them.
    void ListFolder(const QString& folder);
    void PlaceClicked(int place);
    void OpenExecute();
    void DirUpExecute();
    void RefreshExecute();
    void DeleteExecute();
    void FilterChanged(int row);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TfmMobileBrowserTestAccess;

    QListWidget* lvPlaces = nullptr;
    QLineEdit* edDir = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QLabel* laFile = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* laFilter = nullptr;
    QComboBox* coFilter = nullptr;
    QCheckBox* cbExtra = nullptr;
    QPushButton* buOpen = nullptr;
    QPushButton* buCancel = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* actDirUp = nullptr;
    QAction* actRefresh = nullptr;
    QAction* acOpen = nullptr;
    QAction* acDelete = nullptr;

    void CreateControls();
    // Open, Delete and Refresh over the file list.
    void CreatePopupMenu();
    void LayOut();
    void ConnectSignals();
    void Retranslate() override;
    void Run(const std::function<void()>& body);
    void ShowPlaces();
    void ShowList();
    void UpdateActions();

    TMobileBrowser F;
    bool FShown = false;
    bool FShowing = false;
    bool FUpdating = false;
    QString FTriedDir;
};
