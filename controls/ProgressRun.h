#pragma once
// Long work in the windows: run on a worker thread under a window-modal progress box with a
// cancel button, which appears only when the work takes longer than a moment. The work must not
// touch widgets; it reports through the TProgress it is given.

#include "platform/Progress.h"

#include <QString>

#include <functional>

class QWidget;

// Runs Work and waits for it while the event loop turns. False when the user cancelled (Work
// threw ECancelled); any other failure of Work is passed on to the caller.
bool RunWithProgress(QWidget* Parent, const QString& Title, const QString& Label,
                     const std::function<void(const TProgress&)>& Work);
