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
    : FView(View), FKind(Kind), FIcon(Icon) {
    QObject::connect(FView, &QTreeWidget::itemExpanded, FView,
                     [this](QTreeWidgetItem* Item) { Fill(Item); });
}

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
    FPending.clear();
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

    // Into groups in list order; a list is mostly runs of one group, so the last one is kept
    // at hand.
    int32_t lastCoordinate = 0;
    std::vector<TMeshNodeData>* last = nullptr;
    for (size_t i = 0; i < Meshes.size(); ++i) {
        if (Meshes[i].DelFlg)
            continue;
        const TMeshNodeData d{Meshes[i].X, Meshes[i].Y, int32_t(i + 1), 3};
        const int32_t coordinate = GroupCoordinate(d);
        if (!last || coordinate != lastCoordinate) {
            last = &FPending[coordinate];
            lastCoordinate = coordinate;
        }
        last->push_back(d);
    }
    const int kind = FKind;
    const auto less = [kind](const TMeshNodeData& A, const TMeshNodeData& B) {
        return TreeViewXCompare(A, B, kind) < 0;
    };
    std::vector<int32_t> coordinates;
    coordinates.reserve(FPending.size());
    for (auto& [coordinate, meshes] : FPending) {
        coordinates.push_back(coordinate);
        // Stable: of meshes with the same numbers the last one ends its run and names the node.
        if (!std::is_sorted(meshes.begin(), meshes.end(), less))
            std::stable_sort(meshes.begin(), meshes.end(), less);
        size_t kept = 0;
        for (size_t i = 0; i < meshes.size(); ++i) {
            if (i + 1 < meshes.size() && meshes[i + 1].X == meshes[i].X &&
                meshes[i + 1].Y == meshes[i].Y)
                continue;
            meshes[kept++] = meshes[i];
        }
        meshes.resize(kept);
    }
    std::sort(coordinates.begin(), coordinates.end());

    QList<QTreeWidgetItem*> groups;
    groups.reserve(qsizetype(coordinates.size()));
    for (int32_t coordinate : coordinates) {
        TMeshNode* group = NewGroup(FPending[coordinate].front());
        group->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        groups.append(group);
    }
    FTop->addChildren(groups);
    FView->addTopLevelItem(FTop);
    FTop->setExpanded(true);
}

std::vector<TMeshNodeData>* TMeshTree::Pending(int32_t Coordinate) {
    auto it = FPending.find(Coordinate);
    return it == FPending.end() ? nullptr : &it->second;
}

std::vector<TMeshNodeData>::iterator TMeshTree::PendingFind(std::vector<TMeshNodeData>& Meshes,
                                                            int32_t X, int32_t Y) const {
    const TMeshNodeData d{X, Y, 0, 3};
    const int kind = FKind;
    auto it = std::lower_bound(Meshes.begin(), Meshes.end(), d,
                               [kind](const TMeshNodeData& A, const TMeshNodeData& B) {
                                   return TreeViewXCompare(A, B, kind) < 0;
                               });
    return it != Meshes.end() && it->X == X && it->Y == Y ? it : Meshes.end();
}

void TMeshTree::Fill(QTreeWidgetItem* Item) {
    if (Item == FTop || Item->type() != QTreeWidgetItem::UserType)
        return;
    const TMeshNodeData& data = static_cast<TMeshNode*>(Item)->Data;
    if (data.Kind != FKind)
        return;
    auto it = FPending.find(GroupCoordinate(data));
    if (it == FPending.end())
        return;
    QList<QTreeWidgetItem*> children;
    children.reserve(qsizetype(it->second.size()));
    for (const TMeshNodeData& d : it->second)
        children.append(NewMeshNode(d));
    FPending.erase(it);
    Item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    Item->addChildren(children);
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
    if (std::vector<TMeshNodeData>* pending = Pending(GroupCoordinate(d))) {
        if (PendingFind(*pending, d.X, d.Y) == pending->end()) {
            const int kind = FKind;
            pending->insert(std::lower_bound(pending->begin(), pending->end(), d,
                                             [kind](const auto& A, const auto& B) {
                                                 return TreeViewXCompare(A, B, kind) < 0;
                                             }),
                            d);
        }
    } else if (!FindMesh(d.X, d.Y)) {
        InsertSorted(group, NewMeshNode(d));
    }
    FTop->setExpanded(true);
}

void TMeshTree::SetMeshIndex(int32_t X, int32_t Y, int32_t Index) {
    if (std::vector<TMeshNodeData>* pending = Pending(FKind == 1 ? X : Y)) {
        auto it = PendingFind(*pending, X, Y);
        if (it == pending->end())
            return;
        if (Index > 0)
            it->Index = Index;
        else
            pending->erase(it);
        return;
    }
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
    if (it == FGroups.end())
        return;
    if (std::vector<TMeshNodeData>* pending = Pending(Coordinate)) {
        if (!pending->empty())
            return;
        FPending.erase(Coordinate);
    } else if (it->second->childCount() > 0) {
        return;
    }
    delete it->second;
    FGroups.erase(it);
}

TMeshNode* TMeshTree::FindMesh(int32_t X, int32_t Y) {
    if (TMeshNode* group = FindGroup(FKind == 1 ? X : Y))
        Fill(group);
    auto it = FMeshes.find(Key(X, Y));
    return it == FMeshes.end() ? nullptr : it->second;
}

TMeshNode* TMeshTree::FindGroup(int32_t Coordinate) const {
    auto it = FGroups.find(Coordinate);
    return it == FGroups.end() ? nullptr : it->second;
}
