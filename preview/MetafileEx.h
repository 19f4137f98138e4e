#pragma once
// One recorded page drawing in 0.1 mm over a frame of Width x Height units. It is a QPicture
// (so a QPainter records on it like on any picture) with one addition: table cells add their
// texts as runs with a ready position, which records a large report many times faster than
// laying every cell out while recording. Replaying stretches the frame into any rectangle
// (view, thumbnail, sheet of paper), so the one recording serves every output.

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QPicture>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <vector>

class QPainter;

class TMetafileEx : public QPicture {
public:
    TMetafileEx() = default;
    TMetafileEx(int Width, int Height);

    // A picture from its bytes: an SVG document (its view box gives the frame) or a recorded
    // QPicture; anything else fails.
    static TMetafileEx FromData(const QByteArray& Data);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    // Adds a text with its baseline start at Origin (frame units), in Font and Colour, clipped
    // to Clip when Clipped. Drawn after the picture's own drawing.
    void AddTextRun(const QPointF& Origin, const QString& Text, const QFont& Font,
                    const QColor& Colour, bool Clipped = false, const QRectF& Clip = QRectF());
    int TextRunCount() const { return static_cast<int>(FRuns.size()); }

    // Draws the frame stretched into Rect. The painter's clip is set aside while the recording
    // plays (its own clips replace it) and restored afterwards; drawing outside the frame
    // (headers, footers) stays visible.
    void Draw(QPainter& Painter, const QRectF& Rect) const;

    // What a text run holds, for checks of a page's contents.
    struct TTextRun {
        QPointF Origin;
        QString Text;
        uint16_t Font = 0;
        bool Clipped = false;
        QRgb Colour = 0xff000000;
        QRectF Clip;
    };
    const std::vector<TTextRun>& TextRuns() const { return FRuns; }
    const QFont& RunFont(const TTextRun& Run) const { return FFonts[Run.Font]; }

private:
    std::vector<TTextRun> FRuns;
    std::vector<QFont> FFonts;
    int FWidth = 0;
    int FHeight = 0;
};
