#pragma once
// A list of pictures loaded from one picture resource and drawn as large as fits into a
// rectangle, keeping their proportions: the page setup's margin diagrams ("YOHAKU_IMAGE").
// Each entry of the resource is a 4-byte little-endian length and a picture: an SVG document
// whose view box is in 0.01 mm, or a recorded QPicture.

#include "preview/MetafileEx.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <vector>

class QPainter;

// Where and how large a picture was drawn.
struct TMetaData {
    QPoint Base;      // top-left corner of the rectangle drawn into
    double Scale = 1; // drawing pixels per picture unit
    QPoint Size;      // the picture's own size in 0.01 mm
};

class TMetaImages {
public:
    int Count() const { return static_cast<int>(FMetaList.size()); }
    // Appends the pictures of the resource; returns how many. A missing resource loads none;
    // an entry that is no picture fails, leaving the pictures before it.
    int LoadFromResource(const QString& ResourceName);
    void AddMetaFile(const TMetafileEx& SrcMeta) { FMetaList.push_back(SrcMeta); }
    void AllClear() { FMetaList.clear(); }
    // Copies picture Index into Meta; fails outside the list.
    TMetafileEx& GetMetaFile(int Index, TMetafileEx& Meta) const;
    TMetaData DrawRect(QPainter& Canvas, const QRect& Rect, int ImageNum, bool Transparent) const;

private:
    std::vector<TMetafileEx> FMetaList;
};
