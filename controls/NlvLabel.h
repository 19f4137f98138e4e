#pragma once
// A label whose caption may carry inline markup: "%" and a code letter switch to superscript
// (u), subscript (d), back to the base line (b), to one of the two symbol fonts (g, m) or back
// to the label's own font (o); "%%" is a literal "%". The caption is composed off-screen as a
// row of runs and copied onto the label.

#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

// One piece of caption in one font. Height is the font height as the label keeps it
// (negative: character height in pixels); Offset is the run's distance below the top line.
struct TNlvRun {
    QString Text;
    int Height = 0;
    int Offset = 0;
    int Face = 0; // 0 the label's own font, 1 "NLV G記号", 2 "NLV M記号"
    bool operator==(const TNlvRun& o) const {
        return Text == o.Text && Height == o.Height && Offset == o.Offset && Face == o.Face;
    }
};

class TNlvLabel : public QWidget {
    Q_OBJECT
public:
    enum TTextLayout { tlTop, tlCenter, tlBottom };

    explicit TNlvLabel(QWidget* AOwner = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment Value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool Value);
    QColor Color() const;
    void SetColor(const QColor& Value);

    // The runs of a caption for a label font of height h; the last run is always present,
    // empty when the caption ends with a code.
    static std::vector<TNlvRun> ParseMarkup(const QString& Caption, int h);
    // The label font's height in the negative character-height convention.
    int FontHeight() const;
    // The content rectangle at R's top-left corner (measure mode).
    QRect MeasureMarkup(const QRect& R) const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    struct TPlacedRun {
        TNlvRun Run;
        QRect Rect;
    };
    std::vector<TPlacedRun> PlaceRuns() const;
    QFont RunFont(const TNlvRun& Run) const;
    int TextFlags() const;
    void AdjustBounds();

    QString FCaption;
    Qt::Alignment FAlignment = Qt::AlignLeft;
    TTextLayout FLayout = tlTop;
    bool FAutoSize = true;
    bool FTransparent = false;
    bool FShowAccelChar = true;
};
