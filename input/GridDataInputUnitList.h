#pragma once
// The mesh list of the mesh data editor: each row is a mesh's 1-based list index and the texts
// are formatted from the project when a row is drawn, so listing, refilling and sorting a
// hundred thousand meshes moves integers, not strings.

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <vector>

class TInputData;
struct TGridData;

// The value a list column shows and sorts by.
enum class TMeshField { None, X, Y, FH, GH, Layer0, Layer1, Layer2, Layer3, Layer4, CSink, BSink };

struct TListColumn {
    QString Caption;
    TMeshField Key;
    int Width, MinWidth, MaxWidth;
};

// The columns the project's settings make meaningful, in order.
std::vector<TListColumn> BuildListColumns(const TInputData& Data);

class TMeshListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // New project or new settings: no rows, the columns given.
    void Rebuild(const TInputData* Data, std::vector<TListColumn> Columns);
    const std::vector<TListColumn>& Columns() const { return FColumns; }

    void ClearList();
    // Appends rows without looking for earlier ones (the list was just emptied).
    void AppendRows(const std::vector<int32_t>& Indexes);
    // Updates the last row of the mesh, or appends one.
    void FillRow(int32_t Index);
    // Removes the last row of the mesh.
    void RemoveIndex(int32_t Index);
    int32_t RowIndex(int Row) const;
    // Row of the last row of the mesh, or -1.
    int FindRow(int32_t Index) const;

    // Ascending by the column's key; rows whose keys compare equal keep their order.
    void Sort(int Column);
    // Negative, zero or positive. Mesh numbers by their difference, real values by their
    // difference in thousandths rounded to the nearest (halves to even), so that values closer
    // than 0.0005 are equal; a value that is not a number equals every other.
    static int ListView1Compare(const TGridData& A, const TGridData& B, TMeshField Key);

    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;

private:
    const TGridData* Mesh(int32_t Index) const;

    const TInputData* FData = nullptr;
    std::vector<TListColumn> FColumns;
    std::vector<int32_t> FRows;
};
