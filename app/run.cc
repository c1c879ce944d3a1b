#include "app/run.h"

#include <string>

#include "base/run_context.h"
#include "catalog/catalog.h"
#include "wmi/smbios.h"

namespace vort64 {
namespace {

constexpr char kNotSupported[] = "Not support this BIOS WMI version \n";

// Closes the firmware connection however the run ends.
class OpenConnection {
 public:
  explicit OpenConnection(Firmware& firmware) : firmware_(firmware) { firmware_.Open(); }
  ~OpenConnection() { firmware_.Close(); }
  OpenConnection(const OpenConnection&) = delete;
  OpenConnection& operator=(const OpenConnection&) = delete;

 private:
  Firmware& firmware_;
};

}  // namespace

int RunProgram(Console& console, const FirmwareFactory& factory, std::span<const std::wstring> args) {
  const std::unique_ptr<Firmware> firmware = factory();
  RunContext ctx(console, *firmware);
  ctx.savedArguments.assign(args.begin(), args.end());

  // A failed connection or SMBIOS read shows later: as a missing OEM
  // structure here, or as failed firmware calls.
  const OpenConnection connection(*firmware);
  RawSmbiosTable smbios;
  firmware->ReadRawSmbiosTable(smbios);

  const auto version = ReadInterfaceVersion(smbios);
  if (!version) {
    console.Say(kNotSupported);
    return kExitUnsupported;
  }
  console.Say("BIOS WMI Version = " + std::to_string(version->major) + "." + std::to_string(version->minor) +
              "\n");
  if (version->major != 2) {
    console.Say(kNotSupported);
    return kExitUnsupported;
  }
  ctx.AcceptVersion(version->minor);

  SettingCatalog catalog;
  BuildSettingCatalog(catalog, ctx.version.major, ctx.version.minor);

  console.Err("This build cannot read the command line yet.\n");
  return kExitUsage;
}

}  // namespace vort64
