#pragma once
// Pieces the page setup dialog's sheets share.

#include "controls/NlvLabel.h"

#include <QFrame>
#include <QPainter>

#include <functional>

// A box that leaves its painting to the dialog, inside its frame.
class TSetupPaintBox : public QFrame {
public:
    TSetupPaintBox(QWidget* Parent, std::function<void(QPainter&)> OnPaint)
        : QFrame(Parent), FOnPaint(std::move(OnPaint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.save();
        p.setClipRect(contentsRect());
        FOnPaint(p);
        p.restore();
        drawFrame(&p);
    }

private:
    std::function<void(QPainter&)> FOnPaint;
};

// A caption of the dialog at (X, Y), as wide as its text.
inline TNlvLabel* SetupCaption(const QString& Text, QWidget* Parent, int X, int Y) {
    auto* l = new TNlvLabel(Parent);
    l->SetCaption(Text);
    l->SetAutoSize(true);
    l->SetTransparent(true);
    l->move(X, Y);
    return l;
}
