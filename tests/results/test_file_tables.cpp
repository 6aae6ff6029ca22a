// The one list of coefficients and the one list of legacy result files:
// every field and every file once, so that no writer can put one
// coefficient's values under another's name or two outputs in one file.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/coefficient_table.hpp"
#include "results/legacy_files.hpp"

namespace tp {
namespace {

TEST(CoefficientTable, EachRowReachesItsOwnFieldWithTheUnitOfItsKind) {
  Coefficients co;
  ASSERT_TRUE(size_coefficients(co, 1, 1));
  // Mark every field of the structure through its own name, then read the
  // marks back through the table.
  RealField* fields[] = {&co.lambda1, &co.lambda3, &co.mu1, &co.mu3, &co.mu13, &co.b1,
                         &co.b2,      &co.m,       &co.d3,  &co.p11, &co.p12,  &co.p13,
                         &co.p22,     &co.p23,     &co.p33, &co.f11, &co.f12,  &co.f22};
  static_assert(sizeof fields / sizeof fields[0] == kCoefficientCount);
  for (int i = 0; i < kCoefficientCount; ++i) (*fields[i])(1, 1) = i;
  std::set<int> seen;
  for (const CoefficientInfo& c : kCoefficientTable) {
    const int mark = static_cast<int>((co.*c.field)(1, 1));
    EXPECT_TRUE(seen.insert(mark).second) << c.name << " shares its field with another row";
    EXPECT_EQ(std::string(c.name), std::string(kCoefficientTable[mark].name))
        << "the rows follow the structure's order";
    const char* unit = c.kind == CoefficientKind::elastic ? "Pa"
                       : c.kind == CoefficientKind::mass  ? "kg/m3"
                                                          : "kg/(m3 s)";
    EXPECT_STREQ(c.unit, unit) << c.name;
    // The mass coefficients enter no quasi-static test: no map.
    EXPECT_EQ(c.legacy_map == nullptr, c.kind == CoefficientKind::mass) << c.name;
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kCoefficientCount));
}

TEST(ResultFileTable, NoTwoOutputsShareAFileAndEveryMapRankIsAFile) {
  std::set<std::string> names;
  for (const ResultFileInfo& f : kResultFileTable) {
    EXPECT_TRUE(names.insert(f.file).second) << f.file;
    EXPECT_EQ(std::string(f.file).find('/'), std::string::npos) << f.file;
  }
  for (int r = 0; r < kCoefficientMaps; ++r) {
    const CoefficientInfo& c = coefficient_of_map(r);
    EXPECT_TRUE(names.insert(c.legacy_map).second) << c.legacy_map;
  }
  // Every unit of ResultFiles is opened through exactly one row.
  static ResultFiles files;
  std::set<const Unit*> units;
  for (const ResultFileInfo& f : kResultFileTable) {
    if (f.member != nullptr) {
      EXPECT_TRUE(units.insert(&(files.*f.member)).second) << f.file;
    }
  }
  EXPECT_EQ(units.size() * sizeof(Unit), sizeof(ResultFiles));
}

}  // namespace
}  // namespace tp
