// Checks of what is read out of an option block: the display of a setting
// and the export rows, each against the bytes it was made from.
#ifndef VORT64_FUZZ_BLOCK_VIEWS_H_
#define VORT64_FUZZ_BLOCK_VIEWS_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "base/parsed_request.h"
#include "base/run_context.h"
#include "catalog/catalog.h"

namespace vort64::fuzz {

// FormatSettingValue of the bytes [offset, offset + size) of `block`: the
// kind and text that belong to those bytes and no others.
void CheckFormattedValue(std::wstring_view name, std::span<const uint8_t> block, uint32_t offset, uint32_t size);

// ShowSettingValue of `request.itemName`: "not supported" is the formatted
// value's, and a password is never shown.
void CheckShownValue(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& request,
                     std::span<const uint8_t> block);

// FormatExportValue of the bytes [offset, end): the text of those bytes in
// the setting's export form; for the forms "/set" reads back exactly, the
// value set again gives the same bytes.
void CheckExportValue(const RunContext& ctx, const SettingCatalog& catalog, std::wstring_view name,
                      std::span<const uint8_t> block, uint32_t offset, uint32_t end);

// CollectExportSettings: one row per catalog entry, in catalog order, each
// the export value of its bytes.
void CheckExportRows(const SettingCatalog& catalog, std::span<const uint8_t> block);

}  // namespace vort64::fuzz

#endif  // VORT64_FUZZ_BLOCK_VIEWS_H_
