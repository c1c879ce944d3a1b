// The firmware's option methods, above the seam: finding the instance,
// building the parameters, executing, and turning each return code into
// the program's message.
#ifndef VORT64_WMI_FIRMWARE_METHODS_H_
#define VORT64_WMI_FIRMWARE_METHODS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_context.h"
#include "wmi/firmware.h"
#include "wmi/firmware_facts.h"

namespace vort64 {

// The path of the first instance the query finds that has an InstanceName:
// Class.InstanceName="..." with every backslash doubled, at most 259
// characters. Empty when there is none. Returns the status of the query.
Status GetInstancePath(RunContext& ctx, std::wstring_view className, std::wstring_view query, std::wstring& path);

// Finds the instance, puts the in-parameters in order, executes and reads the
// out-parameters in order. True when the method ran and every out-parameter
// was read; the status of the last step stays in ctx.lastResult.
bool CallFirmwareMethod(RunContext& ctx, std::wstring_view className, std::wstring_view methodName,
                        std::wstring_view query, const std::vector<NamedValue>& in,
                        const std::vector<std::wstring>& outNames, std::vector<FirmwareValue>& out);

// The Password parameter for a password held in a NUL-padded field: its
// bytes, zero-filled to 12 or (from interface 2.56 on) 16, as scan codes
// below 2.50. The version is read from the machine's SMBIOS tables at each
// call. Returns the password's length, sent as PasswordLen.
int16_t MakePasswordVariant(RunContext& ctx, std::string_view password, FirmwareValue& variant,
                            uint32_t defaultLength);

// The six operations. Each returns the firmware's ReturnCode, or 1 when the
// method could not be executed, after printing its message.
int32_t GetBiosOptions(RunContext& ctx, std::string_view password, std::span<uint8_t> buffer);
int32_t SetBiosOptions(RunContext& ctx, std::string_view password, std::span<const uint8_t> buffer);
int32_t GetBiosDefaultOptions(RunContext& ctx, std::string_view password, std::span<uint8_t> buffer);
int32_t SetBiosDefaultOptions(RunContext& ctx, std::string_view password, std::span<const uint8_t> buffer);
int32_t LoadBIOSDefault(RunContext& ctx, std::string_view password);
int32_t LoadUserDefault(RunContext& ctx, std::string_view password);

}  // namespace vort64

#endif  // VORT64_WMI_FIRMWARE_METHODS_H_
