// The elastic form of the coefficients reaches every consumer of a run.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <nlohmann/json.hpp>
#include <string>

#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;
using Json = nlohmann::json;
using cplx = std::complex<double>;

cplx pair(const Json& j) { return {j[0].get<double>(), j[1].get<double>()}; }

// On a homogeneous sample plane strain adds mu/3 to each solid's lambda and
// mu13/6 to d3, so every P-wave modulus grows by C55/3 (C55 = mu1 + mu3 +
// mu13 is the same in both forms): the first cell's coefficients, the plate
// tests, every point of a curve and both of its bounds (each at its own
// frequency, so with its own C55), and at low loss the closed-form fast P
// wave. A consumer left in the two-dimensional form misses the C55/3.
TEST(ElasticForm, PlaneStrainAddsAThirdOfC55ToEveryPWaveModulus) {
  const std::string dir = fresh_dir("elastic_form");
  copy_example("shaley_sand", dir);  // one material, one porosity: homogeneous
  const std::string curve = " -q --stiffness full --frequencies 100,1e4";
  ASSERT_EQ(run_with_args(dir, "run deck.toml -o flat" + curve).status, 0);
  ASSERT_EQ(
      run_with_args(dir, "run deck.toml -o strain --elastic-form plane_strain" + curve).status, 0);
  const Json a = Json::parse(read_file(dir + "/flat/results.json"));
  const Json b = Json::parse(read_file(dir + "/strain/results.json"));
  EXPECT_EQ(a["effective"]["elastic_form"], "two_dimensional");
  EXPECT_EQ(b["effective"]["elastic_form"], "plane_strain");
  EXPECT_EQ(b["first_cell_coefficients"]["elastic_form"], "plane_strain");

  const Json &fa = a["first_cell_coefficients"], &fb = b["first_cell_coefficients"];
  auto value = [](const Json& f, const char* name) { return f[name]["value"].get<double>(); };
  const struct {
    const char* name;
    double shift;
  } lame[] = {{"lambda1", value(fa, "mu1") / 3},
              {"lambda3", value(fa, "mu3") / 3},
              {"d3", value(fa, "mu13") / 6}};
  for (const auto& l : lame) {
    EXPECT_NEAR(value(fb, l.name) - value(fa, l.name), l.shift, 1e-12 * value(fa, "lambda1"))
        << l.name;
  }

  auto expect_third = [](double flat, double strain, double c55, const std::string& what) {
    EXPECT_NEAR(strain - flat, c55 / 3, 1e-7 * flat) << what;
  };
  const Json &ea = a["effective"]["stiffness"], &eb = b["effective"]["stiffness"];
  const double c55 = pair(ea["c55"]["modulus_pa"]).real();
  EXPECT_NEAR(pair(eb["c55"]["modulus_pa"]).real(), c55, 1e-10 * c55);
  for (const char* m : {"c33", "c11"}) {
    expect_third(pair(ea[m]["modulus_pa"]).real(), pair(eb[m]["modulus_pa"]).real(), c55, m);
    for (int i = 0; i < 2; ++i) {
      const double point_c55 = pair(a["curves"]["c55"]["modulus_pa"][i]).real();
      expect_third(pair(a["curves"][m]["modulus_pa"][i]).real(),
                   pair(b["curves"][m]["modulus_pa"][i]).real(), point_c55,
                   std::string(m) + " point " + std::to_string(i));
    }
    for (const char* end : {"relaxed_pa", "unrelaxed_pa"}) {
      expect_third(a["bounds"][m][end], b["bounds"][m][end], a["bounds"]["c55"][end],
                   std::string(m) + " " + end);
    }
  }

  // M = rho / z^2 of the fast P wave, at 100 Hz within 1e-5 of C33.
  auto fast_p = [](const Json& r) {
    const cplx z = pair(r["plane_waves"]["compressional"][0]["slowness_s_per_m"]);
    return (r["effective"]["density_kg_per_m3"].get<double>() / (z * z)).real();
  };
  EXPECT_NEAR(fast_p(b) - fast_p(a), c55 / 3, 1e-5 * fast_p(a));
}

// The deck's [run] elastic_form chooses the same form as the command line.
TEST(ElasticForm, TheDeckKeyEqualsTheCommandLineFlag) {
  const std::string dir = fresh_dir("elastic_form_key");
  copy_example("shaley_sand", dir);
  std::string deck = read_file(dir + "/deck.toml");
  deck.insert(deck.find("[run]\n") + 6, "elastic_form = \"plane_strain\"\n");
  write_file(dir + "/strain.toml", deck);
  ASSERT_EQ(run_with_args(dir, "run strain.toml -o key -q").status, 0);
  ASSERT_EQ(run_with_args(dir, "run deck.toml -o flag -q --elastic-form plane_strain").status, 0);
  const Json key = Json::parse(read_file(dir + "/key/results.json"))["effective"];
  const Json flag = Json::parse(read_file(dir + "/flag/results.json"))["effective"];
  EXPECT_EQ(key["elastic_form"], "plane_strain");
  EXPECT_EQ(key["stiffness"], flag["stiffness"]);
}

}  // namespace
