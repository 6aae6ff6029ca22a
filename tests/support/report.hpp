#pragma once
// Reading the program's report ("label = value" lines) and comparing texts
// that hold numbers: the text exactly, the numbers within a tolerance.
#include <string>
#include <vector>

namespace tp::testing {

// The text after `label` on the first line that starts with it (leading
// blanks aside). When the label does not end in "=", the text after the
// next "=" of the line. Empty when no line starts with the label.
std::string report_text(const std::string& report, const std::string& label);

// The first item of that text ("<no line LABEL>" when there is none).
std::string report_value(const std::string& report, const std::string& label);

// Every number of that text, in order, up to the first item that is none.
std::vector<double> report_numbers(const std::string& report, const std::string& label);

// The first of those numbers; NaN when there is none.
double report_number(const std::string& report, const std::string& label);

// The report with its processor-time line masked: it differs between two
// runs of the same deck.
std::string without_running_time(const std::string& text);

// One line against its expected text: the text between numbers exactly,
// the numbers within `rel_tol` of the larger. Empty when they agree, else
// what differs.
std::string compare_line(const std::string& want, const std::string& got, double rel_tol = 1e-12);

// Every line of `got` against `want` (the running time masked), reporting
// at most five differing lines as test failures under `what`.
void expect_same_text(const std::string& what, const std::string& want, const std::string& got,
                      double rel_tol = 1e-12);

}  // namespace tp::testing
