// The table model over a POI list.
#include "app/logic/uEntriesModel.h"

#include "core/uCodePage.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QRandomGenerator>

#include <set>

const QString TEntriesModel::MimeType = QStringLiteral("application/x-tarvell-poi-rows");

TEntriesModel::TEntriesModel(TEntries& entries, QObject* parent)
    : QAbstractTableModel(parent)
    , FEntries(entries)
{
    FEntries.SetListener(this);
}

TEntriesModel::~TEntriesModel() { FEntries.SetListener(nullptr); }

int TEntriesModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FEntries.Count(); }

int TEntriesModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant TEntriesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= FEntries.Count())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return index.column() == 0 ? QVariant() : QVariant(int(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    const TEntry& entry = FEntries[index.row()];
    switch (index.column()) {
    case 0: return AnsiToUnicode(entry.GetDescription());
    case 1: return entry.GetLatitudeStr();
    case 2: return entry.GetLongitudeStr();
    default: return QVariant();
    }
}

QVariant TEntriesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return section == 0 ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter)) : QVariant(int(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0: return tr("Description");
    case 1: return tr("Latitude");
    case 2: return tr("Longitude");
    default: return QVariant();
    }
}

Qt::ItemFlags TEntriesModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == 0)
        result |= Qt::ItemIsEditable;
    return result;
}

bool TEntriesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0 || index.row() >= FEntries.Count())
        return false;
    FEntries[index.row()].SetDescription(UnicodeToAnsi(value.toString()));
    RowChanged(index.row());
    return true;
}

QStringList TEntriesModel::mimeTypes() const { return { MimeType }; }

QMimeData* TEntriesModel::mimeData(const QModelIndexList& indexes) const
{
    std::set<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid())
            rows.insert(index.row());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    const TDragProcess process = ThisProcess();
    out << process.Pid << process.Token << SourceKey << quint32(rows.size());
    for (const int row : rows)
        out << qint32(row);
    auto* data = new QMimeData;
    data->setData(MimeType, bytes);
    return data;
}

Qt::DropActions TEntriesModel::supportedDropActions() const { return Qt::CopyAction | Qt::MoveAction; }

Qt::DropActions TEntriesModel::supportedDragActions() const { return Qt::CopyAction | Qt::MoveAction; }

void TEntriesModel::Reload()
{
    beginResetModel();
    endResetModel();
}

void TEntriesModel::RowChanged(int row)
{
    if (row >= 0 && row < FEntries.Count())
        emit dataChanged(index(row, 0), index(row, 2));
}

TEntriesModel::TDragProcess TEntriesModel::ThisProcess()
{
    static const TDragProcess process { QCoreApplication::applicationPid(), QRandomGenerator::system()->generate64() };
    return process;
}

bool TEntriesModel::DecodeDrag(const QMimeData* data, quint64& sourceKey, std::vector<int>& rows)
{
    rows.clear();
    if (!data || !data->hasFormat(MimeType))
        return false;
    const QByteArray bytes = data->data(MimeType);
    QDataStream in(bytes);
    TDragProcess process;
    quint32 count = 0;
    in >> process.Pid >> process.Token >> sourceKey >> count;
    // Each row takes four bytes: a count the data cannot hold is a forged drag.
    if (in.status() != QDataStream::Ok || count > quint32(bytes.size()) / 4)
        return false;
    if (!(process == ThisProcess()))
        return false;
    for (quint32 i = 0; i < count; ++i) {
        qint32 row = 0;
        in >> row;
        if (in.status() != QDataStream::Ok)
            return false;
        rows.push_back(row);
    }
    return true;
}
