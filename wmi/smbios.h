// Finding structures and their strings in the raw SMBIOS tables.
#ifndef VORT64_WMI_SMBIOS_H_
#define VORT64_WMI_SMBIOS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/interface_version.h"
#include "wmi/firmware.h"

namespace vort64 {

inline constexpr uint8_t kSmbiosSystemInformation = 1;
inline constexpr uint8_t kSmbiosChassis = 3;
inline constexpr uint8_t kSmbiosWmiInterface = 172;  // OEM: WMI interface version

// One structure, wholly inside the table it came from.
struct SmbiosStructure {
  std::span<const uint8_t> formatted;  // from the type byte, `length` bytes
  std::span<const uint8_t> strings;    // the string set, both closing zero bytes included

  uint8_t type() const { return formatted[0]; }
  // A byte of the formatted area; nothing when the area is shorter.
  std::optional<uint8_t> Byte(size_t index) const;
  // String number `number` (1-based) of the set; nothing for 0 or a number
  // past the last string.
  std::optional<std::string_view> String(uint8_t number) const;
};

// The first structure of the given type. The walk never reads past the
// table: a structure that runs past the end, or whose formatted length is
// below the four header bytes, ends it with nothing.
std::optional<SmbiosStructure> FindSmbiosStructure(const RawSmbiosTable& table, uint8_t type);

struct SystemInformation {
  std::string_view productName;
  std::string_view serialNumber;
};
struct ChassisInformation {
  std::string_view assetTag;
};

// The strings of the first type 1 / type 3 structure. False when there is no
// such structure. Strings are read only from SMBIOS 2.1 on (major at least 2
// and minor at least 1); otherwise they stay empty. They point into `table`.
bool ReadSystemInformation(const RawSmbiosTable& table, SystemInformation& out);
bool ReadChassisInformation(const RawSmbiosTable& table, ChassisInformation& out);

// The WMI interface version of the OEM structure (bytes 4 and 5); nothing
// when the structure is missing or too short to hold them.
std::optional<InterfaceVersion> ReadInterfaceVersion(const RawSmbiosTable& table);

}  // namespace vort64

#endif  // VORT64_WMI_SMBIOS_H_
