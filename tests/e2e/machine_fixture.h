// A fresh simulated machine and working directory for each end-to-end test.
#ifndef VORT64_TESTS_E2E_MACHINE_FIXTURE_H_
#define VORT64_TESTS_E2E_MACHINE_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/process.h"

namespace vort64::e2e {

// What the program prints on a 2.90 machine before anything else, and its
// usage text.
inline constexpr char kVersion[] = "BIOS WMI Version = 2.90\n";
inline constexpr char kUsage[] =
    "Usage:\n"
    "\tVort64.exe /password \"%Password%\" /set   \"%ItemName%=%Value1%,%Value2%,..\"\n"
    "\tVort64.exe /password \"%Password%\" /get   \"%ItemName%\"\n"
    "\tVort64.exe /password \"%Password%\" /show-settings\n"
    "\tVort64.exe /password \"%Password%\" /set   \"current password=%Old%,%ItemName%=%New%\"\n"
    "\tVort64.exe /password \"%Password%\" /clear \"tpm\"\n"
    "\tVort64.exe /password \"%Password%\" /get-default \"%ItemName%\"\n"
    "\tVort64.exe /password \"%Password%\" /set-default \"%ItemName%=%Value%\"\n"
    "\tVort64.exe /password \"%Password%\" /load-factory-default\n"
    "\tVort64.exe /password \"%Password%\" /load-user-default\n"
    "\tVort64.exe /password \"%Password%\" /export-raw-settings FILE.bin\n"
    "\tVort64.exe /password \"%Password%\" /import-raw-settings FILE.bin\n"
    "\tVort64.exe /password \"%Password%\" /export-custom-settings FILE.xml\n"
    "\tVort64.exe /password \"%Password%\" /import-custom-settings FILE.xml [/result-file PATH]\n"
    "\tVort64.exe /password \"%Password%\" /check-custom-settings FILE.xml\n"
    "\tVort64.exe /password \"%Password%\" /get autotest\n"
    "\tVort64.exe /password \"%Password%\" /rotate-password\n"
    "\tVort64.exe /password \"%Password%\"\n"
    "\t/password-file FILE in place of /password \"%Password%\" takes the first line of FILE\n"
    "\t/suspend-bitlocker at the end of a function that writes settings suspends BitLocker for one restart\n"
    "\tVort64.exe --version\n";

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // vort-sim create <machine> <options>; fails the test when it fails. A
  // new machine is a notebook just started: the program's count of refused
  // password calls of an earlier one is gone (see RestartMachine).
  void CreateMachine(const std::vector<std::string>& options = {});
  // vort-sim restart <machine>: one start of the notebook. The Windows build
  // keeps its count of refused password calls under %ProgramData% and tells
  // a start by the system's boot time, which a simulated start does not
  // change: there the start is the count file's removal.
  void RestartMachine();
  // The program's count of refused password calls for the machine, as the
  // file holds it (empty when there is none): in the machine directory, or
  // under %ProgramData% for the Windows build.
  std::string RefusedCallsFile() const;
  // Runs vort64 against the machine. The standard output of a run given
  // "/json" is kept in the suite's JSON outputs directory, which a test after
  // the suite checks against the schema.
  ProcessResult Vort64(const std::vector<std::string>& args, const std::string& input = "");
  // Keeps `output`, a JSON document a run of this test wrote, in the suite's
  // JSON outputs directory.
  void KeepJson(const std::string& output);

  std::vector<uint8_t> ReadMachineFile(const std::string& name) const;
  void WriteMachineFile(const std::string& name, const std::string& content) const;
  std::vector<uint8_t> Options() const { return ReadMachineFile("options.bin"); }
  // `count` bytes of a machine file from `offset`; empty when the file is shorter.
  std::vector<uint8_t> FileBytes(const std::string& file, size_t offset, size_t count) const;
  // The lines of calls.log.
  std::vector<std::string> Calls() const;
  // A file of the working directory, as text (empty when missing); writes one.
  std::string WorkText(const std::string& name) const;
  void WriteWorkText(const std::string& name, const std::string& text) const;

  std::filesystem::path root_;
  std::filesystem::path machine_;
  std::filesystem::path work_;

 private:
  std::string name_;     // the test's name, for the outputs it leaves
  int jsonOutputs_ = 0;  // how many JSON outputs it has left
};

// Whether a command line asks for the JSON answer ("/json" first, any case).
bool AsksForJson(const std::vector<std::string>& args);
// Keeps `output`, a JSON answer of the test `name`, in the JSON outputs
// directory as NAME-N.json.
void KeepJsonOutput(const std::string& name, int n, const std::string& output);

}  // namespace vort64::e2e

#endif  // VORT64_TESTS_E2E_MACHINE_FIXTURE_H_
