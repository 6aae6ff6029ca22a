#include "common/structures.hpp"

namespace tp {

bool size_system(System& sys, int nx, int ny) {
  const TableSizes s = table_sizes(nx, ny);
  sys.neq = static_cast<int>(s.neq);
  sys.room = static_cast<int>(s.room);
  bool ok = sys.xnod.resize(static_cast<int>(s.cells), kLocalDofs);
  ok = sys.ia.resize(s.neq + 1) && ok;
  ok = sys.ja.resize(s.room) && ok;
  ok = sys.avec.resize(s.room) && ok;
  ok = sys.rhs_m.resize(s.neq) && ok;
  ok = sys.z.resize(s.neq) && ok;
  return ok;
}

}  // namespace tp
