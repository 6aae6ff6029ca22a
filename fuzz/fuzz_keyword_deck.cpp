// Fuzz target of the keyword deck reader: any bytes must end in a read deck
// or in a one-line refusal naming a line of the input, never in a crash, a
// hang or undefined behaviour. A deck that is read must describe a grid the
// tables hold, and its keyword text must read back to the same text.
//   fuzz/run            (builds and runs every target for a short while)
#include <cstdint>
#include <string>
#include <string_view>

#include "common/stop.hpp"
#include "deck/convert.hpp"

namespace {

int lines_of(std::string_view text) {
  int n = 1;
  for (char c : text) n += c == '\n';
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static tp::Deck d, again;
  tp::RunPlan plan, plan_again;
  tp::DeckError err;
  const int rc = tp::read_keyword_deck(text, d, plan, err);
  if (rc != 0) {
    if (rc != tp::kInputErrorStatus || err.what.empty()) __builtin_trap();
    if (err.what.find('\n') != std::string::npos) __builtin_trap();
    if (err.line < 0 || err.line > lines_of(text) + 1) __builtin_trap();
    return 0;
  }
  if (d.nx < 1 || d.nx > tp::kMaxGridCells || d.ny < 1 || d.ny > tp::kMaxGridCells)
    __builtin_trap();
  if (d.nmat < 1 || d.nmat > tp::kMaxLayers || d.nl(1) + d.nl(2) < 1) __builtin_trap();
  if (!(d.h > 0.0) || !(d.freq > 0.0)) __builtin_trap();
  // Converting loses nothing: the written deck reads back to the same text.
  const std::string written = tp::keyword_deck_text(d, plan);
  if (tp::read_keyword_deck(written, again, plan_again, err) != 0) __builtin_trap();
  if (tp::keyword_deck_text(again, plan_again) != written) __builtin_trap();
  return 0;
}
