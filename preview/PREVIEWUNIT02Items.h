#pragma once
// The item layer of the preview document: items, where they lie on a page, and the table of
// contents. No report of this program lays out items (every report draws its pages itself), so
// these exist as far as the preview window reads them.

#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

class QPainter;
class TTextStyle;

enum class TItemType { it_None, it_Text, it_Spacer, it_Grid, it_Image, it_Bitmap, it_AutoImage };

class TPreviewItem {
public:
    TPreviewItem() = default;
    virtual ~TPreviewItem() = default;
    TPreviewItem(const TPreviewItem&) = delete;
    TPreviewItem& operator=(const TPreviewItem&) = delete;

    TItemType ItemType() const { return FItemType; }

    virtual void FontTableChanged() {}
    // Rect: the space left on the page. Sets Rect's bottom to the end of the space used;
    // true when a new page must start.
    virtual bool DrawRect(QPainter* Canvas, QRect& Rect, bool CalcRect, bool Monochrome) {
        (void)Canvas, (void)CalcRect, (void)Monochrome;
        Rect.setBottom(Rect.top());
        return false;
    }

    void SetFontTable(const std::vector<TTextStyle>& List) {
        for (const TTextStyle& style : List)
            FFontList.push_back(&style);
        FontTableChanged();
    }
    const std::vector<const TTextStyle*>& FontList() const { return FFontList; }

protected:
    TItemType FItemType = TItemType::it_None;
    std::vector<const TTextStyle*> FFontList; // not owned
};

// A page break.
class TPvNewPageItem : public TPreviewItem {
public:
    TPvNewPageItem() { FItemType = TItemType::it_Spacer; }
    bool DrawRect(QPainter* Canvas, QRect& Rect, bool CalcRect, bool Monochrome) override {
        (void)Canvas, (void)CalcRect, (void)Monochrome;
        Rect.setBottom(Rect.top());
        return true;
    }
};

// Vertical space of Space units; breaks the page when less is left.
class TPvSpacerItem : public TPvNewPageItem {
public:
    int Space() const { return FSpace; }
    void SetSpace(int Value) { FSpace = Value; }
    bool DrawRect(QPainter* Canvas, QRect& Rect, bool CalcRect, bool Monochrome) override {
        (void)Canvas, (void)CalcRect, (void)Monochrome;
        const bool tooSmall = Rect.height() < FSpace;
        Rect.setBottom(Rect.top() + FSpace);
        return tooSmall;
    }

private:
    int FSpace = 0;
};

// Where an item lies on a page; a Bottom below -998 marks a page break.
struct TItemArea {
    int ItemIndex = 0;
    int Top = 0;
    int Bottom = 0;
    bool IsPageBreak() const { return Bottom < -998; }
};

struct TMokujiEntry {
    int32_t ItemIndex = 0;
    QString Title;
};
