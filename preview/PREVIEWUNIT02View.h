#pragma once
// The paint surface of the preview's page view; the window paints it and handles its mouse.

#include <QWidget>

class TPreViewBase;

class TPreviewView : public QWidget {
    Q_OBJECT
public:
    TPreviewView(TPreViewBase* Owner, QWidget* Parent);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    TPreViewBase* FOwner;
};
