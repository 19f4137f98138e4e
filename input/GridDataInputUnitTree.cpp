#include "GridDataInputUnitTree.h"

#include "model/DataUnit.h"

#include <QIcon>
#include <QTreeWidget>

#include <algorithm>

namespace {

int Sign(int64_t Value) {
    return Value < 0 ? -1 : Value > 0 ? 1 : 0;
}

} // namespace

TMeshNode::TMeshNode(const TMeshNodeData& AData, const QString& Caption, const QIcon& Icon)
    : QTreeWidgetItem(QTreeWidgetItem::UserType), Data(AData) {
    setText(0, Caption);
    setIcon(0, Icon);
}

TMeshTree::TMeshTree(QTreeWidget* View, int Kind, const QIcon& Icon)
    : FView(View), FKind(Kind), FIcon(Icon) {}

int TMeshTree::TreeViewXCompare(const TMeshNodeData& A, const TMeshNodeData& B, int Kind) {
    // In 64 bits: the difference of two mesh numbers does not always fit in 32.
    const int64_t first = Kind == 1 ? int64_t(A.X) - B.X : int64_t(A.Y) - B.Y;
    if (first != 0)
        return Sign(first);
    return Sign(Kind == 1 ? int64_t(A.Y) - B.Y : int64_t(A.X) - B.X);
}

void TMeshTree::Clear() {
    FGroups.clear();
    FMeshes.clear();
    FTop = nullptr;
    FView->clear();
}

TMeshNode* TMeshTree::NewGroup(const TMeshNodeData& Mesh) {
    TMeshNodeData d{Mesh.X, Mesh.Y, 0, FKind};
    auto* node = new TMeshNode(d, QString::number(GroupCoordinate(d)), FIcon);
    FGroups[GroupCoordinate(d)] = node;
    return node;
}

TMeshNode* TMeshTree::NewMeshNode(const TMeshNodeData& Mesh) {
    TMeshNodeData d{Mesh.X, Mesh.Y, Mesh.Index, 3};
    auto* node =
        new TMeshNode(d, QString::number(d.X) + QLatin1Char(',') + QString::number(d.Y), FIcon);
    FMeshes[Key(d.X, d.Y)] = node;
    return node;
}

void TMeshTree::Build(const std::vector<TGridData>& Meshes) {
    Clear();
    FTop = new TMeshNode(TMeshNodeData{}, QStringLiteral("全表示"), FIcon);

    std::vector<TMeshNodeData> live;
    live.reserve(Meshes.size());
    for (size_t i = 0; i < Meshes.size(); ++i)
        if (!Meshes[i].DelFlg)
            live.push_back({Meshes[i].X, Meshes[i].Y, int32_t(i + 1), 3});
    const int kind = FKind;
    // Stable: of meshes with the same numbers the last one ends its run and names the node.
    std::stable_sort(live.begin(), live.end(), [kind](const auto& A, const auto& B) {
        return TreeViewXCompare(A, B, kind) < 0;
    });
    FMeshes.reserve(live.size());

    QList<QTreeWidgetItem*> groups;
    QList<QTreeWidgetItem*> children;
    TMeshNode* group = nullptr;
    for (size_t i = 0; i < live.size(); ++i) {
        if (i + 1 < live.size() && live[i + 1].X == live[i].X && live[i + 1].Y == live[i].Y)
            continue;
        if (!group || GroupCoordinate(group->Data) != GroupCoordinate(live[i])) {
            if (group)
                group->addChildren(children);
            children.clear();
            group = NewGroup(live[i]);
            groups.append(group);
        }
        children.append(NewMeshNode(live[i]));
    }
    if (group)
        group->addChildren(children);
    FTop->addChildren(groups);
    FView->addTopLevelItem(FTop);
    FTop->setExpanded(true);
}

void TMeshTree::InsertSorted(QTreeWidgetItem* Parent, TMeshNode* Node) {
    int lo = 0, hi = Parent->childCount();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        const auto* other = static_cast<const TMeshNode*>(Parent->child(mid));
        if (TreeViewXCompare(other->Data, Node->Data, FKind) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    Parent->insertChild(lo, Node);
}

void TMeshTree::AddToTree(const TGridData& Mesh) {
    if (Mesh.Index == 0 || !FTop)
        return;
    const TMeshNodeData d{Mesh.X, Mesh.Y, Mesh.Index, 3};
    TMeshNode* group = FindGroup(GroupCoordinate(d));
    if (!group) {
        group = NewGroup(d);
        InsertSorted(FTop, group);
    }
    if (!FindMesh(d.X, d.Y))
        InsertSorted(group, NewMeshNode(d));
    FTop->setExpanded(true);
}

void TMeshTree::SetMeshIndex(int32_t X, int32_t Y, int32_t Index) {
    auto it = FMeshes.find(Key(X, Y));
    if (it == FMeshes.end())
        return;
    if (Index > 0) {
        it->second->Data.Index = Index;
        return;
    }
    delete it->second; // leaves its parent on the way
    FMeshes.erase(it);
}

void TMeshTree::RemoveGroupIfEmpty(int32_t Coordinate) {
    auto it = FGroups.find(Coordinate);
    if (it == FGroups.end() || it->second->childCount() > 0)
        return;
    delete it->second;
    FGroups.erase(it);
}

TMeshNode* TMeshTree::FindMesh(int32_t X, int32_t Y) const {
    auto it = FMeshes.find(Key(X, Y));
    return it == FMeshes.end() ? nullptr : it->second;
}

TMeshNode* TMeshTree::FindGroup(int32_t Coordinate) const {
    auto it = FGroups.find(Coordinate);
    return it == FGroups.end() ? nullptr : it->second;
}
