#include "ArrowMark.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace {

enum TDirection { dUp, dDown, dRight, dLeft };

// Sets the four points around the end point P[c]. With a head, P[c] is the tip; without,
// it is the middle of the shaft's flat end.
void EndPiece(QPoint* P, int c, TDirection Dir, bool Head, int W, int L, int S) {
    const int w2 = W / 2, s2 = S / 2;
    const int ex = P[c].x(), ey = P[c].y();
    switch (Dir) {
    case dUp:
        if (Head) {
            P[c - 2] = {ex - w2, ey + L};
            P[c - 1] = {ex - s2, ey + L};
            P[c + 1] = {ex - s2 + S - 1, ey + L};
            P[c + 2] = {ex - w2 + W - 1, ey + L};
        } else {
            P[c - 2] = P[c - 1] = {ex - w2, ey};
            P[c + 1] = P[c + 2] = {ex - w2 + W - 1, ey};
        }
        break;
    case dDown:
        if (Head) {
            P[c + 2] = {ex - w2, ey - L};
            P[c + 1] = {ex - s2, ey - L};
            P[c - 1] = {ex - s2 + S - 1, ey - L};
            P[c - 2] = {ex - w2 + W - 1, ey - L};
        } else {
            P[c + 2] = P[c + 1] = {ex - w2, ey};
            P[c - 1] = P[c - 2] = {ex - w2 + W - 1, ey};
        }
        break;
    case dRight:
        if (Head) {
            P[c - 2] = {ex - L, ey - w2};
            P[c - 1] = {ex - L, ey - s2};
            P[c + 1] = {ex - L, ey - s2 + S - 1};
            P[c + 2] = {ex - L, ey - w2 + W - 1};
        } else {
            P[c - 2] = P[c - 1] = {ex, ey - w2};
            P[c + 1] = P[c + 2] = {ex, ey - w2 + W - 1};
        }
        break;
    case dLeft:
        if (Head) {
            P[c + 2] = {ex + L, ey - w2};
            P[c + 1] = {ex + L, ey - s2};
            P[c - 1] = {ex + L, ey - s2 + S - 1};
            P[c - 2] = {ex + L, ey - w2 + W - 1};
        } else {
            P[c + 2] = P[c + 1] = {ex, ey - w2};
            P[c - 1] = P[c - 2] = {ex, ey - w2 + W - 1};
        }
        break;
    }
}

// sin(30° × j) in thousandths, with √3/2 taken as 0.866.
int Sin1000(int j) {
    static const int table[12] = {0, 500, 866, 1000, 866, 500, 0, -500, -866, -1000, -866, -500};
    return table[((j % 12) + 12) % 12];
}

// Thousandths to a whole number, halves to even; exact, so ties do not depend on binary
// fractions such as 0.866.
int RoundThousandths(int64_t v) {
    int64_t q = v / 1000, r = v % 1000;
    if (r < 0) {
        r += 1000;
        --q;
    }
    if (r > 500 || (r == 500 && (q & 1) != 0))
        ++q;
    return static_cast<int>(q);
}

enum TQuadrant { qUpperRight, qLowerRight, qLowerLeft, qUpperLeft };

// Sets P[k+1..k+3] on the quarter circle of radius r that starts at P[k]. Angles count
// clockwise from 12 o'clock in steps of 30°; a quadrant spans three steps.
void Arc(QPoint* P, int k, TQuadrant Quadrant, bool Clockwise, int r) {
    const int first = Quadrant * 3;
    const int start = Clockwise ? first : first + 3;
    const int step = Clockwise ? 1 : -1;
    // Point at angle j: centre + (r·sin, −r·cos); cos(θ) = sin(θ + 90°).
    const int64_t cx = int64_t(P[k].x()) * 1000 - int64_t(r) * Sin1000(start);
    const int64_t cy = int64_t(P[k].y()) * 1000 + int64_t(r) * Sin1000(start + 3);
    for (int i = 1; i <= 3; ++i) {
        const int j = start + step * i;
        P[k + i] = {RoundThousandths(cx + int64_t(r) * Sin1000(j)),
                    RoundThousandths(cy - int64_t(r) * Sin1000(j + 3))};
    }
}

} // namespace

TArrowMark::TArrowMark(QWidget* AOwner) : QWidget(AOwner) {
    setGeometry(0, 0, 100, 100);
}

void TArrowMark::SetArrowKind(TArrowKind Value) {
    if (FArrowKind == Value)
        return;
    FArrowKind = Value;
    update();
}

void TArrowMark::SetArrowTip(TArrowTip Value) {
    if (FArrowTip == Value)
        return;
    FArrowTip = Value;
    update();
}

void TArrowMark::SetInt(int& Field, int Value) {
    if (Field == Value)
        return;
    Field = Value;
    update();
}

void TArrowMark::SetArrowPen(const QPen& Value) {
    FArrowPen = Value;
    update();
}

void TArrowMark::SetArrowBrush(const QBrush& Value) {
    FArrowBrush = Value;
    update();
}

QPolygon TArrowMark::Polygon() const {
    return ArrowPolygon(FArrowKind, FArrowTip, FArrowWidth, FArrowLength, FArrowSize, FArrowCurve,
                        width(), height());
}

QPolygon TArrowMark::ArrowPolygon(TArrowKind Kind, TArrowTip Tip, int W, int L, int S, int C,
                                  int Width, int Height) {
    const bool startHead = Tip == ak_Reverse || Tip == ak_Double;
    const bool endHead = Tip == ak_Single || Tip == ak_Double;
    QPoint P[18];
    if (Kind == ak_Virtical || Kind == ak_Horizontal) {
        if (Kind == ak_Virtical) {
            P[2] = {Width / 2, 0};
            P[7] = {Width / 2, Height - 1};
            EndPiece(P, 2, dUp, startHead, W, L, S);
            EndPiece(P, 7, dDown, endHead, W, L, S);
        } else {
            P[2] = {0, Height / 2};
            P[7] = {Width - 1, Height / 2};
            EndPiece(P, 2, dLeft, startHead, W, L, S);
            EndPiece(P, 7, dRight, endHead, W, L, S);
        }
        return QPolygon(QList<QPoint>(P, P + 10));
    }

    const int w2 = W / 2;
    const int m = S < W ? W / 2 : S / 2;
    const int Ro = std::max(0, w2 + C);
    const int Ri = std::max(0, C - w2);
    switch (Kind) {
    case ak_topLeft:
        P[2] = {Width - m - 1, 0};
        P[11] = {0, Height - m - 1};
        EndPiece(P, 2, dUp, startHead, W, L, S);
        EndPiece(P, 11, dLeft, endHead, W, L, S);
        P[5] = {P[4].x(), P[9].y() - Ro};
        Arc(P, 5, qLowerRight, true, Ro);
        P[14] = {P[0].x() - Ri, P[13].y()};
        Arc(P, 14, qLowerRight, false, Ri);
        break;
    case ak_TopRight:
        P[2] = {m, 0};
        P[11] = {Width - 1, Height - m - 1};
        EndPiece(P, 2, dUp, startHead, W, L, S);
        EndPiece(P, 11, dRight, endHead, W, L, S);
        P[5] = {P[4].x(), P[9].y() - Ri};
        Arc(P, 5, qLowerLeft, false, Ri);
        P[14] = {P[0].x() + Ro, P[13].y()};
        Arc(P, 14, qLowerLeft, true, Ro);
        break;
    case ak_BottomLeft:
        P[2] = {Width - m - 1, Height - 1};
        P[11] = {0, m};
        EndPiece(P, 2, dDown, startHead, W, L, S);
        EndPiece(P, 11, dLeft, endHead, W, L, S);
        P[5] = {P[4].x(), P[9].y() + Ri};
        Arc(P, 5, qUpperRight, false, Ri);
        P[14] = {P[0].x() - Ro, P[13].y()};
        Arc(P, 14, qUpperRight, true, Ro);
        break;
    default: // ak_BottomRight
        P[2] = {m, Height - 1};
        P[11] = {Width - 1, m};
        EndPiece(P, 2, dDown, startHead, W, L, S);
        EndPiece(P, 11, dRight, endHead, W, L, S);
        P[5] = {P[4].x(), P[9].y() + Ro};
        Arc(P, 5, qUpperLeft, true, Ro);
        P[14] = {P[0].x() + Ri, P[13].y()};
        Arc(P, 14, qUpperLeft, false, Ri);
        break;
    }
    return QPolygon(QList<QPoint>(P, P + 18));
}

void TArrowMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(FArrowPen);
    painter.setBrush(FArrowBrush);
    painter.drawPolygon(Polygon());
}
