// The side files of a run: the reference files, whose values the report
// only echoes, are needed by the legacy run alone (which names the folder
// it searched and what a missing one holds); a porosity file written with
// values wider than 12 columns, as NumPy's savetxt writes them, is read
// whole by a keyword deck's run and named as cut by the legacy run.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "deck/keyword_testing.hpp"
#include "support/report.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

using namespace tp::testing;

namespace {

// examples/<name> copied into a fresh folder.
std::string example_copy(const std::string& name, const std::string& tag) {
  const std::string dir = fresh_dir(tag);
  copy_example(name, dir);
  return dir;
}

std::string legacy_deck(const std::string& name) {
  return read_file(source_path("examples/" + name + "/deck"));
}

// The porosity file rewritten as NumPy's savetxt writes it: every value as
// "%.18e", 24 columns.
void write_as_savetxt(const std::string& path) {
  std::istringstream in(read_file(path));
  std::string line, out;
  char wide[64];
  while (std::getline(in, line)) {
    std::snprintf(wide, sizeof wide, "%.18e\n", std::stod(line));
    out += wide;
  }
  write_file(path, out);
}

}  // namespace

TEST(SideFiles, KeywordRunNeedsNoReferenceFilesAndLegacyRunNamesTheFolderAndWhatTheFileHolds) {
  const std::string with = example_copy("permafrost", "refs_present");
  const std::string without = example_copy("permafrost", "refs_absent");
  std::filesystem::remove(without + "/elast_coef_sand");
  std::filesystem::remove(without + "/b11_b22_b12_sand");

  const RunResult present = run_program(with, keyword_example("permafrost"));
  const RunResult absent = run_program(without, keyword_example("permafrost"));
  ASSERT_EQ(absent.status, 40) << absent.err;
  // The built-in values are the bundled files': the report is the same.
  EXPECT_EQ(without_running_time(absent.out), without_running_time(present.out));
  EXPECT_EQ(read_file(without + "/vp_eq.phiw"), read_file(with + "/vp_eq.phiw"));

  const RunResult legacy = run_program(without, legacy_deck("permafrost"));
  EXPECT_EQ(legacy.status, 2);
  const std::string folder = std::filesystem::canonical(without).string();
  EXPECT_NE(legacy.err.find("threephase: elast_coef_sand: cannot open the file for reading: the "
                            "folder " +
                            folder),
            std::string::npos)
      << legacy.err;
  EXPECT_NE(legacy.err.find("reference elastic values of a known sand"), std::string::npos)
      << legacy.err;
}

TEST(SideFiles, SavetxtPorosityIsReadWholeByAKeywordRunAndNamedAsCutByTheLegacyRun) {
  const std::string plain = example_copy("fractal", "porosity_e12");
  const std::string wide = example_copy("fractal", "porosity_savetxt");
  write_as_savetxt(wide + "/porosity.frac");

  const RunResult reference = run_program(plain, keyword_example("fractal"));
  const RunResult keyword = run_program(wide, keyword_example("fractal"));
  ASSERT_EQ(keyword.status, 40) << keyword.err;
  ASSERT_EQ(reference.status, 40) << reference.err;
  // The example's values have four decimals: read whole they are the same.
  EXPECT_EQ(read_file(wide + "/vp_eq.phiw"), read_file(plain + "/vp_eq.phiw"));
  EXPECT_EQ(read_file(wide + "/real_stress_map"), read_file(plain + "/real_stress_map"));

  const RunResult legacy = run_program(wide, legacy_deck("fractal"));
  EXPECT_EQ(legacy.status, 2);
  EXPECT_NE(legacy.err.find("porosity.frac, line 1: the porosity of cell (1, 1) = 1.6056 is not "
                            "a porosity between 0 and 1; the value \"1.605600000000000083e-01\" "
                            "runs past column 12"),
            std::string::npos)
      << legacy.err;
}
