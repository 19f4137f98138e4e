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
// A report of tens of thousands of pages need not be held whole: ComposeStreamed() hands the
// pages on in batches as they are composed (to a PDF file) and drops them.

#include "preview/MetafileEx.h"
#include "preview/NlvTools.h"
#include "preview/PREVIEWUNIT02Items.h"
#include "preview/PrintRecord.h"

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
    QPainter* ViewCanvas() const { return FViewCanvas; }
    void AllPageClear();
    void ClearPages();
    // Runs the compose routine (if any) and stamps every page's header and footer.
    void Compose();
    const TPaperChange& OnPaperChange() const { return FOnPaperChange; }
    void SetOnPaperChange(TPaperChange Value) { FOnPaperChange = std::move(Value); }

    // Pages composed so far; while streaming, only the batch being composed is held.
    int PageNum() const { return FFirstPage + static_cast<int>(FPageList.size()); }
    const TPreviewPage& Page(int Index) const { return *FPageList[Index - FFirstPage]; }

    // Runs the compose routine twice: first only counting the pages (for "&N" in headers;
    // nothing is kept), then composing them, calling Sink with every Batch pages composed and
    // stamped (pages First .. First + Count - 1, 0-based) before they are dropped. Afterwards
    // the document holds no pages.
    using TPageSink = std::function<void(const TPageDocument& Sender, int First, int Count)>;
    void ComposeStreamed(const TPageSink& Sink, int Batch);
    // False while the pages are only counted: a report may then open its pages and skip the
    // drawing on them.
    bool Recording() const { return !FCounting; }

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
    // Every page's drawing (content, header, footer) as recorded picture bytes.
    std::vector<std::string> PageRecordings() const;

private:
    void CloseCanvas();
    void StampPage(TPreviewPage& Page, int PageIndex) const;
    void FlushPages();

    std::vector<std::unique_ptr<TPreviewPage>> FPageList;
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
    QPainter* FViewCanvas = nullptr;
    TPaperChange FOnPaperChange;
    // Streaming: pages before FFirstPage were handed to FSink and dropped; FPageTotal is the
    // counted number of pages ("&N"), -1 when every page is held.
    int FFirstPage = 0;
    int FPageTotal = -1;
    int FBatch = 0;
    bool FCounting = false;
    const TPageSink* FSink = nullptr;
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
    QLocale Locale;
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
