#pragma once
// A page thumbnail of the preview's thumbnail pane: the sheet with its shadow and the page's
// drawing inside the margins; the selected page is crossed out in red.

#include <QWidget>

#include <array>
#include <functional>

class TPageDocument;

class TSumnail : public QWidget {
    Q_OBJECT
public:
    explicit TSumnail(QWidget* Parent = nullptr);

    int Number() const { return FNumber; }
    void SetNumber(int Value);
    bool ReviewOn() const { return FReviewOn; }
    void SetReviewOn(bool Value);
    int PaperHeight() const { return FPaperHeight; }
    void SetPaperHeight(int Value);
    int PaperWidth() const { return FPaperWidth; }
    void SetPaperWidth(int Value);
    // Margins in 0.1 mm: left, top, right, bottom.
    void SetMarzin(const std::array<int, 4>& Value) { FMarzin = Value; }
    bool Selected() const { return FSelected; }
    void SetSelected(bool Value);
    // The document whose page Number() is shown (not owned).
    void SetDocument(const TPageDocument* Document) { FDocument = Document; }
    // Physical paper height in 0.1 mm, from the printer.
    void SetPrinterPaperHeight(double Value) { FPrinterPaperHeight = Value; }
    // The height of a thumbnail of a paper PaperWidth x PaperHeight.
    static int HeightFor(int PaperWidth, int PaperHeight);

    std::function<void(TSumnail&)> OnClick;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;

private:
    void UpdateHeight();

    const TPageDocument* FDocument = nullptr;
    int FNumber = 0;
    int FPaperHeight = 100;
    int FPaperWidth = 100;
    std::array<int, 4> FMarzin{};
    bool FSelected = false;
    bool FReviewOn = false;
    double FPrinterPaperHeight = 2970;
};
