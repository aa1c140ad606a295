// Benchmark of the game's start-up (not a test): from the library's
// configuration to the end of the first frame, in the data directory given,
// loose or packed. Run under Wine:
//   startup_bench.exe DATA_DIR
#include <windows.h>
#include <stdio.h>

#include "game/main_loop.h"
#include "runtime/library.h"
#include "tools/bench/bench_clock.h"

int main(int argc, char** argv)
{
    if (argc != 2 || !SetCurrentDirectoryA(argv[1])) {
        fprintf(stderr, "usage: startup_bench DATA_DIR\n");
        return 2;
    }
    double start = Now();
    if (StartGame() != 0) {
        fprintf(stderr, "the library did not start\n");
        return 1;
    }
    double loaded = Now();
    RunGameFrame();
    double firstFrame = Now();
    printf("start-up and loading %.3f s, first frame done at %.3f s\n", loaded - start, firstFrame - start);
    EndLibraryLocked();
    return 0;
}
