// How two option blocks differ, setting by setting, in the words /get uses:
// for looking at two raw settings files before importing. (What one block
// holds is the display's ListSettings.)
#ifndef VORT64_SIM_BLOCK_VIEW_H_
#define VORT64_SIM_BLOCK_VIEW_H_

#include <cstdint>
#include <span>
#include <string>

#include "catalog/catalog.h"

namespace vort64::sim {

// One line "name: value in a -> value in b" per setting whose bytes differ.
std::string DiffBlocks(const SettingCatalog& catalog, std::span<const uint8_t> a, std::span<const uint8_t> b);

}  // namespace vort64::sim

#endif  // VORT64_SIM_BLOCK_VIEW_H_
