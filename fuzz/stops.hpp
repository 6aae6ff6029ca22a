#pragma once
// Stand-ins for the stop routines of common/stop.hpp in the fuzz targets: a
// stop, an input error or an output error unwinds back to the fuzz target
// (as the exception below) instead of ending the process. The message is
// still checked: it must name its place and fit in one line.
namespace tp::fuzz {

struct RunEnded {
  int code;
};

}  // namespace tp::fuzz
