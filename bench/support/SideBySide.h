#pragma once
// A benchmark's run with the core's real-time waits and its run without,
// one after the other in one invocation: the benchmark runs itself again
// as a child, with the same options, once as it is and once with
// --no-realtime; each child's report is printed under a header line
// ("run realtime", "run no-realtime"), then the two are compared.

#include "ProgramBench.h"

#include <cstdio>

namespace quennel::bench {

// argv is the benchmark's own, --side-by-side among its options, read into
// options. Call it before the process starts a thread. 0 when both runs
// succeeded; 1 when either failed; 2 for options that do not go together.
int RunSideBySide(char** argv, const ProgramBenchOptions& options, std::FILE* out);

} // namespace quennel::bench
