// What an option block holds, setting by setting, in the words /get uses:
// for looking at a raw settings file, or at two of them, before importing.
#ifndef VORT64_SIM_BLOCK_VIEW_H_
#define VORT64_SIM_BLOCK_VIEW_H_

#include <cstdint>
#include <span>
#include <string>

#include "catalog/catalog.h"

namespace vort64::sim {

// One line "name: value" per setting of the catalog, in catalog order.
// Passwords are not shown; a value the firmware marks as not supported says
// so.
std::string ShowBlock(const SettingCatalog& catalog, std::span<const uint8_t> block);

// One line "name: value in a -> value in b" per setting whose bytes differ.
std::string DiffBlocks(const SettingCatalog& catalog, std::span<const uint8_t> a, std::span<const uint8_t> b);

}  // namespace vort64::sim

#endif  // VORT64_SIM_BLOCK_VIEW_H_
