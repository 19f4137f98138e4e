#pragma once
// The frame window: an empty multiple-document frame whose only child is the navigation
// window, created when the frame is first shown. Closing the frame ends the program, after
// asking whether a changed project is to be saved.

#include <QMainWindow>

class QMdiArea;
class TInputForm;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* AOwner = nullptr);
    ~TMainForm() override;

    QMdiArea* MdiArea() const { return FMdiArea; }
    // The navigation window; null until the frame was shown.
    TInputForm* InputForm() const { return FInputForm; }
    // A project to open as soon as the navigation window exists (the program's argument),
    // through the same path as the open button, errors included.
    void SetStartFile(const QString& FileName) { FStartFile = FileName; }

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void FormShow();

    QMdiArea* FMdiArea;
    TInputForm* FInputForm = nullptr;
    QString FStartFile;
};

// The frame of the run.
extern TMainForm* MainForm;
