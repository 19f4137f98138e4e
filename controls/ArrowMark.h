#pragma once
// One filled arrow, straight or bent at a right angle with rounded corners, with a head at
// either end, both ends or none. The shape is a single polygon computed from the control's
// size and the shaft width, head length, head width and bend radius.

#include <QBrush>
#include <QPen>
#include <QPolygon>
#include <QWidget>

enum TArrowKind : unsigned char {
    ak_Virtical,
    ak_Horizontal,
    ak_topLeft,
    ak_TopRight,
    ak_BottomLeft,
    ak_BottomRight
};

enum TArrowTip : unsigned char { ak_None, ak_Single, ak_Reverse, ak_Double };

class TArrowMark : public QWidget {
    Q_OBJECT
public:
    explicit TArrowMark(QWidget* AOwner = nullptr);

    TArrowKind ArrowKind() const { return FArrowKind; }
    void SetArrowKind(TArrowKind Value);
    int ArrowWidth() const { return FArrowWidth; }
    void SetArrowWidth(int Value) { SetInt(FArrowWidth, Value); }
    int ArrowLength() const { return FArrowLength; }
    void SetArrowLength(int Value) { SetInt(FArrowLength, Value); }
    int ArrowSize() const { return FArrowSize; }
    void SetArrowSize(int Value) { SetInt(FArrowSize, Value); }
    QPen ArrowPen() const { return FArrowPen; }
    void SetArrowPen(const QPen& Value);
    QBrush ArrowBrush() const { return FArrowBrush; }
    void SetArrowBrush(const QBrush& Value);
    int ArrowCurve() const { return FArrowCurve; }
    void SetArrowCurve(int Value) { SetInt(FArrowCurve, Value); }
    TArrowTip ArrowTip() const { return FArrowTip; }
    void SetArrowTip(TArrowTip Value);

    // The outline for the current properties and size (10 points straight, 18 bent).
    QPolygon Polygon() const;
    static QPolygon ArrowPolygon(TArrowKind Kind, TArrowTip Tip, int W, int L, int S, int C,
                                 int Width, int Height);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void SetInt(int& Field, int Value);

    TArrowKind FArrowKind = ak_Virtical;
    int FArrowWidth = 4;
    int FArrowLength = 10;
    int FArrowSize = 10;
    int FArrowCurve = 0;
    QBrush FArrowBrush{Qt::white, Qt::SolidPattern};
    QPen FArrowPen{QBrush(Qt::black), 1, Qt::SolidLine};
    TArrowTip FArrowTip = ak_Double;
};
