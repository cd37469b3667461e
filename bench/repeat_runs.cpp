// repeat_runs N FILE: the whole filter run N times in one process, in the
// current folder (each run appends its block, as the filter does), and each
// run's wall time in milliseconds written to FILE, one a line. Timed in the
// process, a run's time leaves out the process's start-up: under Wine that
// start-up took 17 to 60 ms from one run to the next, more than a run's own
// work, so that the difference of two runs told nothing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "filter/run.h"
#include "filter/search_filter.h"
#include "textio/large_buffer.h"
#include "textio/os_file.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int runs = std::atoi(argv[1]);
    if (runs < 1) return 2;
    textio::os::prepareProcess();
    std::vector<double> milliseconds;
    for (int run = 0; run < runs; ++run) {
        {
            const auto start = std::chrono::steady_clock::now();
            filter::RunState state;
            filter::runFilter(state);
            milliseconds.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        // Each run starts as a new process's would, with no region of large
        // pages yet: a run after the first found it used up and gave each of
        // its buffers memory of its own.
        textio::releaseLargeBufferRegion();
    }
    std::FILE* out = std::fopen(argv[2], "w");
    if (out == nullptr) return 1;
    for (const double time : milliseconds) std::fprintf(out, "%.3f\n", time);
    return std::fclose(out) == 0 ? 0 : 1;
}
