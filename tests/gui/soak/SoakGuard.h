#pragma once
// What a soak run leaves behind when it fails: the last actions before a crash, a sanitizer
// report, an uncaught exception or a hang, and the stack of the windows' thread when they stop
// answering (the run then ends with exit code 3 instead of waiting for the test's timeout).

#include <string>

namespace SoakGuard {

// Signal, terminate and sanitizer hooks, and a watchdog that ends the run when no action was
// recorded for HangSeconds. Call once, on the windows' thread.
void Install(int HangSeconds);
// The action about to run (also counts as a sign of life).
void Record(const std::string& Line);
// Ends the watchdog; the run is over.
void Finish();

} // namespace SoakGuard
