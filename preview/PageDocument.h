#pragma once
// The page document: what every report composes onto and every output takes. Pages are
// recorded in 0.1 mm over the content area of a paper; the document keeps the paper, its
// margins, the header and footer texts and styles, the items and the table of contents, and
// paints page N onto any painter (the preview window, a printer, a PDF file, a thumbnail).
// No widgets: the command line tool composes and writes reports through it alone.
//
// A report: SetOnPaperChange(compose); Compose(). The compose routine: AllPageClear(); per
// page NewPage() and drawing on ViewCanvas(); at the end ViewEnd().
//
// A report of tens of thousands of pages need not be held whole. With a compose routine,
// Compose() only counts the pages (composing the first run of them); the others are composed
// when first asked for (Page()), a run of pages at a time, and only the pages used last are
// held. ComposeStreamed() hands the pages on in batches as they are composed (to a PDF file)
// and drops them.

#include "preview/MetafileEx.h"
#include "preview/NlvTools.h"
#include "preview/PREVIEWUNIT02Items.h"
#include "preview/PrintRecord.h"

#include "platform/Progress.h"

#include <QDateTime>
#include <QLocale>
#include <QPageLayout>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QIODevice;
class QPainter;
class QSettings;

// The device values the page geometry is computed from, in device pixels.
struct TPrinterCaps {
    int DpiX = 0, DpiY = 0;
    int PaperW = 0, PaperH = 0;   // physical paper
    int OffsetX = 0, OffsetY = 0; // top-left corner of the printable area
    int PrintW = 0, PrintH = 0;   // printable area
    bool Landscape = false;
    QString Name;
};

// The geometry of a page layout at a resolution: its margins are the unprintable border.
TPrinterCaps CapsOfLayout(const QPageLayout& Layout, int Resolution);

struct TPreviewPage {
    TMetafileEx Meta;
    // Header and footer stamped by each composition, drawn over Meta.
    std::vector<TMetafileEx> Stamps;
    std::unique_ptr<QPainter> Canvas; // while the page is being composed
    std::vector<TItemArea> AreaList;

    // The whole page (content, header, footer) with its frame stretched into Rect.
    void Draw(QPainter& Painter, const QRectF& Rect) const;
};

class TPageDocument {
public:
    using TPaperChange = std::function<void(TPageDocument& Sender)>;

    TPageDocument();
    ~TPageDocument();
    TPageDocument(const TPageDocument&) = delete;
    TPageDocument& operator=(const TPageDocument&) = delete;

    // --- Composing
    void NewPage();
    void ViewEnd();
    // The open page's canvas. A page that is only counted gets a scratch canvas, made when
    // first asked for, whose drawing is dropped.
    QPainter* ViewCanvas() const;
    void AllPageClear();
    // Inside a compose routine: starts the pages over. Outside: drops every page.
    void ClearPages();
    // With a compose routine: runs it once, counting the pages and keeping the first run of
    // them, stamped; the others are composed when asked for. Without: stamps every page held.
    // Progress hears of every page opened; a cancel (ECancelled) leaves no pages.
    void Compose(const TProgress& Progress = {});
    const TPaperChange& OnPaperChange() const { return FOnPaperChange; }
    // Pages composed by the routine replaced go with it: it alone could compose the others.
    void SetOnPaperChange(TPaperChange Value);

    // The number of pages: those composed so far, or the counted pages of a routine's report.
    int PageNum() const;
    // Page Index (0-based). A page of a routine's report is composed when first asked for
    // (with the run of pages it belongs to); the reference holds until another page is asked
    // for. Throws EFailure when the routine composes a different number of pages than counted.
    const TPreviewPage& Page(int Index) const;
    // Pages composed together when one is asked for, and the most held at once (the pages
    // used last stay).
    void SetPageCache(int Run, int Held);
    // The pages of a routine's report held composed now.
    int HeldPages() const { return FHeld; }

    // Runs the compose routine twice: first only counting the pages (for "&N" in headers;
    // nothing is kept), then composing them, calling Sink with every Batch pages composed and
    // stamped (pages First .. First + Count - 1, 0-based) before they are dropped. Afterwards
    // the document holds no pages.
    using TPageSink = std::function<void(const TPageDocument& Sender, int First, int Count)>;
    void ComposeStreamed(const TPageSink& Sink, int Batch);
    // Whether the drawing on the next page opened is kept: false while pages are only counted,
    // or lie outside the run being composed. A report may then open its pages and skip the
    // drawing on them.
    bool Recording() const { return Keeps(FOpened); }
    // Whether the drawing on the page open now is kept (see Recording()).
    bool PageRecorded() const { return FOpened > 0 && Keeps(FOpened - 1); }

    // --- Paper
    // The paper of a device: its size, the unprintable border and the layout PDF files take.
    // Margins narrower than the unprintable border widen to it.
    void SetPaper(const TPrinterCaps& Caps, const QPageLayout& Layout);
    // A PDF paper with no unprintable border.
    void SetPaper(const QPageLayout& Layout);
    const QPageLayout& PageLayout() const { return FPageLayout; }
    // The content area in 0.1 mm.
    int PaperWidth() const { return FPaperW * 10 - FMarzins[0] - FMarzins[2]; }
    int PaperHeight() const { return FPaperH * 10 - FMarzins[1] - FMarzins[3]; }
    int PaperLeft() const { return FMarzins[0]; }
    int PaperTop() const { return FMarzins[1]; }
    int PaperRight() const { return FMarzins[2]; }
    int PaperBottom() const { return FMarzins[3]; }
    // The physical paper in whole millimetres.
    int PaperW() const { return FPaperW; }
    int PaperH() const { return FPaperH; }

    // --- Page setup: margins (left, top, right, bottom, header, footer) in 0.1 mm, header
    // and footer texts (left, centre, right), first page number, text styles.
    const std::array<int, 6>& Marzins() const { return FMarzins; }
    void SetMarzins(const std::array<int, 6>& Value) { FMarzins = Value; }
    const std::array<int, 4>& PhysicalMarzins() const { return FPhysicalMarzins; }
    void SetPhysicalMarzins(const std::array<int, 4>& Value) { FPhysicalMarzins = Value; }
    std::array<QString, 3> Header;
    std::array<QString, 3> Footer;
    int StPNum() const { return FStPNum; }
    void SetStPNum(int Value) { FStPNum = Value; }
    const std::vector<TTextStyle>& FontList() const { return FFontList; }
    std::vector<TTextStyle>& FontList() { return FFontList; }
    QString FileName() const { return FFileName; }
    void SetFileName(const QString& Value) { FFileName = Value; }

    // Stored page setup, named after the program (doryou-cli reads doryou's).
    void LoadSettings();
    void SaveSettings() const;
    void LoadSettingsFrom(QSettings& Settings);
    void SaveSettingsTo(QSettings& Settings) const;

    // --- Items and table of contents. An item added more than once is owned once.
    void AddItem(TPreviewItem* Item);
    void InsertItem(int Index, TPreviewItem* Item);
    void DeleteItem(int Index);
    void AddItemMokuji(TPreviewItem* Item, const QString& Title);
    void ClearItems();
    const std::vector<TPreviewItem*>& ItemList() const { return FItemList; }
    const std::vector<TMokujiEntry>& MokujiList() const { return FMokujiList; }
    void SetFontTable(TPreviewItem* Item) { Item->SetFontTable(FFontList); }

    // --- Output
    // Stamps the header and footer of page PageIndex (1-based) on Canvas.
    void DrawHeaderFooter(QPainter& Canvas, int PageIndex) const;
    // The expanded texts of page PageIndex: header left, centre, right, footer left, centre,
    // right.
    std::array<QString, 6> HeaderFooterTexts(int PageIndex) const;
    // Draws page Index (0-based) as a whole sheet: the painter in 0.1 mm from the paper's corner.
    void DrawSheet(QPainter& Painter, int Index) const;
    // Every page's drawing (content, header, footer) as recorded picture bytes: the pages held,
    // or every page of a routine's report.
    std::vector<std::string> PageRecordings() const;
    // Page Index's drawing (0-based) as recorded picture bytes.
    std::string PageRecording(int Index) const;

private:
    using TPages = std::vector<std::unique_ptr<TPreviewPage>>;
    bool Keeps(int Index) const { return Index >= FKeepFirst && Index < FKeepEnd; }
    void CloseCanvas();
    void StampPage(TPreviewPage& Page, int PageIndex) const;
    void FlushPages();
    // Runs the routine keeping (stamped) the pages First .. End - 1; answers the page count.
    int RunRoutine(int First, int End, TPages& Kept, const TProgress* Progress, int Expected);
    // Composes the run of pages Index belongs to into the cache, dropping the pages used least
    // recently beyond the limit.
    void ComposeRunOf(int Index);

    // Pages held: FPageList[k] is page FFirstPage + k.
    TPages FPageList;
    std::vector<TPreviewItem*> FItemList;                   // in order; may repeat
    std::vector<std::unique_ptr<TPreviewItem>> FOwnedItems; // each item once
    std::vector<TMokujiEntry> FMokujiList;
    std::vector<TTextStyle> FFontList;
    std::array<int, 4> FPhysicalMarzins{};
    std::array<int, 6> FMarzins{100, 100, 100, 100, 0, 0};
    int FPaperW = 210, FPaperH = 297;
    QPageLayout FPageLayout;
    int FStPNum = 1;
    QString FFileName;
    mutable QPainter* FViewCanvas = nullptr;
    TPaperChange FOnPaperChange;
    // Pages opened so far; pages outside FKeepFirst .. FKeepEnd - 1 are only counted, their
    // drawing (if any) goes to the scratch page.
    int FOpened = 0;
    int FKeepFirst = 0;
    int FKeepEnd = 0x7fffffff;
    mutable std::unique_ptr<TMetafileEx> FScratch;
    mutable std::unique_ptr<QPainter> FScratchCanvas;
    bool FRunning = false;
    const TProgress* FProgress = nullptr;
    int FExpected = 0;
    // Streaming: pages before FFirstPage were handed to FSink and dropped; FPageTotal is the
    // counted number of pages ("&N"), -1 when every page is held.
    int FFirstPage = 0;
    int FPageTotal = -1;
    int FBatch = 0;
    const TPageSink* FSink = nullptr;
    // A routine's report composed on demand: page k in FCache[k] when held, last used at
    // FUsed[k] (a tick of FClock).
    bool FOnDemand = false;
    mutable TPages FCache;
    mutable std::vector<uint64_t> FUsed;
    mutable uint64_t FClock = 0;
    mutable int FHeld = 0;
    int FRun = 50;
    int FHeldLimit = 400;
};

// Sheets of one or more documents in one PDF file, each on its document's paper. Throws
// EFailure when nothing was added or the file cannot be written.
class TPdfSheets {
public:
    explicit TPdfSheets(QIODevice& Device);
    ~TPdfSheets();
    void Add(const TPageDocument& Document);
    // Pages First .. First + Count - 1 (0-based) of a document that is being composed.
    void Add(const TPageDocument& Document, int First, int Count);
    void Finish();
    int SheetCount() const { return FPages; }

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
    int FPages = 0;
};

// Expands the placeholders of a header or footer text (&P page, &N count, &D &d &W dates,
// &T time, &F &f file name, &C computer, &U user, &O system).
QString ExpandHeaderText(const QString& Text, int PageNo, int PageCount, const QString& FileName);

// What the placeholders read from the running system; tests fix it.
struct THeaderEnvironment {
    QDateTime Now;
    QString Computer;
    QString User;
    QString System;
    QLocale Locale; // formats &D and &d: Japanese, whatever the system's language
    static THeaderEnvironment Current();
};
QString ExpandHeaderText(const QString& Text, int PageNo, int PageCount, const QString& FileName,
                         const THeaderEnvironment& Env);
// "令和08年12月10日" (era, two-digit year of the era, month, day).
QString JapaneseEraDate(const QDate& Date);

// The spool folder and keeping time of print records ("SPOOL", shared by every program that
// uses this preview), from the stored settings.
TSpoolSettings SpoolSettingsFrom(QSettings& Settings);
TSpoolSettings StoredSpoolSettings();

// The Japanese faces the reports ask for by name, served by the installed IPA fonts.
void SetupPageFonts();
