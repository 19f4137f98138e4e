#include "SyntheticSite.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "使い方: doryou-make-synthetic OUT.msh [CALCTYPE] [SIDE] [SPREAD]\n");
        return 2;
    }
    TInputData d;
    BuildSyntheticSite(d, argc > 3 ? std::atoi(argv[3]) : 1000, argc > 2 ? std::atoi(argv[2]) : 0,
                       argc > 4 ? std::atoll(argv[4]) : 1);
    d.SetPhase(2, true); // so that loading recalculates, as a saved calculated project does
    d.FileSave(argv[1]);
    return 0;
}
