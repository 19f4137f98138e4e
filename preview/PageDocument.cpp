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
    FScratchCanvas.reset();
    FScratch.reset();
    FViewCanvas = nullptr;
}

QPainter* TPageDocument::ViewCanvas() const {
    if (!FViewCanvas && FOpened > 0 && !Keeps(FOpened - 1)) {
        // Most reports skip the drawing on a page only counted; the others draw it here.
        FScratch = std::make_unique<TMetafileEx>(PaperWidth(), PaperHeight());
        FScratchCanvas = std::make_unique<QPainter>(FScratch.get());
        FScratchCanvas->setFont(PageFont(QStringLiteral("ＭＳ 明朝"), -30));
        FViewCanvas = FScratchCanvas.get();
    }
    return FViewCanvas;
}

void TPageDocument::NewPage() {
    CloseCanvas();
    if (FSink && static_cast<int>(FPageList.size()) >= FBatch)
        FlushPages();
    const int index = FOpened++;
    if (FProgress)
        ReportProgress(*FProgress, FExpected > 0 ? double(index) / FExpected : 0.0);
    if (!Keeps(index))
        return;
    if (FPageList.empty())
        FFirstPage = index;
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
    FOpened = 0;
    if (FRunning)
        return;
    FOnDemand = false;
    FCache.clear();
    FUsed.clear();
    FHeld = 0;
    FPageTotal = -1;
}

void TPageDocument::SetOnPaperChange(TPaperChange Value) {
    if (FOnDemand)
        ClearPages();
    FOnPaperChange = std::move(Value);
}

void TPageDocument::SetPageCache(int Run, int Held) {
    FRun = std::max(Run, 1);
    FHeldLimit = std::max(Held, FRun);
}

int TPageDocument::PageNum() const {
    return FOnDemand && !FRunning ? FPageTotal : FOpened;
}

const TPreviewPage& TPageDocument::Page(int Index) const {
    if (!FOnDemand || FRunning) {
        if (Index < FFirstPage || Index >= FFirstPage + static_cast<int>(FPageList.size()))
            throw EFailure("ページがありません。");
        return *FPageList[static_cast<size_t>(Index - FFirstPage)];
    }
    if (Index < 0 || Index >= FPageTotal)
        throw EFailure("ページがありません。");
    if (!FCache[Index])
        // Composing changes what is held, not what the document shows.
        const_cast<TPageDocument*>(this)->ComposeRunOf(Index);
    FUsed[Index] = ++FClock;
    return *FCache[Index];
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

int TPageDocument::RunRoutine(int First, int End, TPages& Kept, const TProgress* Progress,
                              int Expected) {
    // Whatever happens, the document composes as an ordinary one again afterwards.
    struct TRestore {
        TPageDocument& D;
        ~TRestore() {
            D.CloseCanvas();
            D.FPageList.clear();
            D.FOpened = 0;
            D.FFirstPage = 0;
            D.FKeepFirst = 0;
            D.FKeepEnd = 0x7fffffff;
            D.FProgress = nullptr;
            D.FRunning = false;
        }
    } restore{*this};
    CloseCanvas();
    FPageList.clear();
    FOpened = 0;
    FKeepFirst = First;
    FKeepEnd = End;
    FProgress = Progress;
    FExpected = Expected;
    FRunning = true;
    FOnPaperChange(*this);
    CloseCanvas();
    if (FSink)
        FlushPages();
    Kept = std::move(FPageList);
    return FOpened;
}

void TPageDocument::Compose(const TProgress& Progress) {
    if (!FOnPaperChange) {
        CloseCanvas();
        for (int i = 0; i < static_cast<int>(FPageList.size()); ++i)
            StampPage(*FPageList[i], FFirstPage + i + 1);
        return;
    }
    ClearPages();
    TPages first;
    const int total = RunRoutine(0, FRun, first, Progress ? &Progress : nullptr, 0);
    FPageTotal = total;
    FCache.resize(static_cast<size_t>(total));
    FUsed.assign(static_cast<size_t>(total), 0);
    for (size_t i = 0; i < first.size(); ++i) {
        StampPage(*first[i], static_cast<int>(i) + 1);
        FCache[i] = std::move(first[i]);
        FUsed[i] = ++FClock;
    }
    FHeld = static_cast<int>(first.size());
    FOnDemand = true;
}

void TPageDocument::ComposeRunOf(int Index) {
    const int first = Index / FRun * FRun;
    const int end = std::min(first + FRun, FPageTotal);
    TPages pages;
    if (RunRoutine(first, end, pages, nullptr, FPageTotal) != FPageTotal ||
        static_cast<int>(pages.size()) != end - first)
        // A routine whose pages depend on whether they are drawn would show the wrong pages.
        throw EFailure("ページ数が一定しません。");
    // The least recently used pages make room, never those of this run.
    const size_t room = static_cast<size_t>(std::max(FHeldLimit - (end - first), 0));
    std::vector<std::pair<uint64_t, int>> others;
    for (int k = 0; k < FPageTotal && FHeld > 0; ++k)
        if (FCache[k] && (k < first || k >= end))
            others.emplace_back(FUsed[k], k);
    if (others.size() > room) {
        const size_t drop = others.size() - room;
        std::nth_element(others.begin(), others.begin() + (drop - 1), others.end());
        for (size_t k = 0; k < drop; ++k) {
            FCache[others[k].second].reset();
            --FHeld;
        }
    }
    for (int i = first; i < end; ++i) {
        TPages::value_type& page = pages[i - first];
        StampPage(*page, i + 1);
        if (!FCache[i])
            ++FHeld;
        FCache[i] = std::move(page);
        FUsed[i] = ++FClock;
    }
}

// Hands the held pages on (stamped) and drops them.
void TPageDocument::FlushPages() {
    CloseCanvas();
    const int count = static_cast<int>(FPageList.size());
    if (count > 0) {
        for (int i = 0; i < count; ++i)
            StampPage(*FPageList[i], FFirstPage + i + 1);
        (*FSink)(*this, FFirstPage, count);
    }
    FPageList.clear();
}

void TPageDocument::ComposeStreamed(const TPageSink& Sink, int Batch) {
    struct TRestore {
        TPageDocument& D;
        ~TRestore() {
            D.FSink = nullptr;
            D.ClearPages();
        }
    } restore{*this};
    ClearPages();
    if (!FOnPaperChange)
        return;
    TPages none;
    const int total = RunRoutine(0, 0, none, nullptr, 0);
    FPageTotal = total;
    FSink = &Sink;
    FBatch = std::max(Batch, 1);
    // A routine whose pages depend on whether they are drawn would number them wrongly.
    if (RunRoutine(0, 0x7fffffff, none, nullptr, total) != total)
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
    // The pages held, or every page of a routine's report.
    const int count = FOnDemand && !FRunning ? FPageTotal : static_cast<int>(FPageList.size());
    for (int i = 0; i < count; ++i)
        pages.push_back(PageRecording(FOnDemand && !FRunning ? i : FFirstPage + i));
    return pages;
}

std::string TPageDocument::PageRecording(int Index) const {
    const TPreviewPage& page = Page(Index);
    // The page as one picture: its drawing, text runs, header and footer.
    QPicture picture;
    QPainter painter(&picture);
    page.Draw(painter, QRectF(0, 0, page.Meta.Width(), page.Meta.Height()));
    painter.end();
    return std::string(picture.data(), picture.size());
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
