#pragma once
// The frequencies of a curve, as the command line and the keyword deck give
// them: a list, or a range of points evenly spaced in log frequency.
#include <string>
#include <vector>

namespace tp {

// The frequencies of "F1,F2,..." (Hz) or "FMIN:FMAX:N" (N points evenly
// spaced in log frequency from FMIN to FMAX); false, with why filled, for a
// list that is empty, holds a value that is not a positive finite number,
// or a range with N < 1 or FMAX < FMIN.
bool parse_frequencies(const std::string& text, std::vector<double>& f, std::string& why);

// N points evenly spaced in log frequency from fmin to fmax, both included.
std::vector<double> log_frequencies(double fmin, double fmax, int n);

}  // namespace tp
