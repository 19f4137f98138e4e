#include "GridDataInputUnitList.h"

#include "model/DataUnit.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const kLayerCaptions[2][4] = {
    {"１層厚(m)", "２層厚(m)", "３層厚(m)", "４層厚(m)"},
    {"２層標高(m)", "３層標高(m)", "４層標高(m)", "５層標高(m)"}};

double RealValue(const TGridData& G, TMeshField Key) {
    switch (Key) {
    case TMeshField::FH:
        return G.FH;
    case TMeshField::GH:
        return G.GH;
    case TMeshField::Layer0:
    case TMeshField::Layer1:
    case TMeshField::Layer2:
    case TMeshField::Layer3:
    case TMeshField::Layer4:
        return G.LAYER[int(Key) - int(TMeshField::Layer0)];
    case TMeshField::CSink:
        return G.CSink;
    case TMeshField::BSink:
        return G.BSink;
    default:
        return 0.0;
    }
}

} // namespace

std::vector<TListColumn> BuildListColumns(const TInputData& Data) {
    std::vector<TListColumn> c = {{QString(), TMeshField::None, 16, 16, 16},
                                  {QStringLiteral("Ｘ"), TMeshField::X, 50, 30, 80},
                                  {QStringLiteral("Ｙ"), TMeshField::Y, 50, 30, 80},
                                  {QStringLiteral("計画高(m)"), TMeshField::FH, 80, 50, 100},
                                  {QStringLiteral("地盤高(m)"), TMeshField::GH, 80, 50, 100}};
    if (Data.Hyoudo())
        c.push_back({QStringLiteral("表土厚(m)"), TMeshField::Layer0, 80, 50, 100});
    const int mode = Data.SolidType() == 1 ? 1 : 0;
    for (int k = 1; k < Data.Layer() && k <= 4; ++k)
        c.push_back({QString::fromUtf8(kLayerCaptions[mode][k - 1]),
                     TMeshField(int(TMeshField::Layer0) + k), 80, 50, 100});
    if (Data.Fumikomi())
        c.push_back({QStringLiteral("踏込沈下(m)"), TMeshField::CSink, 80, 50, 100});
    if (Data.Atumitu())
        c.push_back({QStringLiteral("圧密沈下(m)"), TMeshField::BSink, 80, 50, 100});
    return c;
}

void TMeshListModel::Rebuild(const TInputData* Data, std::vector<TListColumn> Columns) {
    beginResetModel();
    FData = Data;
    FColumns = std::move(Columns);
    FRows.clear();
    endResetModel();
}

void TMeshListModel::ClearList() {
    if (FRows.empty())
        return;
    beginRemoveRows(QModelIndex(), 0, int(FRows.size()) - 1);
    FRows.clear();
    endRemoveRows();
}

void TMeshListModel::AppendRows(const std::vector<int32_t>& Indexes) {
    if (Indexes.empty())
        return;
    const int first = int(FRows.size());
    beginInsertRows(QModelIndex(), first, first + int(Indexes.size()) - 1);
    FRows.insert(FRows.end(), Indexes.begin(), Indexes.end());
    endInsertRows();
}

int TMeshListModel::FindRow(int32_t Index) const {
    for (size_t r = FRows.size(); r-- > 0;)
        if (FRows[r] == Index)
            return int(r);
    return -1;
}

void TMeshListModel::FillRow(int32_t Index) {
    const int row = FindRow(Index);
    if (row >= 0) {
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        return;
    }
    AppendRows({Index});
}

void TMeshListModel::RemoveIndex(int32_t Index) {
    const int row = FindRow(Index);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    FRows.erase(FRows.begin() + row);
    endRemoveRows();
}

int32_t TMeshListModel::RowIndex(int Row) const {
    return Row >= 0 && size_t(Row) < FRows.size() ? FRows[size_t(Row)] : 0;
}

const TGridData* TMeshListModel::Mesh(int32_t Index) const {
    if (!FData || Index <= 0 || size_t(Index) > FData->GridList().size())
        return nullptr;
    return &FData->GridList()[size_t(Index) - 1];
}

int TMeshListModel::ListView1Compare(const TGridData& A, const TGridData& B, TMeshField Key) {
    switch (Key) {
    case TMeshField::None:
        return 0;
    case TMeshField::X:
    case TMeshField::Y: {
        const int64_t d = Key == TMeshField::X ? int64_t(A.X) - B.X : int64_t(A.Y) - B.Y;
        return d < 0 ? -1 : d > 0 ? 1 : 0;
    }
    default: {
        // nearbyint rounds halves to even in the default rounding mode.
        const double d = std::nearbyint((RealValue(A, Key) - RealValue(B, Key)) * 1000.0);
        return d < 0 ? -1 : d > 0 ? 1 : 0;
    }
    }
}

void TMeshListModel::Sort(int Column) {
    if (Column < 0 || size_t(Column) >= FColumns.size() || !FData)
        return;
    const TMeshField key = FColumns[size_t(Column)].Key;
    const std::vector<TGridData>& grid = FData->GridList();
    const auto valid = [&grid](int32_t i) { return i > 0 && size_t(i) <= grid.size(); };
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int32_t> oldRows;
    oldRows.reserve(size_t(before.size()));
    for (const QModelIndex& i : before)
        oldRows.push_back(RowIndex(i.row()));
    // The tolerance makes "equal" non-transitive; a merge sort still visits each element
    // within the range whatever the comparison answers, and keeps equal rows in order.
    std::stable_sort(FRows.begin(), FRows.end(), [&](int32_t a, int32_t b) {
        if (!valid(a) || !valid(b))
            return false;
        return ListView1Compare(grid[size_t(a) - 1], grid[size_t(b) - 1], key) < 0;
    });
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = FindRow(oldRows[size_t(i)]);
        after.append(row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TMeshListModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : int(FRows.size());
}

int TMeshListModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : int(FColumns.size());
}

QVariant TMeshListModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || size_t(Index.row()) >= FRows.size() ||
        size_t(Index.column()) >= FColumns.size())
        return QVariant();
    if (Role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (Role == Qt::UserRole)
        return FRows[size_t(Index.row())];
    if (Role != Qt::DisplayRole)
        return QVariant();
    const TGridData* g = Mesh(FRows[size_t(Index.row())]);
    if (!g)
        return QVariant();
    const TMeshField key = FColumns[size_t(Index.column())].Key;
    switch (key) {
    case TMeshField::None:
        return QString();
    case TMeshField::X:
        return QString::number(g->X);
    case TMeshField::Y:
        return QString::number(g->Y);
    default:
        return QString::fromStdString(FormatFixed(RealValue(*g, key), 3));
    }
}

QVariant TMeshListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Section < 0 || size_t(Section) >= FColumns.size())
        return QVariant();
    if (Role == Qt::DisplayRole)
        return FColumns[size_t(Section)].Caption;
    if (Role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return QVariant();
}
