// searchfilter: no arguments, no output on any stream, exit code 0 always.
#include <new>

#include "filter/run.h"
#include "filter/search_filter.h"
#include "textio/os_file.h"

int main() {
    textio::os::prepareProcess();
    try {
        filter::RunState state;
        filter::runFilter(state);
    } catch (...) {
        // Out of memory before the block was written: no block, no report.
    }
    textio::os::exitProcess(0);
}
