// The SMBIOS reader on arbitrary tables, and the simulated machine's entry
// point and DMI files.
//
// Input: a mode byte. Even: SMBIOS major, minor, a structure type, then the
// table. Odd: the entry point's length, the entry point, then the DMI file;
// both are written into a machine directory and read through the simulated
// firmware.
//
// Invariants: a found structure lies wholly inside the table, has the type
// asked for, its formatted length and a string set closed by its first pair
// of zero bytes, and is the first of its type in a walk of the table; its
// strings are inside the set; the system, chassis and version readers agree
// with the structures they read; a table read from a machine directory holds
// the DMI file's first bytes, as many as its entry point announces.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz/check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/temp_dir.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "sim/simulated_firmware.h"
#include "wmi/smbios.h"

namespace vort64::fuzz {
namespace {

// One structure as a plain walk of the table finds it.
struct Walked {
  size_t offset;
  size_t length;  // of the formatted area
  size_t setEnd;  // one past the string set's closing zero pair
};

// Every structure up to the first one that is cut off or malformed, found
// with a search for the zero pair rather than the reader's own loop.
std::vector<Walked> WalkTable(std::span<const uint8_t> data) {
  std::vector<Walked> walked;
  constexpr std::array<uint8_t, 2> kPair = {0, 0};
  size_t offset = 0;
  while (data.size() - offset >= 4) {
    const size_t length = data[offset + 1];
    if (length < 4 || offset + length > data.size()) break;
    const auto set = data.subspan(offset + length);
    const auto pair = std::search(set.begin(), set.end(), kPair.begin(), kPair.end());
    if (pair == set.end()) break;
    const size_t setEnd = offset + length + static_cast<size_t>(pair - set.begin()) + 2;
    walked.push_back({offset, length, setEnd});
    offset = setEnd;
  }
  return walked;
}

const Walked* FirstOfType(const std::vector<Walked>& walked, std::span<const uint8_t> data, uint8_t type) {
  for (const Walked& w : walked) {
    if (data[w.offset] == type) return &w;
  }
  return nullptr;
}

bool Inside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

bool InsideText(std::string_view text, std::span<const uint8_t> whole) {
  const auto* begin = reinterpret_cast<const uint8_t*>(text.data());
  return text.empty() || (begin >= whole.data() && begin + text.size() <= whole.data() + whole.size());
}

// The strings of a set: the NUL-terminated texts before the first empty one.
std::vector<std::string_view> SplitStrings(std::span<const uint8_t> set) {
  std::vector<std::string_view> strings;
  const std::string_view text(reinterpret_cast<const char*>(set.data()), set.size());
  size_t pos = 0;
  while (pos < text.size() && text[pos] != '\0') {
    const size_t end = text.find('\0', pos);
    if (end == std::string_view::npos) break;
    strings.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return strings;
}

void CheckStructure(const SmbiosStructure& s, std::span<const uint8_t> data, const Walked& expected, uint8_t type) {
  FUZZ_CHECK(Inside(s.formatted, data) && Inside(s.strings, data));
  FUZZ_CHECK(s.formatted.data() == data.data() + expected.offset);
  FUZZ_CHECK(s.formatted.size() == expected.length && s.formatted.size() >= 4);
  FUZZ_CHECK(s.type() == type && s.formatted[1] == s.formatted.size());
  FUZZ_CHECK(s.strings.data() == s.formatted.data() + s.formatted.size());
  FUZZ_CHECK(s.strings.data() + s.strings.size() == data.data() + expected.setEnd);
  FUZZ_CHECK(s.strings.size() >= 2 && s.strings[s.strings.size() - 1] == 0 && s.strings[s.strings.size() - 2] == 0);
  for (size_t i = 0; i + 2 < s.strings.size(); ++i) FUZZ_CHECK(!(s.strings[i] == 0 && s.strings[i + 1] == 0));

  for (size_t i = 0; i < s.formatted.size() + 2; ++i) {
    const auto byte = s.Byte(i);
    FUZZ_CHECK(byte.has_value() == (i < s.formatted.size()));
    if (byte) FUZZ_CHECK(*byte == s.formatted[i]);
  }
  const auto strings = SplitStrings(s.strings);
  FUZZ_CHECK(!s.String(0));
  for (size_t n = 1; n <= strings.size() + 2 && n <= 255; ++n) {
    const auto text = s.String(static_cast<uint8_t>(n));
    FUZZ_CHECK(text.has_value() == (n <= strings.size()));
    if (!text) continue;
    FUZZ_CHECK(*text == strings[n - 1] && !text->empty());
    FUZZ_CHECK(InsideText(*text, s.strings));
    FUZZ_CHECK(text->find('\0') == std::string_view::npos);
  }
  FUZZ_CHECK(s.String(255).has_value() == (strings.size() >= 255));
}

// The string a field of the first structure of `type` numbers, as a reader
// must give it.
std::string_view ExpectedString(const RawSmbiosTable& table, const Walked& w, size_t field) {
  if (!(table.smbiosMajor >= 2 && table.smbiosMinor >= 1)) return {};
  if (field >= w.length) return {};
  const uint8_t number = table.data[w.offset + field];
  const auto strings = SplitStrings(std::span(table.data).subspan(w.offset + w.length, w.setEnd - w.offset - w.length));
  if (number == 0 || number > strings.size()) return {};
  return strings[number - 1];
}

void CheckTable(const RawSmbiosTable& table, uint8_t extraType) {
  const std::span<const uint8_t> data(table.data);
  const auto walked = WalkTable(data);

  std::vector<uint8_t> types = {kSmbiosSystemInformation, kSmbiosChassis, kSmbiosWmiInterface, extraType};
  for (const Walked& w : walked) types.push_back(data[w.offset]);
  std::sort(types.begin(), types.end());
  types.erase(std::unique(types.begin(), types.end()), types.end());
  for (const uint8_t type : types) {
    const auto found = FindSmbiosStructure(table, type);
    const Walked* expected = FirstOfType(walked, data, type);
    FUZZ_CHECK(found.has_value() == (expected != nullptr));
    if (found) CheckStructure(*found, data, *expected, type);
  }

  const Walked* system = FirstOfType(walked, data, kSmbiosSystemInformation);
  SystemInformation info{"unset", "unset"};
  FUZZ_CHECK(ReadSystemInformation(table, info) == (system != nullptr));
  if (system) {
    FUZZ_CHECK(info.productName == ExpectedString(table, *system, 5) && InsideText(info.productName, data));
    FUZZ_CHECK(info.serialNumber == ExpectedString(table, *system, 7) && InsideText(info.serialNumber, data));
  }
  const Walked* chassis = FirstOfType(walked, data, kSmbiosChassis);
  ChassisInformation box{"unset"};
  FUZZ_CHECK(ReadChassisInformation(table, box) == (chassis != nullptr));
  if (chassis) FUZZ_CHECK(box.assetTag == ExpectedString(table, *chassis, 8) && InsideText(box.assetTag, data));

  const Walked* oem = FirstOfType(walked, data, kSmbiosWmiInterface);
  const auto version = ReadInterfaceVersion(table);
  FUZZ_CHECK(version.has_value() == (oem != nullptr && oem->length >= 6));
  if (version) FUZZ_CHECK(version->major == data[oem->offset + 4] && version->minor == data[oem->offset + 5]);
}

uint32_t LittleEndian(std::span<const uint8_t> bytes, size_t at, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) value |= uint32_t{bytes[at + i]} << (8 * i);
  return value;
}

// What an entry point announces, by the layout of the two anchors.
std::optional<sim::EntryPoint> ExpectedEntryPoint(std::span<const uint8_t> ep) {
  const auto starts = [&](std::string_view anchor) {
    return ep.size() >= anchor.size() && std::equal(anchor.begin(), anchor.end(), ep.begin());
  };
  if (starts("_SM3_") && ep.size() >= 16) return sim::EntryPoint{ep[7], ep[8], LittleEndian(ep, 12, 4)};
  if (starts("_SM_") && ep.size() >= 24) return sim::EntryPoint{ep[6], ep[7], LittleEndian(ep, 22, 2)};
  return std::nullopt;
}

uint8_t Sum(std::span<const uint8_t> bytes) {
  unsigned sum = 0;
  for (const uint8_t b : bytes) sum += b;
  return static_cast<uint8_t>(sum);
}

// An entry point made for a machine reads back as made, with valid checksums.
void CheckBuiltEntryPoint(uint8_t major, uint8_t minor, uint32_t tableLength) {
  sim::MachineOptions options;
  options.smbiosMajor = major;
  options.smbiosMinor = minor;
  const auto ep = sim::BuildEntryPoint(options, tableLength);
  const auto parsed = sim::ParseEntryPoint(ep);
  FUZZ_CHECK(parsed && parsed->major == major && parsed->minor == minor);
  if (major >= 3) {
    FUZZ_CHECK(ep.size() == 24 && ep[6] == ep.size() && Sum(ep) == 0);
    FUZZ_CHECK(parsed->tableLength == tableLength);
  } else {
    FUZZ_CHECK(ep.size() == 31 && ep[5] == ep.size() && Sum(ep) == 0);
    FUZZ_CHECK(Sum(std::span(ep).subspan(16)) == 0);
    FUZZ_CHECK(parsed->tableLength == std::min<uint32_t>(tableLength, 0xFFFF));
  }
}

void FuzzMachineFiles(FuzzInput& in) {
  const auto ep = in.Bytes(in.Byte());
  const auto dmi = in.Rest();
  const TempDir dir;
  WriteFile(dir.path() / sim::kEntryPointFile, ep);
  WriteFile(dir.path() / sim::kDmiFile, dmi);

  const auto expected = ExpectedEntryPoint(ep);
  const auto parsed = sim::ParseEntryPoint(ToVector(ep));
  FUZZ_CHECK(parsed.has_value() == expected.has_value());
  if (parsed) {
    FUZZ_CHECK(parsed->major == expected->major && parsed->minor == expected->minor);
    FUZZ_CHECK(parsed->tableLength == expected->tableLength);
  }

  sim::SimulatedFirmware firmware(dir.path());
  RawSmbiosTable table{0xEE, 0xEE, {1, 2, 3}};
  const bool read = firmware.ReadRawSmbiosTable(table);
  FUZZ_CHECK(read == parsed.has_value());
  if (read) {
    const size_t length = std::min<size_t>({parsed->tableLength, sim::kSmbiosTableLimit, dmi.size()});
    FUZZ_CHECK(table.smbiosMajor == parsed->major && table.smbiosMinor == parsed->minor);
    FUZZ_CHECK(table.data.size() == length && std::equal(table.data.begin(), table.data.end(), dmi.begin()));
  } else {
    FUZZ_CHECK(table.data.empty());
  }
  CheckTable(table, 0);
}

}  // namespace
}  // namespace vort64::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vort64;
  fuzz::FuzzInput in(data, size);
  const uint8_t mode = in.Byte();
  if (mode & 1) {
    fuzz::FuzzMachineFiles(in);
    return 0;
  }
  RawSmbiosTable table;
  table.smbiosMajor = in.Byte();
  table.smbiosMinor = in.Byte();
  const uint8_t type = in.Byte();
  table.data = fuzz::ToVector(in.Rest());
  fuzz::CheckTable(table, type);
  fuzz::CheckBuiltEntryPoint(table.smbiosMajor, table.smbiosMinor,
                             static_cast<uint32_t>(table.data.size() * 2654435761u));
  return 0;
}
