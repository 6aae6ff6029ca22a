// Fuzz target of the deck reader: any bytes on standard input must end in a
// read deck or in one of the reader's messages, never in a crash, a hang or
// undefined behaviour.
//   fuzz/run            (builds and runs both targets for a short while)
#include <cstdint>
#include <cstdio>

#include "common/output.hpp"
#include "driver/readata.hpp"
#include "fuzz/stops.hpp"

namespace {

struct Deck {
  double freq, freq_max, domain_size, h;
  int n_freq, nx, ny, key_model, model, nmat;
  tp::IntLayers nl;
  tp::RealLayers akf, ro2, eta, ro1, ro3, phi_a, phi_layer, capa_1_0, capa_3_0, s3, rs1, rs3,
      coef_b13, ak_s1, xmu_s1, ak_s3, xmu_s3, ak_air, xmu_air;
};
Deck d;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The echo goes nowhere; the deck comes from the input bytes.
  static std::FILE* sink = std::fopen("/dev/null", "w");
  tp::std_out().f = sink;
  std::FILE* in = size > 0 ? fmemopen(const_cast<std::uint8_t*>(data), size, "r")
                           : std::fopen("/dev/null", "r");
  if (in == nullptr) return 0;
  std::FILE* const saved = stdin;
  stdin = in;
  try {
    tp::readata(d.freq, d.freq_max, d.n_freq, d.domain_size, d.nx, d.ny, d.key_model, d.nmat,
                d.akf, d.ro2, d.eta, d.ro1, d.ro3, d.phi_a, d.phi_layer, d.capa_1_0, d.capa_3_0,
                d.s3, d.rs1, d.rs3, d.coef_b13, d.ak_s1, d.xmu_s1, d.ak_s3, d.xmu_s3, d.ak_air,
                d.xmu_air, d.model, d.h, d.nl);
    // A deck that is read must describe a grid the tables hold.
    if (d.nx < 1 || d.nx > tp::kMaxCells || d.ny < 1 || d.ny > tp::kMaxCells) __builtin_trap();
    if (!(d.h > 0.0) || !(d.freq > 0.0)) __builtin_trap();
  } catch (const tp::fuzz::RunEnded&) {
  }
  stdin = saved;
  std::fclose(in);
  return 0;
}
