// threephase convert DECK [--legacy] [-o FILE]: a deck in the other form
// (legacy to keyword, or back with --legacy), through the deck folder's
// converter. Exit 0, or 2 for a deck that cannot be read or converted or an
// output that cannot be written.
#include "cli/commands.hpp"
#include "deck/deck_file.hpp"

namespace tp {

void add_convert_command(CLI::App& app, CommandContext& ctx) {
  CLI::App* cmd = app.add_subcommand(
      "convert",
      "Write DECK in the other form: a legacy deck as a keyword deck that states "
      "what the run uses, or with --legacy a keyword deck as a legacy deck");
  static std::string deck, out;
  static bool to_legacy = false;
  add_deck_argument(cmd, deck, "The deck to convert");
  cmd->add_flag("--legacy", to_legacy, "Convert to the legacy form");
  cmd->add_option("-o,--output", out, "Write to FILE (default: standard output)");
  cmd->callback([&ctx] { ctx.status = convert_command(deck, to_legacy, out); });
}

}  // namespace tp
