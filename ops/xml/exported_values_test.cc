// Every value the export writes is one "/set" takes back: given to the
// program's own command line and placed into the block, it gives the bytes
// it was read from. (A date or time keeps the firmware's clock, a password is
// kept, the TPM is not cleared: those are the values the export means.)
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "buffer/assign.h"
#include "catalog/catalog.h"
#include "catalog/password_settings.h"
#include "catalog/setting_kind.h"
#include "cli/parser.h"
#include "cli/test_support.h"
#include "cli/value_parsers.h"
#include "wmi/firmware_facts.h"

namespace vort64 {
namespace {

// What the settings with a format of their own hold in a sample block.
struct Sample {
  uint8_t seed;                    // varies the bytes of every other setting
  std::vector<uint8_t> gpt;        // minute, hour, day, month, year - 2000
  std::vector<uint8_t> bootOrder;  // padded with 255
  std::string assetTag;            // padded with NUL
  std::string ownershipTag;
};

std::vector<uint8_t> SampleBlock(const SettingCatalog& catalog, const Sample& sample) {
  std::vector<uint8_t> block(kSettingsBufferSize, kNotSupported);
  for (const auto& [name, info] : catalog.settings()) {
    for (uint32_t i = 0; i < info.size; ++i) {
      block.at(info.offset + i) = static_cast<uint8_t>((info.offset * 7 + i * 13 + sample.seed) % 256);
    }
  }
  const auto put = [&](std::wstring_view name, const std::vector<uint8_t>& bytes, uint8_t filler) {
    const SettingInfo* info = catalog.FindSetting(name);
    if (info == nullptr) return;
    for (uint32_t i = 0; i < info->size; ++i) block.at(info->offset + i) = i < bytes.size() ? bytes[i] : filler;
  };
  const auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
  put(L"gpt partition record", sample.gpt, 0);
  put(L"boot priority order", sample.bootOrder, kNotSupported);
  put(L"asset tag number", text(sample.assetTag), 0);
  put(L"ownership tag number", text(sample.ownershipTag), 0);
  return block;
}

TEST(ExportedValuesTest, EveryExportedValueSetsTheBytesItWasReadFrom) {
  const Sample kSamples[] = {
      {0, {45, 13, 17, 5, 24}, {19, 1, 7}, "SIM0001", "Owner42"},
      // 2000 was a leap year; a full boot order; tags that fill their field.
      {101,
       {59, 23, 29, 2, 0},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17},
       "ABCDEFGHIJKLMNOPQRSTUV",
       std::string(50, 'z')},
  };
  for (const uint32_t minor :
       {54u, 55u, 56u, 61u, 65u, 68u, 71u, 72u, 73u, 74u, 77u, 78u, 79u, 82u, 85u, 86u, 87u, 89u, 90u}) {
    SCOPED_TRACE(minor);
    SettingCatalog catalog;
    BuildSettingCatalog(catalog, 2, minor);
    for (const Sample& sample : kSamples) {
      const std::vector<uint8_t> block = SampleBlock(catalog, sample);
      std::vector<SettingExportRow> rows;
      CollectExportSettings(catalog, rows, block);
      for (const SettingExportRow& row : rows) {
        if (row.name.empty()) continue;
        // "/set" renames the combined hard-disk passwords of 2.73 to 2.78 to
        // names those layouts lack, so no value reaches them at all.
        if (ClassifyPasswordItem(row.name).kind == PasswordItem::kHddCombined) continue;
        const std::wstring argument = std::wstring(row.name) + L"=" + row.value;
        SCOPED_TRACE(WideToUtf8(argument));
        // 255 is what an export writes for a setting the machine does not
        // support: it is never a value to write, and "/set" refuses it.
        uint8_t plain = 0;
        if (KindOfSetting(row.name) == SettingKind::kByte &&
            CheckPlainValue(row.value, plain) == PlainValue::kNotSupportedMark) {
          EXPECT_EQ(block.at(catalog.FindSetting(row.name)->offset), kNotSupported);
          continue;
        }
        cli_test::Harness run(minor);
        const std::vector<std::wstring> args = {L"vort64", L"/password", L"", L"/set", argument};
        ParsedRequest request;
        if (!ParseCommandLine(run.ctx, catalog, args, request)) {
          ADD_FAILURE() << "\"/set\" refuses the value: " << run.err.str();
          continue;
        }

        const SettingInfo& info = *catalog.FindSetting(row.name);
        const auto first = static_cast<std::ptrdiff_t>(info.offset);
        const auto last = first + static_cast<std::ptrdiff_t>(info.size);
        std::vector<uint8_t> written = block;
        Messages said;
        AssignSettingValue(run.ctx.version, request, written, info.offset, info.offset + info.size, said);

        std::vector<uint8_t> expected(block.begin() + first, block.begin() + last);
        if (row.name == L"date" || row.name == L"time") std::fill(expected.begin(), expected.end(), kDoNotChange);
        if (row.name == L"clear tpm" || row.name == L"clear tpm(tcm)") expected.assign(1, 0);
        EXPECT_EQ(std::vector<uint8_t>(written.begin() + first, written.begin() + last), expected);
      }
    }
  }
}

}  // namespace
}  // namespace vort64
