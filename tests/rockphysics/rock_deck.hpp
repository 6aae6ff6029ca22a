#pragma once
// The rock-physics stages run on the shared sample decks, with the files
// and reports they leave.
#include <string>
#include <vector>

#include "support/sample.hpp"

namespace tp::testing {

// The driver's elastic or mass stage on the deck, as a run does it: in
// case 1 the reference file is read first (a missing or bad file ends the
// run), then the routine, its report, maps and stops.
void run_e_modulus(const RockDeck& d, CoefficientSet& e);
void run_mass_visco_coef(const RockDeck& d, CoefficientSet& mf);

// Sends the program's standard output to the file "stdout.txt" of the
// working directory, so that a death test's child leaves what it printed
// behind for the parent to read.
void print_to_file();

// The two reference files, with plausible values for a clean sand.
void write_reference_files(const std::string& dir);

// Moves into a fresh directory holding the reference files for the life of
// the object, and back afterwards.
class InFreshDir {
 public:
  explicit InFreshDir(const std::string& tag, bool with_references = true);
  ~InFreshDir();
  const std::string& path() const { return dir_; }
  std::string file(const std::string& name) const;

 private:
  std::string dir_;
  std::string saved_;
};

}  // namespace tp::testing
