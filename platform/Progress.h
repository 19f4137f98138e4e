#pragma once
// Progress of long work (reading, calculating, composing): the share done (0..1). The callback
// answers false to cancel; the work then ends by throwing ECancelled and leaves what it was
// given as it was. No Qt here, so the command line tool and the windows share the work itself.

#include <functional>

using TProgress = std::function<bool(double Done)>;

struct ECancelled {};

// Reports Done to Progress (when there is one) and throws ECancelled when it answers false.
inline void ReportProgress(const TProgress& Progress, double Done) {
    if (Progress && !Progress(Done))
        throw ECancelled{};
}

// The share From..To of Progress, for one step of longer work: Done 0..1 of the step reports
// From + (To - From) * Done. Empty when Progress is.
inline TProgress ProgressPart(const TProgress& Progress, double From, double To) {
    if (!Progress)
        return {};
    return [&Progress, From, To](double Done) { return Progress(From + (To - From) * Done); };
}
