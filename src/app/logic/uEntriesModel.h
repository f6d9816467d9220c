// The table model over a POI list: description, latitude, longitude, produced on demand.
#pragma once

#include "model/uModel.h"

#include <QAbstractTableModel>

// Hears of every change of the list's order and count from the list itself and tells its views
// in time; the list must outlive the model.
class TEntriesModel : public QAbstractTableModel, private TEntriesListener {
    Q_OBJECT
public:
    // The MIME type of POIs dragged between child windows: the source process, the source window's
    // key and the rows.
    static const QString MimeType;

    explicit TEntriesModel(TEntries& entries, QObject* parent = nullptr);
    ~TEntriesModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Column 0 in place: the POI's description.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

    // Identifies the window whose rows a drag carries.
    quint64 SourceKey = 0;

    // One reset of the views, for a change the list does not report.
    void Reload();
    // After the POI at row changed.
    void RowChanged(int row);
    // Decodes a drag of ours: the source key and the rows; false for anything else, a drag from
    // another process included (its keys and rows name another program's lists).
    static bool DecodeDrag(const QMimeData* data, quint64& sourceKey, std::vector<int>& rows);
    // What names this process in a drag: its id and a number drawn once per process, so that a
    // process of the same id elsewhere (another PID namespace) does not pass for it.
    struct TDragProcess {
        qint64 Pid = 0;
        quint64 Token = 0;
        bool operator==(const TDragProcess&) const = default;
    };
    static TDragProcess ThisProcess();

private:
    void EntriesAboutToBeInserted(int first, int last) override { beginInsertRows(QModelIndex(), first, last); }
    void EntriesInserted() override { endInsertRows(); }
    void EntriesAboutToBeRemoved(int first, int last) override { beginRemoveRows(QModelIndex(), first, last); }
    void EntriesRemoved() override { endRemoveRows(); }
    void EntriesAboutToBeReset() override { beginResetModel(); }
    void EntriesReset() override { endResetModel(); }

    TEntries& FEntries;
};
