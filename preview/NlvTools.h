#pragma once
// Text on preview pages: the named text styles of the preview and the font and text-placing
// helpers every page drawing uses. Page fonts are sized in page units (0.1 mm) and laid out
// without hinting, so a text has the same width relative to the page at every zoom, in the
// thumbnails, in a PDF and on paper.

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;

enum class TTextAlign { ta_Left, ta_Center, ta_Right };

// Font style bits as stored in the settings.
enum TFontStyleBits { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font for a page drawing: Face, a height in page units (negative: character height, as
// the reports ask; positive: cell height, which for the IPA faces is the same em) and style
// bits.
QFont PageFont(const QString& Face, int Height, int StyleBits = 0);
int FontStyleBits(const QFont& Font);
void SetFontStyleBits(QFont& Font, int Bits);
// The height in page units as stored: negative character height.
int PageFontHeight(const QFont& Font);

// Draws Text with its top-left corner at (X, Y), as text output on a page does.
void TextOutTopLeft(QPainter& Canvas, double X, double Y, const QString& Text);

// A named text style of the preview.
class TTextStyle {
public:
    TTextStyle();

    void Assign(const TTextStyle& Source) { *this = Source; }

    QString StyleName;
    QFont Font;
    QColor Color{Qt::black}; // the font's colour; not kept in the settings
    int LeftI = 60;
    int LeftI2 = 0;
    int RightI = 0;
    int RightI2 = 0;
    TTextAlign Align = TTextAlign::ta_Left;
    int Height = 50; // line spacing; -1: none of its own
};
