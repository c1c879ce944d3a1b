#include "wmi/smbios.h"

namespace vort64 {

std::optional<uint8_t> SmbiosStructure::Byte(size_t index) const {
  if (index >= formatted.size()) return std::nullopt;
  return formatted[index];
}

std::optional<std::string_view> SmbiosStructure::String(uint8_t number) const {
  if (number == 0) return std::nullopt;
  size_t pos = 0;
  // The set ends with two zero bytes; an empty set is just those two.
  for (uint8_t n = 1; pos < strings.size() && strings[pos] != 0; ++n) {
    size_t end = pos;
    while (end < strings.size() && strings[end] != 0) ++end;
    if (n == number) {
      return std::string_view(reinterpret_cast<const char*>(strings.data() + pos), end - pos);
    }
    pos = end + 1;
  }
  return std::nullopt;
}

std::optional<SmbiosStructure> FindSmbiosStructure(const RawSmbiosTable& table, uint8_t type) {
  const std::span<const uint8_t> data(table.data);
  size_t offset = 0;
  while (offset < data.size()) {
    if (data.size() - offset < 4) return std::nullopt;
    const size_t length = data[offset + 1];
    if (length < 4 || length > data.size() - offset) return std::nullopt;
    // The string set starts after the formatted area and ends at the first
    // pair of zero bytes.
    const size_t set_start = offset + length;
    size_t pair = set_start;
    while (pair + 1 < data.size() && !(data[pair] == 0 && data[pair + 1] == 0)) ++pair;
    if (pair + 1 >= data.size()) return std::nullopt;
    const size_t next = pair + 2;
    if (data[offset] == type) {
      return SmbiosStructure{data.subspan(offset, length), data.subspan(set_start, next - set_start)};
    }
    offset = next;
  }
  return std::nullopt;
}

namespace {

bool StringsReadable(const RawSmbiosTable& table) { return table.smbiosMajor >= 2 && table.smbiosMinor >= 1; }

std::string_view StringAt(const SmbiosStructure& s, size_t field) {
  const auto number = s.Byte(field);
  if (!number) return {};
  return s.String(*number).value_or(std::string_view());
}

}  // namespace

bool ReadSystemInformation(const RawSmbiosTable& table, SystemInformation& out) {
  const auto s = FindSmbiosStructure(table, kSmbiosSystemInformation);
  if (!s) return false;
  out = {};
  if (StringsReadable(table)) {
    out.productName = StringAt(*s, 5);
    out.serialNumber = StringAt(*s, 7);
  }
  return true;
}

bool ReadChassisInformation(const RawSmbiosTable& table, ChassisInformation& out) {
  const auto s = FindSmbiosStructure(table, kSmbiosChassis);
  if (!s) return false;
  out = {};
  if (StringsReadable(table)) out.assetTag = StringAt(*s, 8);
  return true;
}

std::optional<InterfaceVersion> ReadInterfaceVersion(const RawSmbiosTable& table) {
  const auto s = FindSmbiosStructure(table, kSmbiosWmiInterface);
  if (!s) return std::nullopt;
  const auto major = s->Byte(4);
  const auto minor = s->Byte(5);
  if (!major || !minor) return std::nullopt;
  return InterfaceVersion{*major, *minor};
}

}  // namespace vort64
