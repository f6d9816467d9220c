// The rows of an update run as a list model for the status window: produced on demand from the
// run's rows, so that a run of a hundred thousand items costs no more to show than a few.
#pragma once

#include "sites/uUpdateRun.h"

#include <QAbstractListModel>

#include <functional>

class TPngImageCollection;

// The icon index of the data module's status pictures for a row state: 3 waiting (also a row
// the run never reached), 4 working, 5 done, 6 failed.
int StatusImageIndex(TRowState state);

// Column 0 only. Display is the row's caption, decoration its status picture; the other texts and
// the state come through the roles below. The run (and the pictures) must outlive the model.
class TStatusRowsModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum TRole {
        TargetRole = Qt::UserRole + 1, // "Target: ...", empty for a site row
        StatusRole, // "Status: ..."
        HintRole, // a failed row's whole status text, empty otherwise
        PercentRole, // the row's bar, 0..100
        StateRole, // int(TRowState)
        ShadeRole, // int(TRowShade)
        SiteRowRole, // true for a site's catalogue row
    };

    TStatusRowsModel(const TUpdateRun& run, const TPngImageCollection* images, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows added to the run by change: one reset of the views.
    void ChangeRows(const std::function<void()>& change);
    // After the row's state, texts or bar changed.
    void RowChanged(int row);

private:
    const TUpdateRun& FRun;
    const TPngImageCollection* FImages;
};
