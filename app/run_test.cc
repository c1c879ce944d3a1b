#include "app/run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "wmi/scripted_firmware.h"

namespace vort64 {
namespace {

struct ProgramRun {
  std::ostringstream out, err;
  std::istringstream input;
  Console console{out, err};
  ScriptedFirmware firmware;

  int operator()(std::vector<std::wstring> args) {
    args.insert(args.begin(), L"vort64");
    Process process{console, input, firmware};
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

}  // namespace
}  // namespace vort64
