// The raw settings file from the command line: a notebook's whole option
// block saved and written back, byte for byte, without moving its clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<uint8_t>;

constexpr size_t kClock = 391;  // date 391-393, time 394-396
constexpr size_t kBootMode = 311;

class RawSettingsTest : public MachineTest {
 protected:
  Bytes WorkFile(const std::string& name) const {
    std::ifstream in(work_ / name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  void WriteWorkFile(const std::string& name, const Bytes& bytes) const {
    std::ofstream(work_ / name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
};

TEST_F(RawSettingsTest, ExportThenImportLeavesTheMachineAsItWasAndNeverMovesTheClock) {
  for (const std::string version : {"2.40", "2.54", "2.55", "2.73", "2.90"}) {
    SCOPED_TRACE(version);
    CreateMachine({"--wmi", version});
    const Bytes before = Options();
    const ProcessResult exported = Vort64({"/password", "", "/export-raw-settings", "saved.bin"});
    EXPECT_EQ(exported.exitCode, 0) << exported.out << exported.err;
    EXPECT_THAT(exported.out, HasSubstr("Get BIOS options success.\n"));
    EXPECT_EQ(WorkFile("saved.bin"), before);

    // The machine moves on, then the saved block comes back.
    ASSERT_EQ(Vort64({"/password", "", "/set", "boot mode=1"}).exitCode, 0);
    const ProcessResult imported = Vort64({"/password", "", "/import-raw-settings", "saved.bin"});
    EXPECT_EQ(imported.exitCode, 0) << imported.out << imported.err;
    EXPECT_THAT(imported.out, HasSubstr("Set BIOS options Success.\n"));
    EXPECT_EQ(Options(), before);

    Bytes sent = before;
    if (version >= "2.55") std::fill(sent.begin() + kClock, sent.begin() + kClock + 6, uint8_t{238});
    EXPECT_EQ(ReadMachineFile("last-sent.bin"), sent);
    const auto calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_THAT(calls.back(), ::testing::StartsWith("SetBiosOptions "));
  }
}

// A raw file from elsewhere (here: random bytes) restores settings, never
// passwords: the firmware's block is read first, every password field is
// sent as the firmware holds it and, from 2.72 on, the flag byte as 0. A
// notebook without passwords gets none; one with passwords keeps them.
TEST_F(RawSettingsTest, ARawFileNeverChangesAPassword) {
  constexpr size_t kFlagByte = 235;
  uint32_t seed = 2024;
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<uint8_t>(seed >> 16);
  };
  for (const std::string version : {"2.50", "2.54", "2.56", "2.71", "2.72", "2.73", "2.79", "2.90"}) {
    for (const bool withPasswords : {false, true}) {
      for (int file = 0; file < 4; ++file) {
        SCOPED_TRACE(version + (withPasswords ? " with passwords, file " : " without passwords, file ") +
                     std::to_string(file));
        Bytes foreign(2048);
        for (auto& b : foreign) b = next();
        WriteWorkFile("foreign.bin", foreign);
        std::vector<std::string> create = {"--wmi", version};
        if (withPasswords) create.insert(create.end(), {"--supervisor-password", "SUP1", "--user-password", "USR1"});
        CreateMachine(create);
        const std::string password = withPasswords ? "SUP1" : "";
        const ProcessResult r = Vort64({"/password", password, "/import-raw-settings", "foreign.bin"});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        const auto calls = Calls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_THAT(calls[0], ::testing::StartsWith("GetBiosOptions "));
        EXPECT_THAT(calls[1], ::testing::StartsWith("SetBiosOptions "));
        if (version >= "2.72") {
          EXPECT_EQ(FileBytes("last-sent.bin", kFlagByte, 1), Bytes{0});
        }
        if (withPasswords) {
          EXPECT_EQ(ReadMachineFile("supervisor-password"), Bytes({'S', 'U', 'P', '1'}));
          EXPECT_EQ(ReadMachineFile("user-password"), Bytes({'U', 'S', 'R', '1'}));
          EXPECT_EQ(Vort64({"/password", "SUP1", "/get", "boot mode"}).exitCode, 0);
        } else {
          EXPECT_FALSE(std::filesystem::exists(machine_ / "supervisor-password"));
          EXPECT_FALSE(std::filesystem::exists(machine_ / "user-password"));
          EXPECT_EQ(Vort64({"/password", "", "/get", "boot mode"}).exitCode, 0);
        }
      }
    }
  }
}

TEST_F(RawSettingsTest, ImportBelow255SendsTheCurrentClockNotTheSavedOne) {
  CreateMachine({"--wmi", "2.40"});
  Bytes saved = Options();
  const Bytes clock(saved.begin() + kClock, saved.begin() + kClock + 6);
  for (size_t i = 0; i < 6; ++i) saved[kClock + i] = static_cast<uint8_t>(i + 1);  // a clock of long ago
  saved[kBootMode] = 1;
  WriteWorkFile("old.bin", saved);
  const ProcessResult r = Vort64({"/password", "", "/import-raw-settings", "old.bin"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  const Bytes sent = ReadMachineFile("last-sent.bin");
  ASSERT_EQ(sent.size(), 2048u);
  EXPECT_EQ(Bytes(sent.begin() + kClock, sent.begin() + kClock + 6), clock);
  EXPECT_EQ(sent[kBootMode], 1);
  EXPECT_EQ(FileBytes("options.bin", kBootMode, 1), Bytes{1});
  EXPECT_EQ(Calls().size(), 2u);  // the current clock read, then the write
}

TEST_F(RawSettingsTest, WrongPasswordOrMissingFolderLeavesFilesAlone) {
  CreateMachine({"--supervisor-password", "secret"});
  const Bytes earlier(100, 42);
  WriteWorkFile("saved.bin", earlier);
  const ProcessResult wrong = Vort64({"/password", "nope", "/export-raw-settings", "saved.bin"});
  EXPECT_EQ(wrong.exitCode, 103);
  EXPECT_THAT(wrong.out, HasSubstr("Error: Incorrect password.\n"));
  EXPECT_EQ(WorkFile("saved.bin"), earlier);

  const ProcessResult nowhere = Vort64({"/password", "secret", "/export-raw-settings", "no-such-folder/saved.bin"});
  EXPECT_EQ(nowhere.exitCode, 103);
  EXPECT_THAT(nowhere.out, HasSubstr("file: no-such-folder/saved.bin open failed. \n\n"));

  const ProcessResult missing = Vort64({"/password", "secret", "/import-raw-settings", "missing.bin"});
  EXPECT_EQ(missing.exitCode, 103);
  EXPECT_THAT(missing.out, HasSubstr("file: missing.bin open failed. \n\n"));
  EXPECT_EQ(Calls().size(), 2u);  // the refused read and the read of the folder-less export
}

TEST_F(RawSettingsTest, FilesOfAnyOtherSizeAreRefusedBeforeTheFirmwareIsCalled) {
  CreateMachine();
  const Bytes before = Options();
  for (const size_t size : {0u, 2047u, 2049u, 100000u}) {
    SCOPED_TRACE(size);
    WriteWorkFile("odd.bin", Bytes(size, 0));
    const ProcessResult r = Vort64({"/password", "", "/import-raw-settings", "odd.bin"});
    EXPECT_EQ(r.exitCode, 103);
    EXPECT_THAT(
        r.out, HasSubstr("file: odd.bin holds " + std::to_string(size) + " bytes, not 2048: nothing was imported. \n"));
  }
  std::filesystem::create_directory(work_ / "folder.bin");
  const ProcessResult folder = Vort64({"/password", "", "/import-raw-settings", "folder.bin"});
  EXPECT_EQ(folder.exitCode, 103);
  EXPECT_THAT(folder.out, HasSubstr("file: folder.bin open failed. \n\n"));
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Options(), before);
}

TEST_F(RawSettingsTest, ForcedOutcomesGiveTheMethodsMessagesAndExitCodes) {
  const struct {
    const char* code;
    const char* getMessage;
    const char* setMessage;
  } cases[] = {
      {"2", "Error: Incorrect password.\n", "Error: Incorrect password.\n"},
      {"3", "Error: Invalid Parameter.\n", "Error: Invalid Parameter.\n"},
      {"8", "Get BIOS options success and reboot required to make function works.\n",
       "Set BIOS options success and reboot required to make function works.\n"},
      {"209", "Incompatible Data Structure. BIOS Setup Data is unexpected.\n",
       "Incompatible Data Structure. BIOS Setup Data is unexpected.\n"},
      {"fail", "Error: WMI method execution failed. ", "Error: WMI method execution failed."},
  };
  CreateMachine();
  WriteWorkFile("good.bin", Options());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    const int expected = std::string(c.code) == "8" ? 0 : 103;
    std::filesystem::remove(work_ / "out.bin");
    WriteMachineFile("faults", std::string("GetBiosOptions ") + c.code + "\n");
    const ProcessResult exported = Vort64({"/password", "", "/export-raw-settings", "out.bin"});
    EXPECT_EQ(exported.exitCode, expected);
    EXPECT_THAT(exported.out, HasSubstr(c.getMessage));
    EXPECT_EQ(std::filesystem::exists(work_ / "out.bin"), expected == 0);

    WriteMachineFile("faults", std::string("SetBiosOptions ") + c.code + "\n");
    const ProcessResult imported = Vort64({"/password", "", "/import-raw-settings", "good.bin"});
    EXPECT_EQ(imported.exitCode, expected);
    EXPECT_THAT(imported.out, HasSubstr(c.setMessage));
  }
}

TEST_F(RawSettingsTest, VortSimShowsWhatARawFileHoldsAndWhatTwoOfThemDiffer) {
  CreateMachine({"--wmi", "2.90"});
  ASSERT_EQ(Vort64({"/password", "", "/export-raw-settings", "before.bin"}).exitCode, 0);
  ASSERT_EQ(Vort64({"/password", "", "/set", "boot mode=1"}).exitCode, 0);
  ASSERT_EQ(Vort64({"/password", "", "/export-raw-settings", "after.bin"}).exitCode, 0);

  const auto sim = [&](std::vector<std::string> args) { return RunProcess(VORT_SIM_BIN, args, {}, work_); };
  const ProcessResult shown = sim({"show", machine_.string(), "--file", (work_ / "after.bin").string()});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_THAT(shown.out, HasSubstr("\nboot mode: 1 (UEFI)\n"));
  EXPECT_THAT(shown.out, HasSubstr("\nwigig: 255 (not supported)\n"));
  EXPECT_THAT(shown.out, HasSubstr("\nset supervisor password: (password, not shown)\n"));
  EXPECT_EQ(sim({"show", machine_.string()}).out, shown.out);  // the machine holds what was exported

  const ProcessResult diff =
      sim({"diff", (work_ / "before.bin").string(), (work_ / "after.bin").string(), "--wmi", "2.90"});
  EXPECT_EQ(diff.exitCode, 0) << diff.err;
  EXPECT_EQ(diff.out, "boot mode: 0 (Legacy) -> 1 (UEFI)\n");

  WriteWorkFile("short.bin", Bytes(100, 0));
  const ProcessResult refused =
      sim({"diff", (work_ / "short.bin").string(), (work_ / "after.bin").string(), "--wmi", "2.90"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_THAT(refused.err, HasSubstr("holds exactly 2048 bytes"));
}

}  // namespace
}  // namespace vort64::e2e
