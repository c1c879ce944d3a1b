#include "app/run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "wmi/scripted_firmware.h"

#if defined(VORT64_SIMULATED)
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim/machine.h"
#include "sim/machine_files.h"
#include "sim/simulated_firmware.h"
#endif

namespace vort64 {
namespace {

struct ProgramRun {
  std::ostringstream out, err;
  std::istringstream input;
  Console console{out, err};
  ScriptedFirmware firmware;

  std::chrono::milliseconds lockLimit = kMachineLockLimit;

  int operator()(std::vector<std::wstring> args) {
    args.insert(args.begin(), L"vort64");
    Process process{console, input, firmware, nullptr, [] {}, nullptr, lockLimit};
    return RunProgram(process, args);
  }
};

TEST(RunProgramTest, ASetOpensOneConnectionAndReadsTheSmbiosTablesOnce) {
  ProgramRun run;
  run.firmware.block.assign(2048, 0);
  EXPECT_EQ(run({L"/password", L"", L"/set", L"boot mode=1"}), kExitSuccess);
  EXPECT_EQ(run.firmware.opens, 1);
  EXPECT_EQ(run.firmware.smbiosReads, 1);
  ASSERT_EQ(run.firmware.calls.size(), 3u);
  EXPECT_EQ(run.firmware.calls[0].method, L"GetBiosOptions");
  EXPECT_EQ(run.firmware.calls[1].method, L"SetBiosOptions");
  EXPECT_EQ(run.firmware.calls[2].method, L"GetBiosOptions");
}

TEST(RunProgramTest, AVersionOtherThanTwoEndsBeforeAnyMethodCall) {
  ProgramRun run;
  run.firmware.wmiMajor = 3;
  EXPECT_EQ(run({L"/password", L"", L"/get", L"boot mode"}), kExitUnsupported);
  EXPECT_EQ(run.out.str(), "BIOS WMI Version = 3.90\nNot support this BIOS WMI version \n");
  EXPECT_TRUE(run.firmware.calls.empty());
}

TEST(RunProgramTest, TheMachineIsLockedForTheWholeRunAndLetGoAtItsEnd) {
  ProgramRun run;
  run.firmware.block.assign(2048, 0);
  EXPECT_EQ(run({L"/password", L"", L"/get", L"boot mode"}), kExitSuccess);
  EXPECT_EQ(run.firmware.lockLimits, std::vector<std::chrono::milliseconds>{std::chrono::seconds(60)});
  EXPECT_FALSE(run.firmware.locked);
}

TEST(RunProgramTest, ARunThatCannotLockTheMachineCallsNothing) {
  const struct {
    LockOutcome outcome;
    std::chrono::milliseconds limit;
    const char* message;
  } kCases[] = {
      {LockOutcome::kTimedOut, std::chrono::milliseconds(250),
       "Another run of the program kept the firmware busy for 250 milliseconds: nothing was done.\n"},
      {LockOutcome::kTimedOut, std::chrono::seconds(60),
       "Another run of the program kept the firmware busy for 60 seconds: nothing was done.\n"},
      {LockOutcome::kFailed, std::chrono::seconds(60),
       "The firmware's lock against other runs could not be taken: nothing was done.\n"},
  };
  for (const auto& c : kCases) {
    ProgramRun run;
    run.firmware.lockOutcome = c.outcome;
    run.lockLimit = c.limit;
    EXPECT_EQ(run({L"/password", L"", L"/set", L"boot mode=1"}), kExitFailed);
    EXPECT_EQ(run.out.str(), "");
    EXPECT_EQ(run.err.str(), c.message);
    EXPECT_EQ(run.firmware.lockLimits, std::vector<std::chrono::milliseconds>{c.limit});
    EXPECT_EQ(run.firmware.opens, 0);
    EXPECT_EQ(run.firmware.smbiosReads, 0);
    EXPECT_TRUE(run.firmware.calls.empty());
  }
}

// The usage words other programs answer with, and the version, need no
// machine: they are answered even where the machine is taken by another run
// and its firmware offers no interface of major 2, with nothing locked,
// opened or read. "/?" and "/h" are answered after the version line.
TEST(RunProgramTest, TheUsageAndTheVersionAreAnsweredBeforeTheMachineIsTaken) {
  const struct {
    const wchar_t* word;
    int exitCode;
    const char* firstLine;
  } cases[] = {
      {L"-h", kExitUsage, "Usage:\n"},
      {L"--help", kExitUsage, "Usage:\n"},
      {L"/help", kExitUsage, "Usage:\n"},
      {L"-?", kExitUsage, "Usage:\n"},
      {L"--version", kExitSuccess, "vort64 " VORT64_VERSION "\n"},
      {L"/version", kExitSuccess, "vort64 " VORT64_VERSION "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.word)));
    ProgramRun run;
    run.firmware.wmiMajor = 3;
    run.firmware.lockOutcome = LockOutcome::kTimedOut;
    EXPECT_EQ(run({c.word}), c.exitCode);
    EXPECT_EQ(run.out.str().substr(0, run.out.str().find('\n') + 1), c.firstLine);
    EXPECT_EQ(run.err.str(), "");
    EXPECT_TRUE(run.firmware.lockLimits.empty());
    EXPECT_EQ(run.firmware.opens, 0);
    EXPECT_EQ(run.firmware.smbiosReads, 0);
  }
  for (const wchar_t* word : {L"/?", L"/h"}) {
    ProgramRun run;
    EXPECT_EQ(run({word}), kExitUsage);
    EXPECT_EQ(run.out.str().rfind("BIOS WMI Version = 2.90\nUsage:\n", 0), 0u) << run.out.str();
    EXPECT_EQ(run.firmware.smbiosReads, 1);
  }
}

#if defined(VORT64_SIMULATED)
// The real simulated machine, with a short limit: a run waits while another
// holds the machine, gives up at the limit with nothing called, and goes on
// once the other run has ended.
TEST(RunProgramTest, ARunWaitsForTheMachineAndGivesUpAtTheLimitHavingCalledNothing) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "vort64-run-lock";
  std::filesystem::remove_all(dir);
  std::string error;
  ASSERT_TRUE(sim::CreateMachine(dir, sim::MachineOptions(), error)) << error;
  const auto callsLog = [&] {
    std::ifstream in(dir / "calls.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::vector<std::wstring> args = {L"vort64", L"/password", L"", L"/set", L"boot mode=1"};
  std::ostringstream out, err;
  std::istringstream input;
  Console console(out, err);
  {
    sim::FileLock other(dir / sim::kRunLockFile);  // another run holds the machine
    ASSERT_EQ(other.Lock(), sim::FileLock::Outcome::kHeld);
    sim::SimulatedFirmware firmware(dir);
    Process process{console, input, firmware, nullptr, [] {}, nullptr, std::chrono::milliseconds(300)};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunProgram(process, args), kExitFailed);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "Another run of the program kept the firmware busy for 300 milliseconds: nothing was done.\n");
    EXPECT_EQ(callsLog(), "");
  }
  sim::SimulatedFirmware firmware(dir);
  Process process{console, input, firmware, nullptr, [] {}, nullptr, std::chrono::milliseconds(300)};
  EXPECT_EQ(RunProgram(process, args), kExitSuccess);
  const std::string calls = callsLog();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 3);
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
}  // namespace vort64
