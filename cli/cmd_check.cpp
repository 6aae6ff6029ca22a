// threephase check DECK: reads and checks a deck and its side files, lists
// every value with its name, SI unit and how it was read, the warnings, and
// what the run will use. Exit 0 if the deck would run, 2 if not, 3 if it would pass the memory
// limit.
#include <cstdio>
#include <filesystem>

#include "cli/commands.hpp"
#include "common/capacity.hpp"
#include "common/input.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "deck/deck_checks.hpp"
#include "deck/deck_fields.hpp"
#include "deck/deck_file.hpp"
#include "deck/keyword_checks.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/memory_check.hpp"
#include "driver/solve_mumps.hpp"
#include "driver/stages.hpp"

namespace tp {

namespace {

// One line per value: line, name, value and unit, how it was read.
void print_values(const DeckRecord& r, DeckForm form) {
  std::printf("Deck values (SI units):\n");
  for (int i = 0; i < r.n; ++i) {
    const DeckEntry& e = r.e[i];
    char how[96];
    if (form == DeckForm::keyword) {
      std::snprintf(how, sizeof how, "keyword \"%s\"", e.text);
    } else if (e.implied) {
      std::snprintf(how, sizeof how, "fixed field \"%s\", 10 implied decimals", e.text);
    } else {
      std::snprintf(how, sizeof how, "%s \"%s\"", e.fixed ? "fixed field" : "free form", e.text);
    }
    std::printf("  line %3d  %-12s = %-24.15G %-6s  %s%s\n", e.line, e.name, e.value, e.unit, how,
                e.used ? "" : "  [not used by the run]");
  }
}

// The water fraction of the cells as the plan gives it.
void print_porosity(const Deck& d, const RunPlan& plan) {
  if (plan.porosity == PorositySource::file) {
    std::printf("  the porosity (water proportion) of each cell from %s\n",
                plan.porosity_file.c_str());
  } else if (plan.porosity == PorositySource::by_layer) {
    std::printf("  the porosity of each cell: the water proportion of its layer\n");
  } else {
    std::printf("  the water proportion %.15G in every cell\n", plan.porosity_value);
  }
  std::printf("  the water proportion of each layer (the .phiw tables take layer 1's):");
  for (int i = 1; i <= d.nmat; ++i) std::printf(" %.15G", plan.water(i));
  std::printf("\n");
}

// The sample and what the run will actually compute with: the plan of the
// deck and the solver it will choose.
void print_run_use(const Deck& d, const RunPlan& plan, bool mumps) {
  std::printf("\nThe run will use:\n");
  std::printf("  a sample of %d by %d cells of %.15G m (%.15G m by %.15G m)\n", d.nx, d.ny, d.h,
              d.h * d.nx, d.domain_size);
  const char* model = d.key_model == 0 ? "permafrost (ice)" : "shaley-sand";
  if (plan.materials == Materials::uniform) {
    std::printf("  the %s model, layer 1's values in every cell (material 1)\n", model);
  } else {
    std::printf("  the %s model, each row of cells with the values of its layer\n", model);
  }
  print_porosity(d, plan);
  std::printf("  one case at %.15G Hz\n", d.freq);
  std::printf("  the %s sparse solver\n", mumps ? "MUMPS" : "own");
  if (!plan.output.empty())
    std::printf("  the results folder %s (run without -o)\n", plan.output.c_str());
}

// Reads the deck of either form from `text` into deck, plan and record, with
// the warnings of its values; false (message printed) for a keyword deck
// that does not read. A legacy deck that does not read ends the process
// with status 2 through its reader.
bool read_checked_deck(const std::string& path, const std::string& text, DeckForm form, Deck& deck,
                       RunPlan& plan, DeckRecord& record, Warnings& warnings) {
  if (form == DeckForm::keyword) {
    DeckError err;
    if (read_keyword_deck(text, deck, plan, err, &record) != 0) {
      std::fprintf(stderr, "threephase: %s: %s\n", error_place(path.c_str(), err).c_str(),
                   err.what.c_str());
      return false;
    }
    mark_keyword_use(deck, plan, record);
    keyword_warnings(deck, plan, record, warnings);
    return true;
  }
  // The reader echoes the deck as the report does: not wanted here.
  read_legacy_text(text, path.c_str(), deck, false, &record);
  plan = legacy_plan(deck);
  mark_used_values(record);
  deck_warnings(record, warnings);
  return true;
}

int check_command(const std::string& deck_path, const CommandContext& ctx) {
  static Deck deck;
  static DeckRecord record;
  static RunPlan plan;
  static Warnings warnings;
  std::string text, why;
  if (read_deck_file(deck_path.c_str(), text, why) != 0) {
    std::fprintf(stderr, "threephase: %s: %s\n", deck_path.c_str(), why.c_str());
    return kExitBadInput;
  }
  const std::string dir = std::filesystem::path(deck_path).parent_path().string();
  set_input_dir(dir.empty() ? "." : dir.c_str());
  set_exit_style(ExitStyle::check);
  const DeckForm form = deck_form(text);
  if (!read_checked_deck(deck_path, text, form, deck, plan, record, warnings)) return kExitBadInput;
  RunOptions options;
  if (!with_solver_choices(options, ctx)) return kExitBadInput;
  const bool mumps = mumps_chosen(options.solver_request.c_str(), plan.solver, deck);
  // The grid's tables against the 32-bit positions and the memory, before
  // the sample's maps are allocated.
  if (!table_sizes(deck.nx, deck.ny).fits) {
    std::fprintf(stderr,
                 "threephase: the grid: the tables of %d by %d cells pass the 32-bit positions "
                 "of the storage; use a coarser grid\n",
                 deck.nx, deck.ny);
    return kExitBadInput;
  }
  const MemoryVerdict memory = run_memory_verdict(deck, memory_solver(mumps, options.out_of_core));
  if (!memory.fits) {
    std::fprintf(stderr,
                 "threephase: the run of %d by %d cells needs at least %s but the limit is %s: "
                 "it would stop with status 3; use fewer cells along x or y\n",
                 deck.nx, deck.ny, memory_text(memory.need.total).c_str(),
                 memory_text(memory.limit).c_str());
    return kExitMemory;
  }
  // The side files with the readers of the run: the sample's two maps are
  // all they need.
  static Sample sample;
  static ReferenceValues refs;
  if (!sample.matnum.resize(deck.nx, deck.ny) || !sample.phi.resize(deck.nx, deck.ny)) {
    std::fprintf(stderr, "threephase: not enough memory for a grid of %d by %d cells\n", deck.nx,
                 deck.ny);
    return kExitMemory;
  }
  sample.grid.nx = deck.nx;
  sample.grid.ny = deck.ny;
  read_side_files(plan, sample, refs);
  print_values(record, form);
  print_run_use(deck, plan, mumps);
  if (memory.compared) {
    std::printf("  at least %s of memory (the limit is %s)\n",
                memory_text(memory.need.total).c_str(), memory_text(memory.limit).c_str());
  }
  std::printf("\n%d warning%s\n", warnings.n, warnings.n == 1 ? "" : "s");
  for (int i = 0; i < warnings.n; ++i) std::printf("  warning: %s\n", warnings.w[i]);
  std::printf("\nThe deck and its side files are readable: the run would start.\n");
  return flushed_status();
}

}  // namespace

void add_check_command(CLI::App& app, CommandContext& ctx) {
  CLI::App* cmd = app.add_subcommand(
      "check",
      "Read and check DECK and its side files; list every value with its unit and "
      "how it was read, the warnings, and what the run will use");
  static std::string deck;
  add_deck_argument(cmd, deck, "The deck (side files beside it)");
  cmd->callback([&ctx] { ctx.status = check_command(deck, ctx); });
}

}  // namespace tp
