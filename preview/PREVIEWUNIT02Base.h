#pragma once
// The preview window: a page document shown as sheets of paper on a desk, with zoom, paging,
// thumbnails, guide lines and copying. The document (TPageDocument) keeps the pages, the page
// setup, the items and the table of contents; this window shows it and asks the printer for
// the paper; TPreViewForm decides how pages are composed and printed.

#include "preview/PageDocument.h"
#include "preview/PreviewCountUnit.h"

#include <QDialog>
#include <QRect>
#include <QString>

#include <array>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPainter;
class QScrollArea;
class QSettings;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolButton;
class QWidget;
class TPreviewView;
class TSumnail;

enum class TOrientation { voNone, voPort, voLand, voPortLock, voLandLock };

// The progress animation of print jobs (TAnimeSettings) is none at start.
class TPreViewBase : public QDialog, public TAnimeSettings {
    Q_OBJECT
protected:
    // Before every other member, so that the page setup's references below bind to it built.
    TPageDocument FDocument;

public:
    explicit TPreViewBase(QWidget* AOwner = nullptr);
    ~TPreViewBase() override;

    // Composes the pages (with a progress box and a cancel button when that takes long) and
    // shows them. Cancelled, the window does not open.
    virtual void Execute();
    // True from Execute's start to its end: while the pages are composed on a worker thread or
    // shown, the one preview window takes no second report (it would replace the routine the
    // worker is running).
    bool InUse() const { return FInUse; }

    // The document shown.
    TPageDocument& Document() { return FDocument; }
    const TPageDocument& Document() const { return FDocument; }

    void AllPageClear();
    void AddItem(TPreviewItem* Item) { FDocument.AddItem(Item); }
    void InsertItem(int Index, TPreviewItem* Item) { FDocument.InsertItem(Index, Item); }
    void DeleteItem(int Index) { FDocument.DeleteItem(Index); }
    void AddItemMokuji(TPreviewItem* Item, const QString& Title) {
        FDocument.AddItemMokuji(Item, Title);
    }

    TOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TOrientation Value);
    double PaperScale() const { return FPaperScale; }
    void SetPaperScale(double Value);
    int DrawPageNum() const { return FDrawPageNum; }
    void SetDrawPageNum(int Value);
    // None while a worker composes the pages: the window reads no page the worker is making.
    int PageNum() const { return FComposing ? 0 : FDocument.PageNum(); }
    const TPreviewPage& Page(int Index) const { return FDocument.Page(Index); }
    // The thumbnail of page Index (0-based); null before the pages were shown, and for pages
    // far from the visible part of the pane: only the thumbnails in and near it are made.
    TSumnail* Sumnail(int Index) const;
    int SumnailWidgetCount() const { return static_cast<int>(FSumnails.size()); }
    bool FontTabVisible() const { return FFontTabVisible; }
    void SetFontTabVisible(bool Value) { FFontTabVisible = Value; }
    // Visibility of the two export commands (index 0 Word, 1 RTF); hidden at start.
    virtual void SetOutEnabled(int Index, bool Value);
    bool WordOutEnabled() const;
    bool RTFOutEnabled() const;
    QString FileName() const { return FDocument.FileName(); }
    void SetFileName(const QString& Value) { FDocument.SetFileName(Value); }

    // The document's page setup (see TPageDocument).
    const std::array<int, 6>& Marzins() const { return FDocument.Marzins(); }
    void SetMarzins(const std::array<int, 6>& Value) { FDocument.SetMarzins(Value); }
    const std::array<int, 4>& PhysicalMarzins() const { return FDocument.PhysicalMarzins(); }
    std::array<QString, 3>& Header;
    std::array<QString, 3>& Footer;
    int StPNum() const { return FDocument.StPNum(); }
    void SetStPNum(int Value) { FDocument.SetStPNum(Value); }
    const std::vector<TTextStyle>& FontList() const { return FDocument.FontList(); }
    std::vector<TTextStyle>& FontList() { return FDocument.FontList(); }
    const std::vector<TPreviewItem*>& ItemList() const { return FDocument.ItemList(); }
    const std::vector<TMokujiEntry>& MokujiList() const { return FDocument.MokujiList(); }

    // The spool folder and keeping time of print records; read when the window is created.
    void LoadSpoolSettings() { FSpool = ::StoredSpoolSettings(); }
    static TSpoolSettings SpoolSettingsFrom(QSettings& Settings) {
        return ::SpoolSettingsFrom(Settings);
    }
    static TSpoolSettings StoredSpoolSettings() { return ::StoredSpoolSettings(); }
    const TSpoolSettings& SpoolSettings() const { return FSpool; }
    void LoadSettings() { FDocument.LoadSettings(); }
    void SaveSettings() const { FDocument.SaveSettings(); }
    void LoadSettingsFrom(QSettings& Settings) { FDocument.LoadSettingsFrom(Settings); }
    void SaveSettingsTo(QSettings& Settings) const { FDocument.SaveSettingsTo(Settings); }

    virtual void RebuildPages() {}
    virtual void InitPreview();
    virtual void DrawPage(QPainter& Canvas) { (void)Canvas; }
    virtual void CalcDrawArea() {}
    virtual void DonePreview() {}
    // The document as a rich text file, respectively into a word processor; nothing here.
    virtual void RTFExport(const QString& FileName) { (void)FileName; }
    virtual void WordExport() {}

    // Window parts, named as designed.
    QWidget* Panel1 = nullptr;
    QScrollArea* ScrollBox2 = nullptr;
    QWidget* SumnailPane = nullptr;
    QSplitter* Splitter1 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    TPreviewView* View = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 4> StatusPanels{};
    QToolButton* RTFButton = nullptr;
    QToolButton* WordButton = nullptr;
    QTimer* Timer1 = nullptr;
    QComboBox* MokujiItem = nullptr;
    QLabel* MokujiLabel = nullptr;
    QAction* ZoomInAction = nullptr;
    QAction* ZoomOutAction = nullptr;
    QAction* PageNextAction = nullptr;
    QAction* PagePreAction = nullptr;
    QAction* PageFirstAction = nullptr;
    QAction* PageLastAction = nullptr;
    // The page shown, "n / total": a number typed and Enter go to that page.
    QSpinBox* PageBox = nullptr;
    QAction* PrintSetupAction = nullptr;
    QAction* PrintAction = nullptr;
    QAction* ExitAction = nullptr;
    QAction* CopyAction = nullptr;
    QAction* ActPageSetup = nullptr;
    QAction* ActSaveFile = nullptr;
    QAction* ActNewPage = nullptr;
    QAction* ActNewSpacer = nullptr;
    QAction* ActDelNewPage = nullptr;
    QAction* WordAction = nullptr;
    QAction* RTFAction = nullptr;
    QAction* AreaViewChecked = nullptr;
    QAction* MarginViewChecked = nullptr;
    QMenu* InsertMenu = nullptr;

    // Geometry in view pixels, kept by the layout.
    QRect ViewArea() const { return FViewArea; }
    int DeskBorder() const;
    // A page length (0.1 mm) in view pixels at the current zoom.
    double MapPageX(double Length) const;
    double MapPageY(double Length) const;

    // Handlers.
    void ZoomInActionExecute();
    void ZoomOutActionExecute();
    void PageNextActionExecute();
    void PagePreActionExecute();
    void PageFirstActionExecute();
    void PageLastActionExecute();
    void CopyActionExecute();
    // "RTF出力": asks for a file name, then RTFExport. "Word出力": WordExport.
    void RTFActionExecute();
    void WordActionExecute();
    // "ページ設定...": the page setup dialog, then the pages rebuilt on the new settings.
    void ActPageSetupExecute();
    // Its work: the dialog and the new pages; throws.
    void PageSetup();
    void ExitActionExecute();
    // Esc and the title bar's close button; refused while "閉じる" is off, as during a print job.
    void reject() override;
    void PaintView(QPainter& Canvas);
    void UpdatePageActions();

protected:
    void showEvent(QShowEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    // RebuildPages under the wait cursor; the normal cursor is back also after a failure.
    void RebuildPagesWaiting();
    // Page geometry from the current printer; runs CalcDrawArea.
    void CalcLayout();
    void ClearItems();
    virtual void ClearPages();
    // Thumbnails of every page of the document; those painted when ReviewOn.
    void AddSumnails(bool ReviewOn);
    void ClearSumnails();
    // Makes the thumbnails in and near the visible part of the pane, drops the others.
    void ShowSumnails();
    // The thumbnail's height and the distance from one to the next, in pixels.
    int SumnailStep() const;
    // The height of every thumbnail one under the other, in pixels; the strip's line at the
    // pane's visible top; the pane's scroll position that puts the strip's line Top there.
    qint64 SumnailStrip() const;
    qint64 SumnailTop() const;
    int SumnailScrollValue(qint64 Top) const;

    std::map<int, TSumnail*> FSumnails; // by page index, the thumbnails made
    int FSumnailCount = 0;
    bool FSumnailReview = false;
    int FDrawPageNum = 0;
    TOrientation FOrientation = TOrientation::voNone;
    double FPaperScale = 100.0;
    double FRatX = 254.0 / 96, FRatY = 254.0 / 96;
    QRect FViewArea;
    QRect FFindArea;
    int FViewFindArea = 0;
    int FItemNum = -1;
    bool FFontTabVisible = true;
    bool FInUse = false;
    bool FComposing = false;
    // Printer-to-view ratios (printer dots per screen dot).
    double FPrnKX = 1.0, FPrnKY = 1.0;
    QString FPrinterName;

private:
    TSpoolSettings FSpool;
    void CreateWindowParts();
    // The paging keys, wherever the focus is in the window: Up, Down, Left and Right page;
    // Home and End (also with Ctrl) go to the first and last page; Page Down scrolls a page
    // taller than the view to its foot, then pages on, and Page Up the other way. In the page
    // box the keys that move the text cursor stay the box's. True when the key was used.
    bool PageKey(QWidget* Receiver, const QKeyEvent& Event);
    // The page box's range, text and width follow the page count.
    void UpdatePageBox();
    bool WheelOverView(QWheelEvent* Event);
    bool WheelOverSumnails(QWheelEvent* Event);
    void ScrollSumnailIntoView();

    bool FDragging = false;
    QPoint FDragStart;
};

// The program's title, wherever the preview names the program (its caption, the progress
// window, print jobs and print records): the caption of the frame window, or the application's
// display name where there is no frame, as in the command-line tool. The display name is not
// set for the frame's sake: Qt would append it to every window title.
QString ApplicationTitle();

// The preview window of the run, created on first use.
class TPreViewForm;
TPreViewForm& SharedPreviewForm();
