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
