#include "preview/PageDocument.h"

#include "preview/PrintLayout.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>

#include <algorithm>
#include <cmath>

namespace {

std::vector<TTextStyle> DefaultFontTable() {
    struct TRow {
        const char16_t* Name;
        const char16_t* Face;
        int Bits, Height, L1, L2, R1, R2, Space;
    };
    static const TRow rows[] = {
        {u"", u"ＭＳ 明朝", 0, -30, 0, 0, 0, 0, -1},
        {u"本文", u"ＭＳ 明朝", 0, -30, 120, 90, 0, 0, 45},
        {u"タイトル文", u"ＭＳ ゴシック", fsBold, -45, 0, 0, 0, 0, 65},
        {u"サブタイトル文", u"ＭＳ ゴシック", 0, -35, 30, 0, 0, 0, 55},
        {u"メモ（脚注等）", u"ＭＳ ゴシック", 0, -25, 120, 90, 0, 0, 30},
        {u"表中文", u"ＭＳ 明朝", 0, -30, 10, 10, 10, 10, -1},
        {u"計算式", u"ＭＳ 明朝", 0, -30, 200, 200, 0, 0, 45},
    };
    std::vector<TTextStyle> table;
    for (const TRow& r : rows) {
        TTextStyle s;
        s.StyleName = QString::fromUtf16(r.Name);
        s.Font = PageFont(QString::fromUtf16(r.Face), r.Height, r.Bits);
        s.LeftI = r.L1, s.LeftI2 = r.L2, s.RightI = r.R1, s.RightI2 = r.R2;
        s.Height = r.Space;
        table.push_back(s);
    }
    return table;
}

// Whole tenths of a millimetre that cover Pixels at Dpi.
int CeilTenths(int Pixels, int Dpi) {
    return static_cast<int>(std::ceil(Pixels * 254.0 / Dpi - 1e-9));
}

} // namespace

void SetupPageFonts() {
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
}

TPrinterCaps CapsOfLayout(const QPageLayout& Layout, int Resolution) {
    TPrinterCaps caps;
    caps.DpiX = Resolution;
    caps.DpiY = Resolution;
    const QRect full = Layout.fullRectPixels(Resolution);
    const QRect paint = Layout.paintRectPixels(Resolution);
    caps.PaperW = full.width();
    caps.PaperH = full.height();
    caps.OffsetX = paint.left();
    caps.OffsetY = paint.top();
    caps.PrintW = paint.width();
    caps.PrintH = paint.height();
    caps.Landscape = Layout.orientation() == QPageLayout::Landscape;
    return caps;
}

void TPreviewPage::Draw(QPainter& Painter, const QRectF& Rect) const {
    Meta.Draw(Painter, Rect);
    for (const TMetafileEx& stamp : Stamps)
        stamp.Draw(Painter, Rect);
}

TPageDocument::TPageDocument()
    : FPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)) {
    FFontList = DefaultFontTable();
}

TPageDocument::~TPageDocument() {
    CloseCanvas();
    FPageList.clear();
    ClearItems();
}

// --- Composing

void TPageDocument::CloseCanvas() {
    if (!FPageList.empty()) {
        TPreviewPage& last = *FPageList.back();
        if (last.Canvas) {
            last.Canvas->end();
            last.Canvas.reset();
        }
    }
    FViewCanvas = nullptr;
}

void TPageDocument::NewPage() {
    CloseCanvas();
    if (FSink && static_cast<int>(FPageList.size()) >= FBatch)
        FlushPages();
    auto page = std::make_unique<TPreviewPage>();
    page->Meta = TMetafileEx(PaperWidth(), PaperHeight());
    page->Canvas = std::make_unique<QPainter>(&page->Meta);
    page->Canvas->setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -30));
    FViewCanvas = page->Canvas.get();
    FPageList.push_back(std::move(page));
}

void TPageDocument::ViewEnd() {
    CloseCanvas();
}

void TPageDocument::AllPageClear() {
    ClearItems();
    ClearPages();
}

void TPageDocument::ClearPages() {
    CloseCanvas();
    FPageList.clear();
    FFirstPage = 0;
}

void TPageDocument::StampPage(TPreviewPage& Page, int PageIndex) const {
    TMetafileEx stamp(Page.Meta.Width(), Page.Meta.Height());
    {
        QPainter canvas(&stamp);
        // 25 points at 96 dots per inch: a character height of 33 units.
        canvas.setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -33));
        canvas.setPen(Qt::black);
        DrawHeaderFooter(canvas, PageIndex);
    }
    Page.Stamps.push_back(std::move(stamp));
}

void TPageDocument::Compose() {
    if (FOnPaperChange)
        FOnPaperChange(*this);
    CloseCanvas();
    for (int i = 0; i < PageNum(); ++i)
        StampPage(*FPageList[i], i + 1);
}

// Hands the held pages on (stamped, unless they are only counted) and drops them.
void TPageDocument::FlushPages() {
    CloseCanvas();
    const int count = static_cast<int>(FPageList.size());
    if (!FCounting) {
        for (int i = 0; i < count; ++i)
            StampPage(*FPageList[i], FFirstPage + i + 1);
        (*FSink)(*this, FFirstPage, count);
    }
    FPageList.clear();
    FFirstPage += count;
}

void TPageDocument::ComposeStreamed(const TPageSink& Sink, int Batch) {
    const TPageSink none = [](const TPageDocument&, int, int) {};
    // Whatever happens, the document is an ordinary one again afterwards.
    struct TRestore {
        TPageDocument& D;
        ~TRestore() {
            D.ClearPages();
            D.FSink = nullptr;
            D.FCounting = false;
            D.FPageTotal = -1;
        }
    } restore{*this};
    ClearPages();
    if (!FOnPaperChange)
        return;
    FCounting = true;
    FSink = &none;
    FBatch = 1;
    FOnPaperChange(*this);
    CloseCanvas();
    const int total = PageNum();
    ClearPages();

    FCounting = false;
    FPageTotal = total;
    FSink = &Sink;
    FBatch = std::max(Batch, 1);
    FOnPaperChange(*this);
    FlushPages();
    // A routine whose pages depend on whether they are drawn would number them wrongly.
    if (PageNum() != total)
        throw EFailure("ページ数が一定しません。");
}

// --- Paper

void TPageDocument::SetPaper(const TPrinterCaps& Caps, const QPageLayout& Layout) {
    FPageLayout = Layout;
    FPaperW = static_cast<int>(std::nearbyint(Caps.PaperW * 25.4 / Caps.DpiX));
    FPaperH = static_cast<int>(std::nearbyint(Caps.PaperH * 25.4 / Caps.DpiY));
    FPhysicalMarzins = {
        CeilTenths(Caps.OffsetX, Caps.DpiX),
        CeilTenths(Caps.OffsetY, Caps.DpiY),
        CeilTenths(Caps.PaperW - Caps.PrintW - Caps.OffsetX, Caps.DpiX),
        CeilTenths(Caps.PaperH - Caps.PrintH - Caps.OffsetY, Caps.DpiY),
    };
    // Margins that leave this paper too little room (kept from a larger one) give way to the
    // defaults, rather than every row of a report starting a page of its own.
    if (!MarginsFitPaper(FMarzins, FPaperW * 10, FPaperH * 10))
        std::fill(FMarzins.begin(), FMarzins.begin() + 4, 100);
    for (int k = 0; k < 4; ++k)
        FMarzins[k] = std::max(FMarzins[k], FPhysicalMarzins[k]);
    FMarzins[4] = std::max(FMarzins[4], FPhysicalMarzins[1]);
    FMarzins[5] = std::max(FMarzins[5], FPhysicalMarzins[3]);
}

void TPageDocument::SetPaper(const QPageLayout& Layout) {
    // The resolution of a PDF printer, so that the paper rounds as it does there.
    const QPageLayout bare(Layout.pageSize(), Layout.orientation(), QMarginsF(0, 0, 0, 0));
    SetPaper(CapsOfLayout(bare, 1200), bare);
}

// --- Items and table of contents

void TPageDocument::AddItem(TPreviewItem* Item) {
    InsertItem(static_cast<int>(FItemList.size()), Item);
}

void TPageDocument::InsertItem(int Index, TPreviewItem* Item) {
    Index = std::clamp(Index, 0, static_cast<int>(FItemList.size()));
    const bool owned = std::any_of(FOwnedItems.begin(), FOwnedItems.end(),
                                   [Item](const auto& p) { return p.get() == Item; });
    if (!owned)
        FOwnedItems.emplace_back(Item);
    FItemList.insert(FItemList.begin() + Index, Item);
    for (TMokujiEntry& e : FMokujiList)
        if (e.ItemIndex >= Index)
            ++e.ItemIndex;
}

void TPageDocument::DeleteItem(int Index) {
    if (Index < 0 || Index >= static_cast<int>(FItemList.size()))
        return;
    TPreviewItem* item = FItemList[Index];
    FItemList.erase(FItemList.begin() + Index);
    if (std::find(FItemList.begin(), FItemList.end(), item) == FItemList.end())
        FOwnedItems.erase(std::find_if(FOwnedItems.begin(), FOwnedItems.end(),
                                       [item](const auto& p) { return p.get() == item; }));
    std::vector<TMokujiEntry> kept;
    for (TMokujiEntry e : FMokujiList) {
        if (e.ItemIndex == Index)
            continue;
        if (e.ItemIndex > Index)
            --e.ItemIndex;
        kept.push_back(e);
    }
    FMokujiList = std::move(kept);
}

void TPageDocument::AddItemMokuji(TPreviewItem* Item, const QString& Title) {
    AddItem(Item);
    // The entry holds what 64 bytes of the code page of the program's files hold.
    const std::string ansi = Utf8ToCp932(Title.left(63).toStdString());
    const std::string cut = ansi.substr(0, Cp932CutLength(ansi, 64));
    FMokujiList.push_back(
        {static_cast<int32_t>(FItemList.size() - 1), QString::fromStdString(Cp932ToUtf8(cut))});
}

void TPageDocument::ClearItems() {
    FItemList.clear();
    // Items were added in order; the later ones go first, as they may refer to earlier ones.
    while (!FOwnedItems.empty())
        FOwnedItems.pop_back();
    FMokujiList.clear();
}

// --- Output

void TPageDocument::DrawSheet(QPainter& Painter, int Index) const {
    const TPreviewPage& page = Page(Index);
    page.Draw(Painter, QRectF(FMarzins[0], FMarzins[1], page.Meta.Width(), page.Meta.Height()));
}

std::vector<std::string> TPageDocument::PageRecordings() const {
    std::vector<std::string> pages;
    for (const auto& page : FPageList) {
        // The page as one picture: its drawing, text runs, header and footer.
        QPicture picture;
        QPainter painter(&picture);
        page->Draw(painter, QRectF(0, 0, page->Meta.Width(), page->Meta.Height()));
        painter.end();
        pages.emplace_back(picture.data(), picture.size());
    }
    return pages;
}

struct TPdfSheets::TImpl {
    explicit TImpl(QIODevice& Device) : Writer(&Device) {}
    QPdfWriter Writer;
    QPainter Painter;
};

TPdfSheets::TPdfSheets(QIODevice& Device) : FImpl(std::make_unique<TImpl>(Device)) {
    FImpl->Writer.setResolution(1200);
    FImpl->Writer.setCreator(QStringLiteral("doryou"));
}

TPdfSheets::~TPdfSheets() {
    if (FImpl->Painter.isActive())
        FImpl->Painter.end();
}

void TPdfSheets::Add(const TPageDocument& Document) {
    Add(Document, 0, Document.PageNum());
}

void TPdfSheets::Add(const TPageDocument& Document, int First, int Count) {
    QPdfWriter& writer = FImpl->Writer;
    QPainter& painter = FImpl->Painter;
    const QPageLayout layout(Document.PageLayout().pageSize(), Document.PageLayout().orientation(),
                             QMarginsF(0, 0, 0, 0));
    for (int i = First; i < First + Count; ++i) {
        if (FPages == 0) {
            writer.setPageLayout(layout);
            if (!painter.begin(&writer))
                throw EFailure("PDF を作成できません。");
            painter.setRenderHint(QPainter::TextAntialiasing);
        } else {
            writer.setPageLayout(layout);
            writer.newPage();
        }
        ++FPages;
        painter.save();
        // The sheet in 0.1 mm from the paper's corner.
        const double s = writer.resolution() / 254.0;
        painter.scale(s, s);
        Document.DrawSheet(painter, i);
        painter.restore();
    }
}

void TPdfSheets::Finish() {
    if (FPages == 0)
        throw EFailure("表示するページがありません。");
    if (!FImpl->Painter.end())
        throw EFailure("PDF を書き込めません。");
}
