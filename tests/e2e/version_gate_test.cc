// The program against machines whose firmware it must refuse, and machines
// whose files are damaged: it ends at the version gate, never crashes.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

constexpr char kNotSupported[] = "Not support this BIOS WMI version \n";

using VersionGateTest = MachineTest;

TEST_F(VersionGateTest, MachineWithoutOemStructureIsRefusedWithoutVersionLine) {
  CreateMachine({"--no-oem-structure"});
  const ProcessResult r = Vort64({"/get", "boot mode"});
  EXPECT_EQ(r.exitCode, 104);
  EXPECT_EQ(r.out, kNotSupported);
  EXPECT_EQ(r.err, "");
}

TEST_F(VersionGateTest, MajorVersionsOtherThanTwoAreRefusedAfterTheVersionLine) {
  for (const std::string version : {"1.90", "3.0", "0.56"}) {
    SCOPED_TRACE(version);
    CreateMachine({"--wmi", version});
    const ProcessResult r = Vort64({"/get", "boot mode"});
    EXPECT_EQ(r.exitCode, 104);
    EXPECT_EQ(r.out, "BIOS WMI Version = " + version + "\n" + kNotSupported);
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(VersionGateTest, EveryMinorOfMajorTwoIsAccepted) {
  for (const std::string version : {"2.0", "2.55", "2.90", "2.255"}) {
    SCOPED_TRACE(version);
    CreateMachine({"--wmi", version, "--smbios", "2.1"});
    const ProcessResult r = Vort64({"/?"});
    EXPECT_EQ(r.out.rfind("BIOS WMI Version = " + version + "\n", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find(kNotSupported), std::string::npos);
  }
}

TEST_F(VersionGateTest, DamagedOrMissingMachineReportsAsAFailedSmbiosRead) {
  struct Damage {
    const char* what;
    void (*apply)(const std::filesystem::path& machine);
  };
  const Damage damages[] = {
      {"no DMI file", [](const std::filesystem::path& m) { std::filesystem::remove(m / "DMI"); }},
      {"no entry point", [](const std::filesystem::path& m) { std::filesystem::remove(m / "smbios_entry_point"); }},
      {"DMI cut inside the OEM structure",
       [](const std::filesystem::path& m) {
         // The OEM structure follows types 0, 1 and 3; cutting the file
         // short of the end leaves it, or its string set, incomplete.
         const auto size = std::filesystem::file_size(m / "DMI");
         std::filesystem::resize_file(m / "DMI", size - 8);
       }},
      {"garbage entry point",
       [](const std::filesystem::path& m) { std::filesystem::resize_file(m / "smbios_entry_point", 3); }},
      {"no machine at all", [](const std::filesystem::path& m) { std::filesystem::remove_all(m); }},
  };
  for (const auto& damage : damages) {
    SCOPED_TRACE(damage.what);
    CreateMachine();
    damage.apply(machine_);
    const ProcessResult r = Vort64({"/get", "boot mode"});
    EXPECT_EQ(r.exitCode, 104);
    EXPECT_EQ(r.out, kNotSupported);
  }
}

TEST_F(VersionGateTest, ForcedSmbiosFailureIsRefused) {
  CreateMachine();
  WriteMachineFile("faults", "smbios fail\n");
  const ProcessResult r = Vort64({"/get", "boot mode"});
  EXPECT_EQ(r.exitCode, 104);
  EXPECT_EQ(r.out, kNotSupported);
}

TEST_F(VersionGateTest, DefaultMachineIsCreatedUnderTheStateDirectory) {
  const auto state = root_ / "state";
  const ProcessResult r =
      RunProcess(VORT64_BIN, {"/?"}, {{"XDG_STATE_HOME", state.string()}, {"VORT64_MACHINE", ""}}, work_);
  EXPECT_EQ(r.out.rfind("BIOS WMI Version = 2.90\n", 0), 0u) << r.out << r.err;
  const auto machine = state / "vort64" / "machine";
  for (const char* file : {"DMI", "smbios_entry_point", "options.bin", "defaults.bin"}) {
    EXPECT_TRUE(std::filesystem::exists(machine / file)) << file;
  }
  EXPECT_EQ(std::filesystem::file_size(machine / "options.bin"), 2048u);
  EXPECT_EQ(std::filesystem::file_size(machine / "defaults.bin"), 2048u);
}

}  // namespace
}  // namespace vort64::e2e
