// The duplicate finder: POIs of a child window's list that lie within a tolerance of each other,
// shown as groups in a tree, with copy, cut and delete of the duplicates.
#pragma once

#include "app/logic/uFindDups.h"
#include "app/windowbase/uTarvellForm.h"

#include <QAbstractListModel>

#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeView;
class TEntries;
class TfmProgress;

// The result as the tree shows it, one row per node: each group's first POI (level 0) followed
// by its duplicates (level 1, drawn indented). No item per POI is kept; captions are read from
// the list when shown. The groups are always shown open, as the search leaves them.
class TDupTreeModel : public QAbstractListModel {
    Q_OBJECT
public:
    // Qt::UserRole: the node's level (0 or 1).
    static constexpr int LevelRole = Qt::UserRole;

    explicit TDupTreeModel(QObject* parent = nullptr);

    // One reset for the whole result.
    void SetGroups(const TEntries* entries, std::vector<TDupGroup> groups);
    const std::vector<TDupGroup>& Groups() const { return FGroups; }
    // Removes the members at the (ascending) list indices from the groups and renumbers every POI
    // as the list does once they are deleted; one reset.
    void RemoveDeleted(const std::vector<int>& deleted);

    // The group of a row and the member's place in it (-1 for the group's first POI).
    std::pair<int, int> NodeAt(int row) const;
    // The row of a group's first POI.
    int GroupRow(int group) const { return FStarts[size_t(group)]; }
    bool IsMember(const QModelIndex& index) const { return index.isValid() && NodeAt(index.row()).second >= 0; }
    // The list index of the node's POI.
    int PoiIndex(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void Renumber();

    const TEntries* FEntries = nullptr;
    std::vector<TDupGroup> FGroups;
    // Row of each group's first POI, and the row count at the end.
    std::vector<int> FStarts;
};

class TfmFindDups : public TTarvellModalForm {
    Q_OBJECT
public:
    // owner: the child window whose list is searched (refreshed after a delete).
    explicit TfmFindDups(QWidget* owner = nullptr);

    // The child's list (not owned); must be set before the search.
    TEntries* Entries = nullptr;
    // Runs after a delete changed the list; the opener refreshes its window there.
    std::function<void()> OnEntriesDeleted;

    // Find: stores the tolerance and searches under the progress dialog.
    void acFindExecute();
    // The search itself (progress may be none); the groups replace the tree.
    void Search(TfmProgress* progress);
    void SelectAllDuplicates();
    void SelectNone();
    void acCopyExecute();
    void acCutExecute();
    void acDeleteExecute();
    // The list indices of the selected level-1 nodes, in tree order.
    std::vector<int> SelectedDuplicates() const;
    TDupTreeModel* Model() const { return FModel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TfmFindDupsTestAccess;

    QLineEdit* edTolerance = nullptr;
    QTreeView* TreeView1 = nullptr;
    QPushButton* buFind = nullptr;
    QPushButton* buClose = nullptr;
    QLabel* laSelectAll = nullptr;
    QLabel* laSelectNone = nullptr;
    QAction* acFind = nullptr;
    QAction* acCut = nullptr;
    QAction* acCopy = nullptr;
    QAction* acDelete = nullptr;

    class QHBoxLayout* CreateToleranceRow();
    // Copy, Cut, Delete, the select links and Close.
    class QVBoxLayout* CreateCommandColumn();
    void ConnectSignals();
    void Retranslate() override;
    void UpdateActions();
    // The tolerance in metres; a user error when the edit holds no number.
    double Tolerance() const;
    void Run(const std::function<void()>& body);

    TDupTreeModel* FModel = nullptr;
    QLabel* FToleranceLabel = nullptr;
    QLabel* FMetresLabel = nullptr;
    QToolButton* FButtons[3] = {};
};

class TMDIChild;
// Edit, Find Duplicates: the finder over child's list, owned by the child, shown modally; a delete
// reloads the child's list, marks it changed and refreshes it.
void ShowFindDups(TMDIChild& child);
