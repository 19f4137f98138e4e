#pragma once
// Drives the windows with random input: each step picks the window a user could reach now (an
// open popup, else the modal window, else the frame), a control in it, and a click, key, typed
// text, paste, wheel turn, drag, resize or close. Steps run from a timer that fires in every
// nested event loop, so modal windows are driven as well; message boxes are answered with a
// random button, and file dialogs are answered by the driver only, with a name inside the
// sandbox folder, so nothing is written elsewhere. When the time or the step budget is spent,
// the driver closes every modal window and ends the event loop.

#include "SoakInput.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class QFileDialog;
class QMessageBox;
class QWidget;

struct TSoakOptions {
    uint64_t Seed = 1;
    double Minutes = 1;
    long long Steps = 0; // 0: as many as the time allows
    QString LogFile;     // every action, one a line; empty: none
    int HangSeconds = 60;
};

class TSoakDriver : public QObject {
    Q_OBJECT
public:
    // Frame: the program's main window. Folder: where every file dialog is kept.
    TSoakDriver(const TSoakOptions& Options, QWidget* Frame, const QString& Folder);

    void Start();
    // Whether every window could be closed at the end.
    bool Unwound() const { return FUnwound; }
    long long StepCount() const { return FStep; }
    // Steps per window class, file dialogs and message boxes answered.
    QString Summary() const;
    // A line in the log between the actions (Qt's warnings, so they show where they arose).
    void Note(const QString& Text);

private:
    void Step();
    void Unwind();
    QWidget* CurrentWindow();
    // A visible window of neither the modal chain nor the frame: a job's progress.
    QWidget* ProgressWindow() const;
    void Act(QWidget* Window);
    void AnswerFileDialog(QFileDialog* Dialog);
    void AnswerMessageBox(QMessageBox* Box);
    QWidget* PickControl(QWidget* Window);
    QWidget* KeyReceiver(QWidget* Window, QWidget* Fallback) const;

    void Click(QWidget* W, bool Double);
    void Drag(QWidget* W);
    void Wheel(QWidget* W);
    void Hover(QWidget* W);
    void ContextMenu(QWidget* W);
    void PressKey(QWidget* Window, QWidget* W);
    void TypeText(QWidget* Window, QWidget* W);
    void ComposeText(QWidget* Window, QWidget* W);
    void PasteText(QWidget* Window, QWidget* W);

    QString TextFor(const QWidget* Receiver);
    QPoint RandomPoint(const QWidget* W);
    void Log(const QString& Text);
    static QString Describe(const QWidget* W);
    static QString Shown(const QString& Text);

    TSoakOptions FOptions;
    TSoakRandom FRandom;
    QPointer<QWidget> FFrame;
    QString FFolder;
    QElapsedTimer FClock;
    QFile FLog;
    long long FStep = 0;
    long long FUnwindSteps = 0;
    qint64 FStopTime = 0;
    bool FWaiting = false;
    long long FBesideProgress = 0;
    long long FProgressRun = 0;
    long long FLongestProgress = 0;
    bool FStopping = false;
    bool FDone = false;
    bool FUnwound = false;
    QMap<QString, long long> FWindowSteps;
    long long FFileDialogs = 0;
    long long FMessageBoxes = 0;
};
