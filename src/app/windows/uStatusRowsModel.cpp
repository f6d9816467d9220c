// The rows of an update run as a list model.
#include "app/windows/uStatusRowsModel.h"

#include "ui/PngImageList.h"

int StatusImageIndex(TRowState state)
{
    switch (state) {
    case TRowState::Working:
        return 4;
    case TRowState::Done:
        return 5;
    case TRowState::Failed:
        return 6;
    case TRowState::Waiting:
    case TRowState::Cancelled:
        break;
    }
    return 3;
}

TStatusRowsModel::TStatusRowsModel(const TUpdateRun& run, const TPngImageCollection* images, QObject* parent)
    : QAbstractListModel(parent)
    , FRun(run)
    , FImages(images)
{
}

int TStatusRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FRun.RowCount();
}

QVariant TStatusRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() != 0 || index.row() < 0 || index.row() >= FRun.RowCount())
        return {};
    const TUpdateRow& row = FRun.Row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return row.Caption;
    case Qt::DecorationRole:
        return FImages ? FImages->Image(StatusImageIndex(row.State)) : QImage();
    case TargetRole:
        return row.TargetText;
    case StatusRole:
        return row.StatusText;
    case HintRole:
        return row.Hint;
    case PercentRole:
        return row.Percent;
    case StateRole:
        return int(row.State);
    case ShadeRole:
        return int(row.Shade);
    case SiteRowRole:
        return row.Item == nullptr;
    default:
        return {};
    }
}

Qt::ItemFlags TStatusRowsModel::flags(const QModelIndex& index) const
{
    // Rows are looked at, never chosen or edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

void TStatusRowsModel::ChangeRows(const std::function<void()>& change)
{
    beginResetModel();
    // The views hear of the end also when the change fails half way.
    struct TEnd {
        TStatusRowsModel* Model;
        ~TEnd() { Model->endResetModel(); }
    } end { this };
    change();
}

void TStatusRowsModel::RowChanged(int row)
{
    const QModelIndex at = index(row);
    emit dataChanged(at, at);
}
