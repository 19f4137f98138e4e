#pragma once
// Long work in the windows: run on a worker thread under a window-modal progress box with a
// cancel button, which appears only when the work takes longer than a moment. The work must not
// touch widgets; it reports through the TProgress it is given.

#include "platform/Progress.h"

#include <QString>

#include <functional>

class QWidget;
class TInputData;

// How long work runs before the box shows: 400 ms unless set (tests show it at once with 0).
void SetProgressBoxDelay(int Ms);

// Runs Work and waits for it while the event loop turns. False when the user cancelled (Work
// threw ECancelled) or when other work is running still; any other failure of Work is passed on
// to the caller.
bool RunWithProgress(QWidget* Parent, const QString& Title, const QString& Label,
                     const std::function<void(const TProgress&)>& Work);

// The same for work on a project. The project's phase listener updates windows, so while the
// work runs it is held back; afterwards, on this thread, it hears every phase that differs.
bool RunWithProgress(QWidget* Parent, const QString& Title, const QString& Label, TInputData& Data,
                     const std::function<void(const TProgress&)>& Work);
