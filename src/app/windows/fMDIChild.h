// The window of one POI file inside its host window: the edit row above the list of POIs, its
// commands, clipboard and drag and drop, and saving.
#pragma once

#include "app/logic/uChildDocument.h"
#include "app/windows/uChildHost.h"
#include "app/logic/uEntryEditSync.h"
#include "app/logic/uMainActions.h"
#include "app/windowbase/uTarvellForm.h"

#include <QTableView>

#include <functional>
#include <map>
#include <memory>

class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTabBar;
class QToolBar;
class TEntriesModel;
class TMapForm;
class TPluginOpenExternal;

// The POI list; what is dropped on it goes to its window.
class TEntriesView : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    // A caption is being edited in place.
    bool IsEditing() const { return state() == EditingState; }
    std::function<bool(const QMimeData*)> AcceptsDrop;
    std::function<void(QDropEvent*)> OnDrop;
    // After the list has handled a mouse release or a key release.
    std::function<void()> OnMouseReleased;
    std::function<void(QKeyEvent*)> OnKeyReleased;

protected:
    // Home and End (with or without Ctrl) go to the first and last row in the current column, as
    // in any list; with Shift they extend the selection, else the row is selected alone.
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event = nullptr) const override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class TMDIChild : public TTarvellForm {
    Q_OBJECT
public:
    // host: the window whose status bar the child fills; it outlives the child.
    explicit TMDIChild(TChildHost& host, QWidget* parent = nullptr);
    ~TMDIChild() override;

    TChildDocument& Document() { return FDocument; }
    TEntries& Entries() { return FDocument.Entries; }
    TEntriesModel* Model() const { return FModel; }
    // The POI of the selected item (GetSelectedIndex), the one the map marks; none when none is.
    TEntry* GetEntry() const;
    // The selected item (the focused one when it is selected, else the first); -1 when none.
    int GetSelectedIndex() const;
    // Every selected row in list order.
    std::vector<int> SelectedIndices() const;
    // Selects row alone, scrolls to it and focuses the list.
    void SelectOnly(int row);
    QAction* Action(TAction id) const { return FActions[size_t(id)]; }

    // False when the user cancelled the Save As dialog or said No to the precision question.
    bool Save();
    bool SaveAs();
    // Save to path (empty: the current location) in formatID; false when the precision question
    // said No.
    bool SaveTo(const QString& path, const QString& formatID);
    // Saves to the device as name (no prefix) with the writer at typeIndex, the picture along with
    // copyBitmap; false when nothing was saved.
    bool SaveRemote(const QString& name, int typeIndex, bool copyBitmap);
    // True when the window may close.
    bool AskSave();
    // The close question (pending edit written first); false when the user refuses the close.
    bool CloseQuery();

    void Refresh() { RefreshView(false); }
    void RefreshView(bool force);
    void ShowEntryInEdits();
    void UpdateActions();
    // The window shows and writes the edit row's values through these.
    TEntryEditValues EditValues() const;
    QLineEdit* Edit(TEntryEdit edit) const;

    // The location shown without a "FILE://" prefix, empty for a new file.
    QString FileName() const;
    // The list has the input focus and is not editing a caption.
    bool ListHasFocus() const;
    void CopySelected();
    void CopyAsText();
    void CutSelected();
    void Paste();
    void Delete();
    void Insert();
    void SelectAll();
    void InvertSelection();
    void Find(const QString& text);
    void FindNext(const QString& text);
    void RenameSelected();
    // Opens the commit dialog for the current POI; a user error when no site takes commits.
    void acCommitExecute();
    // Drops our POI drag on row (-1: below the last item); anything else is refused (false).
    bool DropMime(const QMimeData* data, int row);

    // --- the map pane ---
    // The docked map window while the pane is shown and holds one, else nullptr.
    TMapForm* MapForm() const;
    // Shows the pane and docks the map window of the remembered tab.
    void ShowMapPane();
    void acOpenMapExecute();
    void acCloseMapExecute();
    // Docks the map window of tab index; on failure the previous window and tab stay.
    void tsMapsChange(int index);
    // The selected POIs to the map window, the list's selected item as its current one.
    void PushSelectionToMap();
    // Map callbacks: a picked position for the current POI (degrees), the mouse position on the
    // map (status panel 1), POIs chosen on the map (selected here, nothing else).
    void MapSetPosition(double lat, double lon);
    void MapMouseCoords(int x, int y, double lat, double lon);
    void MapSelectEntries(TEntries& entries);
    // The host activated this child: the map window first, then the status bar.
    void ChildActivated();

    // --- plug-in commands ---
    // Shows the current POI in the external program of plugin, then, when "PluginAutoArrange" is
    // on and the plug-in can, puts the host in the strip beside it. A failing plug-in is
    // the user error naming it.
    void ShowInPlugin(TPluginOpenExternal& plugin);
    // Adds the selected POIs in list order (the first with first = 1); a failure stops there.
    void AddToPlugin(TPluginOpenExternal& plugin);
    // Enabled state, captions and visibility of the four plug-in actions.
    void UpdatePluginActions();
    // Refills the submenus with every external plug-in except the default (each popup).
    void FillPluginMenus();

    // A live child window by its drag key; nullptr when it is gone.
    static TMDIChild* FromKey(quint64 key);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TMDIChildTestAccess;

    TEntriesView* ListView1 = nullptr;
    QLineEdit* edDescription = nullptr;
    QLineEdit *edLatDeg = nullptr, *edLatMin = nullptr, *edLatSec = nullptr;
    QLineEdit *edLonDeg = nullptr, *edLonMin = nullptr, *edLonSec = nullptr;
    QLineEdit *edLatitude = nullptr, *edLongitude = nullptr;
    QPushButton *buLatSign = nullptr, *buLonSign = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QMenu* PopupActionBarEx1 = nullptr;
    QWidget* paMaps = nullptr;
    QSplitter* spMap = nullptr;
    QWidget* paMapForm = nullptr;
    QTabBar* tsMaps = nullptr;
    QMenu* miShowIn = nullptr;
    QMenu* miAddTo = nullptr;
    bool BulkSelecting = false;
    bool KeySelectPending = false;

    void CreateActions();
    // The constructor's halves: the widgets (splitter, map pane, tool bar, edit row, list and the
    // list's menu), then the signals between them.
    void CreateLayout();
    void CreateList(QWidget* parent);
    void CreatePopupMenu();
    void ConnectSignals();
    // What each of the window's commands does.
    void Execute(TAction id);
    void CreateEditRow(QWidget* host);
    void CreateMapPane();
    void PlaceMapPane();
    // The map window of tab index, not yet docked; nullptr for a tab that shows none.
    std::unique_ptr<TMapForm> CreateMapForm(int index);
    void ListKeyReleased(QKeyEvent* key);
    // The rows of the list that hold the given POIs, ascending.
    std::vector<int> RowsOf(TEntries& entries);
    void Retranslate() override;
    void Run(const std::function<void()>& body);
    // Writes the edit back to the current POI; leaving the field also shows the POI's value again
    // when the text did not change it.
    void EditChanged(TEntryEdit edit, bool leaving = true);
    bool AnyEditActive() const;
    bool EditingCaption() const;
    void AlignColumns();
    void AfterBulkChange();
    void DropOn(QDropEvent* event);
    bool AcceptsDrop(const QMimeData* data) const;
    bool DescriptionKey(QKeyEvent* key);
    // The common first steps of both plug-in commands; returns the host's strip.
    QRect ArrangePlugin(TPluginOpenExternal& plugin);
    void ArrangeMainWindow(TPluginOpenExternal& plugin, const QRect& strip);

    TChildHost& FHost;
    TChildDocument FDocument;
    TEntriesModel* FModel = nullptr;
    QWidget* FEditRow = nullptr;
    QWidget* FCoordPanel = nullptr;
    QWidget* FScrollStrip = nullptr;
    std::map<TEntryEdit, QLineEdit*> FEdits;
    QString FDescriptionBefore;
    TActionArray<QAction*> FActions {};
    quint64 FKey = 0;
    bool FDestroying = false;
    TMapForm* FMapForm = nullptr;
    // The tab whose window is docked; -1 before the first.
    int FMapTab = -1;
    int FMapPanelWidth = 0;
};
