// The duplicate finder: POIs of a child window's list that lie within a tolerance of each other,
// shown as groups in a tree, with copy, cut and delete of the duplicates.
#pragma once

#include "app/uFindDups.h"
#include "app/uTarvellForm.h"

#include <QAbstractItemModel>

#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeView;
class TEntries;
class TfmProgress;

// The result as a tree: level 0 the first POI of each group, level 1 its duplicates. No item per
// POI is kept; captions are read from the list when shown.
class TDupTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TDupTreeModel(QObject* parent = nullptr);

    // One reset for the whole result.
    void SetGroups(const TEntries* entries, std::vector<TDupGroup> groups);
    const std::vector<TDupGroup>& Groups() const { return FGroups; }
    // Removes the members at the (ascending) list indices from the groups and renumbers every POI
    // as the list does once they are deleted; one reset.
    void RemoveDeleted(const std::vector<int>& deleted);

    static bool IsMember(const QModelIndex& index) { return index.isValid() && index.internalId() != 0; }
    // The list index of the node's POI.
    int PoiIndex(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const TEntries* FEntries = nullptr;
    std::vector<TDupGroup> FGroups;
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
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
