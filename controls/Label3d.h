#pragma once
// A one-line label drawn three times with small offsets in three colours, so that the text
// looks raised, sunken, embossed or shadowed. It has no window of its own in spirit: the
// background is left to the parent.

#include <QColor>
#include <QString>
#include <QWidget>

enum TLabelStyle { lsCustom, lsLowered, lsRaised, lsShadow };

class TLabel3D : public QWidget {
    Q_OBJECT
public:
    explicit TLabel3D(QWidget* AOwner = nullptr);
    TLabel3D(const QString& Caption, QWidget* AOwner);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    QColor MainColor() const;
    void SetMainColor(const QColor& Value);
    QColor UpColor() const { return FUpColor; }
    void SetUpColor(const QColor& Value);
    QColor DownColor() const { return FDownColor; }
    void SetDownColor(const QColor& Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment Value);
    TLabelStyle Style() const { return FLabelStyle; }
    void SetStyle(TLabelStyle Value);
    int ShadowXOffset() const { return FShadowOffset.x(); }
    void SetShadowXOffset(int Value);
    int ShadowYOffset() const { return FShadowOffset.y(); }
    void SetShadowYOffset(int Value);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    // Height from the font, width from the caption when AutoSize is on.
    void AdjustBounds();

    QString FCaption;
    QColor FUpColor{128, 128, 128};
    QColor FDownColor{Qt::white};
    bool FAutoSize = true;
    Qt::Alignment FAlignment = Qt::AlignLeft;
    TLabelStyle FLabelStyle = lsCustom;
    QPoint FShadowOffset{0, 0};
};
