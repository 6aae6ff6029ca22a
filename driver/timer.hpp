#pragma once

namespace tp {

// Processor seconds (user plus system) used since the previous call; the
// first call measures from the start of the process.
double timer();

}  // namespace tp
