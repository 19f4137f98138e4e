#pragma once
// One recorded page drawing: a QPicture in 0.1 mm units over a frame of Width x Height units.
// Replaying stretches the frame into any rectangle (view, thumbnail, sheet of paper), so the
// same recording serves every output.

#include <QPicture>
#include <QRectF>

class QPainter;

class TMetafileEx {
public:
    TMetafileEx() = default;
    TMetafileEx(int Width, int Height);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    QPicture& Picture() { return FPicture; }
    const QPicture& Picture() const { return FPicture; }

    // Draws the frame stretched into Rect. The painter's clip is set aside while the recording
    // plays (its own clips replace it) and restored afterwards; drawing outside the frame
    // (headers, footers) stays visible.
    void Draw(QPainter& Painter, const QRectF& Rect) const;

private:
    QPicture FPicture;
    int FWidth = 0;
    int FHeight = 0;
};
