// The GDI objects of this process under Wine, which counts them for nobody (GetGuiResources
// answers 0 there): read from Wine's own handle table.
#pragma once

#include <cstdint>

namespace vorkel::testing {

// -1 when the table cannot be found or read.
std::int64_t wineGdiObjects();

}  // namespace vorkel::testing
