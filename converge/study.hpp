#pragma once
// A convergence study: the same sample run at several refinements, each
// result assessed over the levels (converge/order.hpp), written as a table
// (converge.csv and converge.json). The figure of a study folder is the
// Python package's (`tools/plot DIR`, or `threephase.converge` in Python).
//
//   threephase converge DECK --refine 1,2,4,8 [-o DIR] [-j N] [--tolerance REL]
//
// Each level runs the program's own legacy run (the deck on standard
// input, the side files beside it) in DIR/level_<r>, with the default
// solver. A keyword deck runs with its [run] plan (materials, water
// proportions, porosity), its counts scaled and the porosity file it names
// refined into the level's porosity.frac; a level that would need more memory than the limit (stop
// 3) is left out with a message and the study goes on with the others.
//
// The study is built in a hidden staging folder beside DIR
// (".DIR.staging-PID") and put in DIR's place in one step when it is
// complete; a study that fails or is interrupted (SIGINT, SIGTERM, SIGHUP:
// its level runs are ended) removes its staging folder and leaves an
// earlier study in DIR as it was. DIR is refused when it holds the deck or
// a side file the study reads, or files of anything but an earlier study.
#include <string>
#include <vector>

#include "converge/order.hpp"

namespace tp {

struct ConvergeOptions {
  std::string deck;         // a legacy or keyword deck; its side files lie beside it
  std::vector<int> refine;  // refinement factors, increasing (1, 2, 4, ...)
  std::string out_dir;      // "" means <deck's name>_converge in the working directory
  int jobs = 1;             // levels run at once
  double rel_tol = 0.01;    // relative tolerance of the verdicts
  std::string program;      // the program each level runs ("" = this one)
};

// Exit statuses of the study (those of the command line): 0 when at least
// one level ran and every level either ran or was left out for memory; 2 bad
// input (deck, side files, an output folder it may not replace); 3 when no
// level fits the memory limit; 4 when a level stopped on a check of the
// computation; 5 when the study cannot be written (its folder, its levels'
// files, the table); 1 anything else. Interrupted, it ends by the signal.
int converge_study(const ConvergeOptions& o);

// Reads "1,2,4" into increasing factors from 1 to 64; false when it is not
// such a list.
bool parse_refinements(const std::string& text, std::vector<int>& refine);

// One result of a level's report: its name in the table, its unit, the
// label that precedes the number in the report, and the tolerance's floor.
struct StudyQuantity {
  const char* name;
  const char* unit;
  const char* label;
  double floor;
};
constexpr int kStudyQuantities = 6;
extern const StudyQuantity kQuantities[kStudyQuantities];

// The number after `label` in the report (blanks in either collapsed to
// one); NaN when the label is not there.
double report_value(const std::string& report, const char* label);

}  // namespace tp
