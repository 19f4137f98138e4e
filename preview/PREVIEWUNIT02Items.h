#pragma once
// The item layer of the preview document: items, where they lie on a page, and the table of
// contents. No report of this program lays out items (every report draws its pages itself), so
// these exist as far as the preview window reads them.

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdint>
#include <vector>

class QPainter;
class TTextStyle;

// A word processor reached through its automation interface, as the export sees it: output
// goes to its current selection, and only these two operations are ever asked of it.
class TWordApplication {
public:
    virtual ~TWordApplication() = default;
    static constexpr int wdPageBreak = 7;
    virtual void SelectionInsertBreak(int Type) = 0;
    virtual void SelectionTypeParagraph() = 0;
};

enum class TItemType { it_None, it_Text, it_Spacer, it_Grid, it_Image, it_Bitmap, it_AutoImage };

class TPreviewItem {
public:
    TPreviewItem() = default;
    virtual ~TPreviewItem() = default;
    TPreviewItem(const TPreviewItem&) = delete;
    TPreviewItem& operator=(const TPreviewItem&) = delete;

    TItemType ItemType() const { return FItemType; }

    virtual void FontTableChanged() {}
    // Export: each item contributes its own word-processor calls, the fonts and colours it
    // needs (into the two tables), and its own rich text lines.
    virtual void WordOut(TWordApplication& ActApp) { (void)ActApp; }
    virtual void TabelSearch(QStringList& Fnt, QList<QColor>& Clr) { (void)Fnt, (void)Clr; }
    virtual void RTFOut(QStringList& Rtf, QStringList& Fnt, QList<QColor>& Clr) {
        (void)Rtf, (void)Fnt, (void)Clr;
    }
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
    void WordOut(TWordApplication& ActApp) override {
        ActApp.SelectionInsertBreak(TWordApplication::wdPageBreak);
    }
    void RTFOut(QStringList& Rtf, QStringList& Fnt, QList<QColor>& Clr) override {
        (void)Fnt, (void)Clr;
        Rtf.append(QStringLiteral("{\\page }"));
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
    void WordOut(TWordApplication& ActApp) override { ActApp.SelectionTypeParagraph(); }
    // An empty paragraph as high as the space: 0.1 mm to half points.
    void RTFOut(QStringList& Rtf, QStringList& Fnt, QList<QColor>& Clr) override {
        (void)Fnt, (void)Clr;
        const long halfPoints = std::lround(FSpace / 10.0 / 25.4 * 72 * 2);
        Rtf.append(QStringLiteral("{ \\fs%1 \\par }").arg(halfPoints));
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
