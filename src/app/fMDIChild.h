// The window of one POI file inside the main window: the edit row above the list of POIs, its
// commands, clipboard and drag and drop, and saving.
#pragma once

#include "app/fMain.h"
#include "app/uChildDocument.h"
#include "app/uEntryEditSync.h"
#include "app/uTarvellForm.h"

#include <QMap>
#include <QTableView>

#include <functional>
#include <map>

class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class TEntriesModel;

// The POI list; what is dropped on it goes to its window.
class TEntriesView : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    // A caption is being edited in place.
    bool IsEditing() const { return state() == EditingState; }
    std::function<bool(const QMimeData*)> AcceptsDrop;
    std::function<void(QDropEvent*)> OnDrop;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class TMDIChild : public TTarvellForm, public TChildWindow {
    Q_OBJECT
public:
    explicit TMDIChild(QWidget* parent = nullptr);
    ~TMDIChild() override;

    TChildDocument& Document() { return FDocument; }
    TEntries& Entries() { return FDocument.Entries; }
    TEntriesModel* Model() const { return FModel; }
    // The focused item's POI, else the selected one's, else none.
    TEntry* GetEntry() const;
    // The selected item (the focused one when it is selected, else the first); -1 when none.
    int GetSelectedIndex() const;
    // Every selected row in list order.
    std::vector<int> SelectedIndices() const;
    // Selects row alone, scrolls to it and focuses the list.
    void SelectOnly(int row);
    QAction* Action(const QString& name) const { return FActions.value(name, nullptr); }

    void LoadEntries(const TEntries& entries, const QString& path, bool append, const QString& formatID);
    // False when the user cancelled the Save As dialog or said No to the precision question.
    bool DoSave();
    bool DoSaveAs();
    // Save to path (empty: the current location) in formatID; false when the precision question
    // said No.
    bool SaveTo(const QString& path, const QString& formatID);
    // True when the window may close.
    bool AskSave();

    void Refresh() { RefreshView(false); }
    void RefreshView(bool force);
    void ShowEntryInEdits();
    void UpdateActions();
    // The window shows and writes the edit row's values through these.
    TEntryEditValues EditValues() const;
    QLineEdit* Edit(TEntryEdit edit) const;

    // TChildWindow
    QString FileName() const override;
    bool ListHasFocus() const override;
    bool CloseQuery() override;
    void Save() override { DoSave(); }
    void SaveAs() override { DoSaveAs(); }
    void SaveRemote() override;
    void CopySelected() override;
    void CopyAsText() override;
    void CutSelected() override;
    void Paste() override;
    void Delete() override;
    void Insert() override;
    void SelectAll() override;
    void InvertSelection() override;
    void Find(const QString& text) override;
    void FindNext(const QString& text) override;
    void RenameSelected();
    // Drops our POI drag on row (-1: below the last item); anything else is refused (false).
    bool DropMime(const QMimeData* data, int row);

    // The device browser in save mode (it comes with the device file browser): the chosen device
    // name, file-type index and the "Copy bmp file if available" box; false when cancelled.
    using TDeviceSaveBrowser = std::function<bool(QWidget* owner, QString& name, int& typeIndex, bool& copyBitmap)>;
    static TDeviceSaveBrowser& DeviceSaveBrowser();
    // A live child window by its drag key; nullptr when it is gone.
    static TMDIChild* FromKey(quint64 key);

    TEntriesView* ListView1 = nullptr;
    QLineEdit* edDescription = nullptr;
    QLineEdit *edLatDeg = nullptr, *edLatMin = nullptr, *edLatSec = nullptr;
    QLineEdit *edLonDeg = nullptr, *edLonMin = nullptr, *edLonSec = nullptr;
    QLineEdit *edLatitude = nullptr, *edLongitude = nullptr;
    QPushButton *buLatSign = nullptr, *buLonSign = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QMenu* PopupActionBarEx1 = nullptr;
    bool BulkSelecting = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateActions();
    void CreateEditRow(QWidget* host);
    void Retranslate() override;
    void Run(const std::function<void()>& body);
    void EditChanged(TEntryEdit edit);
    bool AnyEditActive() const;
    bool EditingCaption() const;
    void AlignColumns();
    void AfterBulkChange();
    void DropOn(QDropEvent* event);
    bool AcceptsDrop(const QMimeData* data) const;
    bool DescriptionKey(QKeyEvent* key);
    TfmTarvellMainForm* MainForm() const;

    TChildDocument FDocument;
    TEntriesModel* FModel = nullptr;
    QWidget* FEditRow = nullptr;
    QWidget* FCoordPanel = nullptr;
    std::map<TEntryEdit, QLineEdit*> FEdits;
    QMap<QString, QAction*> FActions;
    quint64 FKey = 0;
    bool FDestroying = false;
};

// The open routine as the main window runs it: child windows, progress window, the picture
// beside the file and the choose-format dialog. child (may be none) is a TMDIChild.
void OpenFileInMainWindow(TfmTarvellMainForm& main, const QString& path, TChildWindow* child, bool append, const QString& formatID);
// Child windows and the open routine for the main window's services.
void AddChildServices(TMainFormServices& services);
