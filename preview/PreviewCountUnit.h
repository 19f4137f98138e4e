#pragma once
// The progress window of a print job: pages sent so far out of the pages to send. Setting the
// value lets the window system catch up, so the windows stay painted during printing.

#include <QDialog>

class QLabel;
class TLabel3D;

class TPreviewCountForm : public QDialog {
    Q_OBJECT
public:
    explicit TPreviewCountForm(QWidget* AOwner = nullptr);

    // Shows the window centred on the screen, without blocking.
    void Execute();
    int Value() const { return FPosition; }
    void SetValue(int Value);
    int Count() const { return FCount; }
    void SetCount(int Value);

    QLabel* Image1 = nullptr;
    TLabel3D* Heading = nullptr;
    QLabel* PosLabel = nullptr;
    QLabel* CntLabel = nullptr;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void reject() override;

private:
    int FPosition = 0;
    int FCount = 0;
};
