#pragma once
// The X and Y trees of the mesh data editor. Every node carries its record; each tree also keeps
// its groups and mesh nodes by coordinate, so that adding a mesh to a tree of a hundred thousand
// meshes costs a hash lookup and a binary search among siblings. A group makes its mesh nodes
// when it is first opened (or a mesh in it is looked for): until then it holds their records in
// order, so that a tree of ten million meshes is built in the time of one pass over them.

#include <QIcon>
#include <QTreeWidgetItem>

#include <cstdint>
#include <unordered_map>
#include <vector>

class QTreeWidget;
struct TGridData;

struct TMeshNodeData {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Index = 0; // 1-based list index of the mesh for a mesh node; 0 for root and groups
    int32_t Kind = 0;  // 0 root, 1 X group, 2 Y group, 3 mesh; doubles as the filter mask
};

// A tree node and its record; the node's parent is the record's parent.
class TMeshNode : public QTreeWidgetItem {
public:
    TMeshNode(const TMeshNodeData& AData, const QString& Caption, const QIcon& Icon);
    TMeshNodeData Data;
};

class TMeshTree {
public:
    // Kind 1: the X tree (groups by X, meshes by Y within); 2: the Y tree.
    TMeshTree(QTreeWidget* View, int Kind, const QIcon& Icon);

    // Deletes every node.
    void Clear();
    // The root "全表示" and a node for every live mesh, already in order. Meshes with the same
    // numbers share one node, which names the last of them (the one the model finds by number).
    void Build(const std::vector<TGridData>& Meshes);
    // Adds the group and the mesh node that the mesh needs, each at its place in the order.
    void AddToTree(const TGridData& Mesh);
    // Points the mesh node of X, Y at another mesh, or removes it when Index is 0. The group
    // stays.
    void SetMeshIndex(int32_t X, int32_t Y, int32_t Index);
    // Removes the group of the coordinate when no mesh is left in it (a registration taken
    // back removes the group it added).
    void RemoveGroupIfEmpty(int32_t Coordinate);

    TMeshNode* Top() const { return FTop; }
    // Fills the mesh's group first when it has not been opened yet.
    TMeshNode* FindMesh(int32_t X, int32_t Y);
    TMeshNode* FindGroup(int32_t Coordinate) const;
    QTreeWidget* View() const { return FView; }

    // The order of both trees: by the tree's own coordinate, then by the other one.
    static int TreeViewXCompare(const TMeshNodeData& A, const TMeshNodeData& B, int Kind);

private:
    static uint64_t Key(int32_t X, int32_t Y) { return uint64_t(uint32_t(X)) << 32 | uint32_t(Y); }
    int32_t GroupCoordinate(const TMeshNodeData& D) const { return FKind == 1 ? D.X : D.Y; }
    TMeshNode* NewGroup(const TMeshNodeData& Mesh);
    TMeshNode* NewMeshNode(const TMeshNodeData& Mesh);
    void InsertSorted(QTreeWidgetItem* Parent, TMeshNode* Node);
    // Makes the nodes of a group not opened yet.
    void Fill(QTreeWidgetItem* Group);
    std::vector<TMeshNodeData>* Pending(int32_t Coordinate);
    std::vector<TMeshNodeData>::iterator PendingFind(std::vector<TMeshNodeData>& Meshes, int32_t X,
                                                     int32_t Y) const;

    QTreeWidget* FView;
    int FKind;
    QIcon FIcon;
    TMeshNode* FTop = nullptr;
    std::unordered_map<int32_t, TMeshNode*> FGroups;
    std::unordered_map<uint64_t, TMeshNode*> FMeshes; // meshes of filled groups only
    // The records of the groups not filled yet, in tree order.
    std::unordered_map<int32_t, std::vector<TMeshNodeData>> FPending;
};
