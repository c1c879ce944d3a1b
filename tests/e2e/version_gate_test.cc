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

// The usage and the version need no firmware: on a machine whose firmware
// offers no interface of major 2 they are answered all the same, with
// nothing called; "/?" and "/h" come after the version check, as ever.
TEST_F(VersionGateTest, TheUsageAndTheVersionAreAnsweredWithoutTheFirmware) {
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;  // empty: the firmware is asked first, and refused
  } cases[] = {
      {{"--help"}, 101, kUsage},
      {{"-h"}, 101, kUsage},
      {{"/help"}, 101, kUsage},
      {{"-?"}, 101, kUsage},
      {{"--help", "/password", "", "/get", "boot mode"}, 101, kUsage},
      {{"--version"}, 0, "vort64 " VORT64_VERSION "\n"},
      {{"/?"}, 104, ""},
      {{"/h"}, 104, ""},
  };
  const struct {
    std::vector<std::string> options;
    std::string refusal;  // what the program says where the firmware is asked
  } machines[] = {
      {{"--wmi", "3.0"}, std::string("BIOS WMI Version = 3.0\n") + kNotSupported},
      {{"--no-oem-structure"}, kNotSupported},
  };
  for (const auto& machine : machines) {
    CreateMachine(machine.options);
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::PrintToString(machine.options) + ::testing::PrintToString(c.args));
      const ProcessResult r = Vort64(c.args);
      EXPECT_EQ(r.exitCode, c.exitCode);
      EXPECT_EQ(r.out, c.out.empty() ? machine.refusal : c.out);
      EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(Calls().empty());
  }
  // Not even a machine that is not there is looked for.
  std::filesystem::remove_all(machine_);
  const ProcessResult r = Vort64({"--help"});
  EXPECT_EQ(r.exitCode, 101);
  EXPECT_EQ(r.out, kUsage);
  EXPECT_EQ(r.err, "");
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
