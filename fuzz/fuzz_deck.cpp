// Fuzz target of the deck reader: any bytes of a deck must end in a
// read deck or in one of the reader's messages, never in a crash, a hang or
// undefined behaviour.
//   fuzz/run            (builds and runs both targets for a short while)
#include <cstdint>
#include <cstdio>

#include "common/input.hpp"
#include "common/output.hpp"
#include "deck/readata.hpp"
#include "fuzz/stops.hpp"

namespace {

tp::Deck d;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The echo goes nowhere; the deck comes from the input bytes.
  static std::FILE* sink = std::fopen("/dev/null", "w");
  tp::std_out().f = sink;
  tp::LineSource deck;
  tp::open_text_source(deck, reinterpret_cast<const char*>(data), size, "standard input");
  if (deck.f == nullptr) return 0;
  try {
    tp::readata(deck, d);
    // A deck that is read must describe a grid the tables can be sized for.
    if (d.nx < 1 || d.nx > tp::kMaxGridCells || d.ny < 1 || d.ny > tp::kMaxGridCells) {
      __builtin_trap();
    }
    if (!tp::table_sizes(d.nx, d.ny).fits) __builtin_trap();
    if (!(d.h > 0.0) || !(d.freq > 0.0)) __builtin_trap();
  } catch (const tp::RunEnded&) {
  }
  tp::close_source(deck);
  return 0;
}
