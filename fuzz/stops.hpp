#pragma once
// Stand-ins for the stop routines of common/stop.hpp in the fuzz targets: a
// stop, an input error or an output error throws tp::RunEnded back to the
// fuzz target, as the program's own routines do, but prints nothing (the
// fuzzer tries millions of inputs) and checks the message instead: it must
// name its place and fit in one line. A target catches tp::RunEnded.
#include "common/stop.hpp"
