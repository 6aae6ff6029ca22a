#pragma once
// The bad-input suite's own judgement of a run, on top of the shared runner
// and deck editor of tests/support.
#include <string>

#include "support/deck_edit.hpp"
#include "support/run.hpp"

namespace tp::reliability {

using tp::testing::example_lines;
using tp::testing::field_of_line;
using tp::testing::join_lines;
using tp::testing::run_program;
using tp::testing::RunResult;
using tp::testing::Streams;

// A fresh folder holding the files of examples/<name> (deck, reference
// files, porosity.frac).
std::string example_dir(const std::string& name);

// Why a run is not an acceptable end for bad input: a signal, a hang, a
// sanitizer report, the normal end (40) or a success. Empty when fine.
std::string unacceptable(const RunResult& o);

}  // namespace tp::reliability
