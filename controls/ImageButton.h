#pragma once
// A push button drawn entirely from four pictures, one per state: normal, pressed, pointer
// over it, disabled. It fires `clicked` itself on a release inside the button, so a press
// dragged off the button never clicks, even when the pointer comes back before the release.

#include <QPixmap>
#include <QWidget>

class TImageButton : public QWidget {
    Q_OBJECT
public:
    enum TImageIndex { imNormal = 0, imDown = 1, imMouseOn = 2, imNotEnable = 3 };

    explicit TImageButton(QWidget* AOwner = nullptr);

    QPixmap NormalImage() const { return FImage[imNormal]; }
    void SetNormalImage(const QPixmap& Value) { SetImage(imNormal, Value); }
    QPixmap DownImage() const { return FImage[imDown]; }
    void SetDownImage(const QPixmap& Value) { SetImage(imDown, Value); }
    QPixmap MouseOnImage() const { return FImage[imMouseOn]; }
    void SetMouseOnImage(const QPixmap& Value) { SetImage(imMouseOn, Value); }
    QPixmap NotEnableImage() const { return FImage[imNotEnable]; }
    void SetNotEnableImage(const QPixmap& Value) { SetImage(imNotEnable, Value); }

    // The picture shown now (0 normal, 1 pressed, 2 pointer over it, 3 disabled).
    int ImageNum() const { return FImageNum; }
    bool MouseInControl() const { return FMouseInControl; }

    // Fires the click as if the user had clicked.
    void Click();

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    void SetImage(int Index, const QPixmap& Value);
    void SetImageNum(int Value);
    void MouseEnter();
    void MouseLeave();

    bool FMouseInControl = false;
    int FOldImageNum = imNormal;
    int FImageNum = imNormal;
    QPixmap FImage[4];
    bool FDragging = false;
};
