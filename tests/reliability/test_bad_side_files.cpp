// The files beside the deck, as they go wrong in practice: "porosity.frac"
// short, with text or with values that are no porosity; the reference files
// missing, empty or short; and standard input that is no deck at all.
// Each run must end with exit status 2 and a message naming the file (and
// line); never a signal, a hang, a sanitizer report or a normal end.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "reliability/reliability.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::reliability;
using tp::testing::read_file;
using tp::testing::split_lines;
using tp::testing::write_file;

void expect_rejected(const RunResult& o, const std::string& where, const std::string& words) {
  ASSERT_EQ(unacceptable(o), "") << o.err;
  EXPECT_EQ(o.status, 2) << o.err;
  EXPECT_EQ(tp::testing::without_warnings(o.err).rfind("threephase: " + where, 0), 0u) << o.err;
  EXPECT_NE(o.err.find(words), std::string::npos) << o.err;
}

// ---- porosity.frac of the fractal example (16 by 16 cells) ----

struct FracCase {
  const char* name;
  int line;           // the line replaced (0: the file is cut after `keep` lines)
  const char* text;   // its new text
  int keep;           // lines kept when cut; -1 to remove the file
  const char* words;  // what the message must say
};

std::vector<FracCase> frac_cases() {
  return {
      {"missing", 0, "", -1, "cannot open the file for reading"},
      {"empty", 0, "", 0, "ends after line 0, before the value of the porosity of cell (1, 1)"},
      {"one_line", 0, "", 1, "ends after line 1, before the value of the porosity of cell (2, 1)"},
      {"one_row_short", 0, "", 255, "before the value of the porosity of cell (16, 16)"},
      {"text_first", 1, "porosity", 0, "a real number expected for the porosity of cell (1, 1)"},
      {"text_mid", 17, "  0.2O", 0, "a real number expected for the porosity of cell (1, 2)"},
      {"text_last", 256, "n/a", 0, "a real number expected for the porosity of cell (16, 16)"},
      {"negative", 5, " -0.1000E+00", 0, "the porosity of cell (5, 1) = -0.1 is not a porosity"},
      {"above_one", 100, "  1.5", 0, "the porosity of cell (4, 7) = 1.5 is not a porosity"},
      {"percent", 256, "  25.0", 0, "the porosity of cell (16, 16) = 25 is not a porosity"},
      {"nan", 3, "  NaN", 0, "the porosity of cell (3, 1) = nan is not a porosity"},
      {"inf", 200, "  Inf", 0, "the porosity of cell (8, 13) = inf is not a porosity"},
      {"huge", 7, " 1.0E+999", 0, "a real number expected for the porosity of cell (7, 1)"},
      {"binary", 9, "\x01\x02\xff\xfe", 0,
       "a real number expected for the porosity of cell (9, 1)"},
  };
}

class BadPorosityFile : public ::testing::TestWithParam<FracCase> {};

TEST_P(BadPorosityFile, EndsWithStatus2NamingTheFileAndLine) {
  const FracCase c = GetParam();
  const std::string dir = example_dir("fractal");
  const std::string path = dir + "/porosity.frac";
  std::vector<std::string> lines = split_lines(read_file(path));
  if (c.keep < 0) {
    std::filesystem::remove(path);
  } else if (c.line == 0) {
    lines.resize(static_cast<std::size_t>(c.keep));
    write_file(path, join_lines(lines));
  } else {
    lines[static_cast<std::size_t>(c.line - 1)] = c.text;
    write_file(path, join_lines(lines));
  }
  const RunResult o = run_program(dir, read_file(dir + "/deck"));
  const std::string where =
      c.line > 0 ? "porosity.frac, line " + std::to_string(c.line) + ": " : "porosity.frac";
  expect_rejected(o, where, c.words);
}

INSTANTIATE_TEST_SUITE_P(Fractal, BadPorosityFile, ::testing::ValuesIn(frac_cases()),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- the reference files, read in the first case by every run ----

struct ReferenceCase {
  const char* file;
  int keep;             // lines kept; -1 removes the file
  const char* replace;  // text of the last kept line when not null
  const char* words;
};

class BadReferenceFile : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(BadReferenceFile, EndsWithStatus2NamingTheFile) {
  const ReferenceCase c = GetParam();
  const std::string dir = example_dir("shaley_sand");
  const std::string path = dir + "/" + c.file;
  if (c.keep < 0) {
    std::filesystem::remove(path);
  } else {
    std::vector<std::string> lines = split_lines(read_file(path));
    lines.resize(static_cast<std::size_t>(c.keep));
    if (c.replace != nullptr) lines.back() = c.replace;
    write_file(path, join_lines(lines));
  }
  const RunResult o = run_program(dir, read_file(dir + "/deck"));
  expect_rejected(o, c.file, c.words);
}

std::string reference_name(const ::testing::TestParamInfo<ReferenceCase>& p) {
  std::string n = p.param.file;
  n += p.param.keep < 0 ? "_missing" : "_keep" + std::to_string(p.param.keep);
  if (p.param.replace != nullptr) n += "_text";
  return n;
}

INSTANTIATE_TEST_SUITE_P(
    ShaleySand, BadReferenceFile,
    ::testing::Values(
        ReferenceCase{"elast_coef_sand", -1, nullptr, "cannot open the file for reading"},
        ReferenceCase{"elast_coef_sand", 0, nullptr, "the input ends after line 0"},
        ReferenceCase{"elast_coef_sand", 9, nullptr, "the input ends after line 9"},
        ReferenceCase{"elast_coef_sand", 4, "mu13",
                      "elast_coef_sand, line 4: a real number expected"},
        ReferenceCase{"b11_b22_b12_sand", -1, nullptr, "cannot open the file for reading"},
        ReferenceCase{"b11_b22_b12_sand", 0, nullptr, "the input ends after line 0"},
        ReferenceCase{"b11_b22_b12_sand", 3, nullptr, "the input ends after line 3"},
        ReferenceCase{"b11_b22_b12_sand", 2, "1.0e-3x",
                      "b11_b22_b12_sand, line 2: a real number expected"}),
    reference_name);

// ---- standard input that is no deck ----

TEST(NotADeck, EmptyStandardInputNamesTheFirstValue) {
  const std::string dir = example_dir("permafrost");
  const RunResult o = run_program(dir, "");
  expect_rejected(o, "standard input: ", "the input ends after line 0, before the value of freq");
}

TEST(NotADeck, BlankLinesOnlyEndBeforeTheFirstValue) {
  const std::string dir = example_dir("permafrost");
  const RunResult o = run_program(dir, "\n   \n\t\n\n");
  expect_rejected(o, "standard input: ", "the input ends after line 4, before the value of freq");
}

TEST(NotADeck, OverlongLineIsCutNotOverrun) {
  // A 100000-character first line: only its first item matters, the rest of
  // the line is dropped, and the reader's buffers stay in bounds.
  const std::string dir = example_dir("permafrost");
  const RunResult o = run_program(dir, std::string(100000, '7') + "\n");
  expect_rejected(o, "standard input", "");
}

TEST(NotADeck, BinaryGarbageEndsWithAMessageWhateverTheBytes) {
  // Random bytes, with and without line ends and NUL bytes, from fixed generator states
  // so that a failure can be replayed.
  const std::string dir = example_dir("permafrost");
  for (unsigned draw = 1; draw <= 24; ++draw) {
    std::mt19937 gen(draw);
    std::string bytes(64u << (draw % 8), '\0');
    for (char& ch : bytes) ch = static_cast<char>(gen() & 0xff);
    if (draw % 3 == 0) {
      for (std::size_t i = 0; i < bytes.size(); i += 17) bytes[i] = '\n';
    }
    SCOPED_TRACE("draw " + std::to_string(draw));
    const RunResult o = run_program(dir, bytes);
    expect_rejected(o, "standard input", "");
  }
}

TEST(NotADeck, ValidHeadThenGarbageNamesTheLine) {
  const std::string dir = example_dir("permafrost");
  std::vector<std::string> lines = example_lines("permafrost");
  lines.resize(12);
  lines.push_back(std::string("\x7f\x45\x4c\x46\x02\x01\x01", 7));
  const RunResult o = run_program(dir, join_lines(lines));
  expect_rejected(o, "standard input, line 13: ", "a real number expected for eta(1)");
}

}  // namespace
