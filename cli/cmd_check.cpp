// threephase check DECK: reads and checks a deck and its side files, lists
// every value with its name, SI unit and how it was read, the warnings, and
// what the run will use. Exit 0 if the deck would run, 2 if not.
#include <cstdio>
#include <filesystem>

#include "cli/commands.hpp"
#include "common/input.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "deck/deck_checks.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/run.hpp"

namespace tp {

namespace {

// One line per value: line, name, value and unit, how it was read.
void print_values(const DeckRecord& r) {
  std::printf("Deck values (SI units):\n");
  for (int i = 0; i < r.n; ++i) {
    const DeckEntry& e = r.e[i];
    char how[96];
    if (e.implied) {
      std::snprintf(how, sizeof how, "fixed field \"%s\", 10 implied decimals", e.text);
    } else {
      std::snprintf(how, sizeof how, "%s \"%s\"", e.fixed ? "fixed field" : "free form", e.text);
    }
    std::printf("  line %3d  %-12s = %-24.15G %-6s  %s%s\n", e.line, e.name, e.value, e.unit,
                how, e.used ? "" : "  [not used by the run]");
  }
}

// The sample and the values the run will actually compute with.
void print_run_use(const Deck& d) {
  std::printf("\nThe run will use:\n");
  std::printf("  a sample of %d by %d cells of %.15G m (%.15G m by %.15G m)\n", d.nx, d.ny, d.h,
              d.h * d.nx, d.domain_size);
  std::printf("  the %s model, layer 1's values in every cell (material 1)\n",
              d.key_model == 0 ? "permafrost (ice)" : "shaley-sand");
  if (d.model == 1) {
    std::printf("  the porosity (water proportion) of each cell from porosity.frac\n");
  } else {
    std::printf("  the water proportion %g in every cell\n", kRunWaterProportion);
  }
  std::printf("  one case at %.15G Hz\n", d.freq);
}

int check_command(const std::string& deck_path) {
  static Deck deck;
  static DeckRecord record;
  if (!deck_on_stdin(deck_path)) return kExitBadInput;
  const std::string dir = std::filesystem::path(deck_path).parent_path().string();
  set_input_dir(dir.empty() ? "." : dir.c_str());
  set_exit_style(ExitStyle::check);
  // The reader echoes the deck as the report does: not wanted here.
  std::FILE* sink = std::fopen("/dev/null", "w");
  std::FILE* real_out = std_out().f;
  std_out().f = sink;
  read_deck(deck, &record);
  std_out().f = real_out;
  mark_used_values(record);
  static Warnings warnings;
  deck_warnings(record, warnings);
  // The side files with the readers of the run: the sample's two maps are
  // all they need.
  static Sample sample;
  static ReferenceValues refs;
  if (!sample.matnum.resize(deck.nx, deck.ny) || !sample.phi.resize(deck.nx, deck.ny)) {
    std::fprintf(stderr, "threephase: not enough memory for a grid of %d by %d cells\n",
                 deck.nx, deck.ny);
    return kExitMemory;
  }
  static RunPlan plan;
  plan = legacy_plan(deck);
  read_side_files(plan, sample, refs);
  print_values(record);
  print_run_use(deck);
  std::printf("\n%d warning%s\n", warnings.n, warnings.n == 1 ? "" : "s");
  for (int i = 0; i < warnings.n; ++i) std::printf("  warning: %s\n", warnings.w[i]);
  std::printf("\nThe deck and its side files are readable: the run would start.\n");
  return flushed_status();
}

}  // namespace

void add_check_command(CLI::App& app, CommandContext& ctx) {
  CLI::App* cmd = app.add_subcommand(
      "check", "Read and check DECK and its side files; list every value with its unit and "
               "how it was read, the warnings, and what the run will use");
  static std::string deck;
  add_deck_argument(cmd, deck, "The deck (side files beside it)");
  cmd->callback([&ctx] { ctx.status = check_command(deck); });
}

}  // namespace tp
