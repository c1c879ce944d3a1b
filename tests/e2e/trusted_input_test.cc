// What a file or a command line brings in, as both builds take it: a Value
// read by the text property's rule, a file MSXML refuses refused on Linux
// too, a name from a file that cannot forge a line of any output, an
// argument that is not UTF-8 refused rather than changed into another name,
// and a simulated machine that keeps its secrets from others and from the
// program's own outputs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/machine_fixture.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#endif

namespace vort64::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string File(const std::string& items) {
  return "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\">\n<Category name=\"x\">\n" + items +
         "</Category>\n</Root>\n";
}

std::string Item(const std::string& name, const std::string& value) {
  return "\t<Item name=\"" + name + "\"><Value>" + value + "</Value></Item>\n";
}

// `inside` in Root, within `levels` elements "a" (Root is level 1).
std::string Nested(int levels, const std::string& inside) {
  std::string text = "<Root>";
  for (int i = 0; i < levels; ++i) text += "<a>";
  text += inside;
  for (int i = 0; i < levels; ++i) text += "</a>";
  return text + "</Root>\n";
}

class TrustedInputTest : public MachineTest {};

// A Value's white space at either end is no part of it on either build, as
// MSXML 3.0's text property reads it: the password change whose Value ends
// its line is made, and so are a number and a tag with a referred line end
// or tab.
TEST_F(TrustedInputTest, WhiteSpaceAroundAValueIsNoPartOfIt) {
  CreateMachine({"--supervisor-password", "Zq9#Pw"});
  WriteWorkText("pw.xml", File("\t<Item name=\"current password\"><Value>Zq9#Pw,set supervisor password=N3w#Kk\n"
                               "</Value></Item>\n"));
  const ProcessResult changed = Vort64({"/password", "Zq9#Pw", "/import-custom-settings", "pw.xml"});
  EXPECT_EQ(changed.exitCode, 0) << changed.out << changed.err;
  EXPECT_THAT(WorkText("Result.txt"), HasSubstr("set supervisor password:\t\tPass\r\n"));
  EXPECT_EQ(ReadMachineFile("supervisor-password"), std::vector<uint8_t>({'N', '3', 'w', '#', 'K', 'k'}));
  EXPECT_EQ(Vort64({"/password", "N3w#Kk", "/get", "boot mode"}).exitCode, 0);

  const struct {
    std::string item;
    std::string name;
    std::string shown;  // what /get shows of it afterwards
  } kCases[] = {
      {Item("boot mode", "1&#xA;"), "boot mode", "boot mode: 1\n"},
      {Item("boot mode", "0&#xD;"), "boot mode", "boot mode: 0\n"},
      {Item("boot mode", "1&#x9;"), "boot mode", "boot mode: 1\n"},
      {Item("boot mode", "\n\t\t0\n\t"), "boot mode", "boot mode: 0\n"},
      {Item("asset tag number", "IT0815&#x9;"), "asset tag number", "asset tag number: IT0815\n"},
      {Item("asset tag number", " IT0816\r\n"), "asset tag number", "asset tag number: IT0816\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.item);
    fs::remove(work_ / "Result.txt");
    WriteWorkText("in.xml", File(c.item));
    const ProcessResult r = Vort64({"/password", "N3w#Kk", "/import-custom-settings", "in.xml"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_THAT(WorkText("Result.txt"), HasSubstr(c.name + ":"));
    EXPECT_THAT(WorkText("Result.txt"), HasSubstr("Overall result : Pass\r\n"));
    const ProcessResult shown = Vort64({"/password", "N3w#Kk", "/get", c.name});
    EXPECT_THAT(shown.out, HasSubstr(c.shown)) << shown.out;
  }
}

// Files MSXML 3.0 refuses as not XML, which the Linux build once applied in
// part: both builds refuse them before any call, the import and the check
// alike, and leave no Result.txt.
TEST_F(TrustedInputTest, WhatMsxmlRefusesIsNotXmlOnBothBuilds) {
  CreateMachine();
  const std::string good = Item("wi-fi", "0");
  const struct {
    const char* label;
    std::string content;
  } kCases[] = {
      {"a < in an attribute value",
       File("\t<Item name=\"boot mode\" Description=\"a<b\"><Value>1</Value></Item>\n" + good)},
      {"a byte that is not UTF-8", File(Item("boot mode", "1\xFF") + good)},
      {"a raw U+FFFF", File(Item("asset tag number", "IT\xEF\xBF\xBF") + good)},
      {"-- inside a comment", File("\t<!-- a -- b -->\n" + Item("boot mode", "1") + good)},
      {"version 2.0", "<?xml version='2.0' encoding='UTF-8'?>\n<Root>\n" + Item("boot mode", "1") + good + "</Root>\n"},
      {"an encoding nobody knows",
       "<?xml version='1.0' encoding='x-nobody-knows'?>\n<Root>\n" + Item("boot mode", "1") + good + "</Root>\n"},
      {"UTF-8 declared as UTF-16",
       "<?xml version='1.0' encoding='UTF-16'?>\n<Root>\n" + Item("boot mode", "1") + good + "</Root>\n"},
      {"]]> in a Value", File(Item("boot mode", "1]]>") + good)},
      {"nesting deeper than 256 levels", Nested(299, Item("boot mode", "1") + good)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    fs::remove(work_ / "Result.txt");
    WriteWorkText("in.xml", c.content);
    const auto before = Options();
    for (const char* function : {"/import-custom-settings", "/check-custom-settings"}) {
      SCOPED_TRACE(function);
      const ProcessResult r = Vort64({"/password", "", function, "in.xml"});
      EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
      EXPECT_THAT(r.out, HasSubstr("Error: failed to load XML file.\nin.xml: not XML")) << r.out;
      EXPECT_TRUE(Calls().empty());
      EXPECT_EQ(Options(), before);
      EXPECT_FALSE(fs::exists(work_ / "Result.txt"));
    }
  }
  // 256 levels are XML: the Item whose Value is at the deepest level is
  // applied.
  WriteWorkText("in.xml", Nested(253, "<Item name=\"boot mode\"><Value>1</Value></Item>"));
  const ProcessResult r = Vort64({"/password", "", "/import-custom-settings", "in.xml"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(FileBytes("options.bin", 311, 1), std::vector<uint8_t>{1});
}

#if !defined(_WIN32)
// The largest resident size, in MiB, of a run of vort64 with `args` in the
// working directory: the run is made from a child process of its own, whose
// children's peak is the run's alone.
long PeakMiB(const std::filesystem::path& machine, const std::filesystem::path& workDir,
             const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    RunProcess(VORT64_BIN, args, {{"VORT64_MACHINE", machine.string()}}, workDir);
    rusage usage{};
    if (::getrusage(RUSAGE_CHILDREN, &usage) != 0) ::_exit(255);
    ::_exit(static_cast<int>(std::min<long>(usage.ru_maxrss / 1024 / 4, 254)));  // in units of 4 MiB
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
  return static_cast<long>(WEXITSTATUS(status)) * 4;
}

// The limits hold in bounded time and memory on Linux: a million levels of
// nesting and a file of the largest size of empty elements are each read
// (and refused, or found to hold no Item) within a minute and 384 MiB, in
// this build with its sanitizers too.
TEST_F(TrustedInputTest, TheNestingAndSizeLimitsHoldInBoundedTimeAndMemory) {
  CreateMachine();
  std::string nested;
  for (int i = 0; i < 1000000; ++i) nested += "<a>";
  std::string flat = "<Root>";
  while (flat.size() + 4 + 7 <= (8u << 20)) flat += "<a/>";
  flat += "</Root>";
  flat.resize(8u << 20, ' ');
  const struct {
    const char* label;
    const std::string& content;
    const char* said;
  } kCases[] = {
      {"a million levels", nested, "in.xml: not XML at line 1.\n"},
      {"8 MiB of empty elements", flat, "Error: in.xml holds no Item: nothing was checked.\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    WriteWorkText("in.xml", c.content);
    const std::vector<std::string> args = {"/password", "", "/check-custom-settings", "in.xml"};
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult r = Vort64(args);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
    EXPECT_THAT(r.out + r.err, HasSubstr(c.said));
    EXPECT_LT(took, std::chrono::seconds(60));  // a busy machine, with sanitizers
    const long peak = PeakMiB(machine_, work_, args);
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 384);
  }
}
#endif

// A name or value from a file shows its control characters escaped in every
// output, so that no line can be forged: the Item is invalid (it names no
// setting), and Result.txt, the lines of the import and the check, their
// JSON and the rehearsal each have it on one line.
TEST_F(TrustedInputTest, ANameFromAFileForgesNoLine) {
  CreateMachine();
  const std::string forged = "zz&#10;9 settings: 9 same, x&#10;Overall result : Pass&#10;x";
  const std::string shown = "zz\\x0A9 settings: 9 same, x\\x0Aoverall result : pass\\x0Ax";
  WriteWorkText("in.xml", File(Item(forged, "1") + Item("boot mode", "<![CDATA[1\r]]>") + Item("wi-fi", "0")));
  const ProcessResult imported = Vort64({"/password", "", "/import-custom-settings", "in.xml"});
  EXPECT_EQ(imported.exitCode, 103) << imported.out << imported.err;
  const std::string result = WorkText("Result.txt");
  EXPECT_THAT(result, HasSubstr("\r\n" + shown +
                                ":\tInvalid Parameter\r\n"
                                "boot mode:\t\t\t\tInvalid Parameter\r\n"
                                "wi-fi:\t\t\t\t\tPass\r\n"));
  EXPECT_THAT(result, Not(HasSubstr("Overall result : Pass")));
  EXPECT_THAT(imported.err, HasSubstr("the first " + shown + " (Invalid Parameter)"));
  EXPECT_THAT(imported.out + imported.err, Not(HasSubstr("\n9 settings")));
  EXPECT_EQ(FileBytes("options.bin", 311, 1), std::vector<uint8_t>{0});  // boot mode stays

  const ProcessResult checked = Vort64({"/password", "", "/check-custom-settings", "in.xml"});
  EXPECT_EQ(checked.exitCode, 1) << checked.out << checked.err;
  EXPECT_THAT(checked.out, HasSubstr("\n" + shown + ": Invalid Parameter\nboot mode: Invalid Parameter\n"));
  EXPECT_THAT(checked.out, HasSubstr("\n3 settings: 1 same, 0 differ, 0 not supported, 2 invalid\n"));

  const ProcessResult json = Vort64({"/json", "/password", "", "/check-custom-settings", "in.xml"});
  const auto doc = nlohmann::json::parse(json.out);
  ASSERT_EQ(doc["settings"].size(), 3u);
  EXPECT_EQ(doc["settings"][0]["state"], "invalid");
  EXPECT_EQ(doc["counts"]["settings"], 3);

  const ProcessResult rehearsed =
      RunProcess(VORT_SIM_BIN, {"rehearse", "in.xml", "--wmi", "2.90"},
                 {{"TMPDIR", root_.string()}, {"TMP", root_.string()}, {"TEMP", root_.string()}}, work_);
  EXPECT_EQ(rehearsed.exitCode, 1) << rehearsed.out << rehearsed.err;
  EXPECT_THAT(rehearsed.out, HasSubstr(shown));
  EXPECT_THAT(rehearsed.out, Not(HasSubstr("\n9 settings")));
  EXPECT_THAT(rehearsed.out, Not(HasSubstr("\noverall result")));
}

#if !defined(_WIN32)
// An argument that is not UTF-8 is refused with its position (exit code 101)
// before anything is done; it is never taken as the name it would become
// with U+FFFD in place of its bad bytes.
TEST_F(TrustedInputTest, AnArgumentThatIsNotUtf8IsRefused) {
  CreateMachine();
  ASSERT_EQ(Vort64({"/password", "", "/export-raw-settings", "z\xEF\xBF\xBD.bin"}).exitCode, 0);
  WriteWorkText("in.xml", File(Item("boot mode", "1")));
  WriteWorkText("pw\xEF\xBF\xBD.txt", "\n");
  const struct {
    std::vector<std::string> args;
    int position;
  } kCases[] = {
      {{"/password", "", "/export-raw-settings", "a\xFF.bin"}, 4},
      {{"/password", "", "/export-raw-settings", "a\xC3.bin"}, 4},
      {{"/password", "", "/import-raw-settings", "z\xFF.bin"}, 4},
      {{"/password-file", "pw\xFF.txt", "/get", "boot mode"}, 2},
      {{"/password", "", "/import-custom-settings", "in\xFF.xml"}, 4},
      {{"/password", "", "/import-custom-settings", "in.xml", "/result-file", "r\xFF.txt"}, 6},
      {{"/password", "", "/set", "boot mode=\xC0\xB1"}, 4},
      {{"/json", "/password", "", "/export-custom-settings", "s\xFF.xml"}, 5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args.back());
    const auto before = Options();
    const auto calls = Calls();
    const auto files = std::distance(fs::directory_iterator(work_), fs::directory_iterator());
    const ProcessResult r = Vort64(c.args);
    EXPECT_EQ(r.exitCode, 101) << r.out << r.err;
    EXPECT_EQ(r.err, "Argument " + std::to_string(c.position) + " is not valid UTF-8: nothing was done.\n");
    if (c.args[0] == "/json") {
      const auto doc = nlohmann::json::parse(r.out);
      EXPECT_EQ(doc["exitCode"], 101);
      EXPECT_EQ(doc["function"], nullptr);
    } else {
      EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Calls(), calls);
    EXPECT_EQ(Options(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(work_), fs::directory_iterator()), files);
  }
}

fs::perms Mode(const fs::path& path) { return fs::symlink_status(path).permissions() & fs::perms::mask; }

// A machine's directory is its owner's alone, and so is every file in it
// (calls.log records each call's password): vort-sim create, a run, and the
// twins rehearse keeps. The program writes no output into the machine's
// directory: a result file, an export or the self-test's report there is
// refused before any call (exit code 103), and the machine stays whole.
TEST_F(TrustedInputTest, TheMachineKeepsItsSecrets) {
  CreateMachine({"--supervisor-password", "Sup1"});
  ASSERT_EQ(Vort64({"/password", "Sup1", "/get", "boot mode"}).exitCode, 0);
  const auto expectPrivate = [](const fs::path& dir) {
    SCOPED_TRACE(dir.string());
    EXPECT_EQ(Mode(dir), fs::perms::owner_all);
    for (const auto& e : fs::directory_iterator(dir)) {
      EXPECT_EQ(Mode(e.path()), fs::perms::owner_read | fs::perms::owner_write) << e.path();
    }
  };
  expectPrivate(machine_);
  EXPECT_TRUE(fs::exists(machine_ / "calls.log"));

  WriteWorkText("pw.txt", "Sup1\n");
  fs::permissions(work_ / "pw.txt", fs::perms::owner_read | fs::perms::owner_write);
  WriteWorkText("in.xml", File(Item("boot mode", "1")));
  const ProcessResult kept = RunProcess(
      VORT_SIM_BIN, {"rehearse", "in.xml", "--wmi", "2.90,2.54", "--password-file", "pw.txt", "--keep", "kept"}, {},
      work_);
  EXPECT_EQ(kept.exitCode, 0) << kept.out << kept.err;
  EXPECT_EQ(Mode(work_ / "kept"), fs::perms::owner_all);
  for (const char* version : {"2.90", "2.54"}) {
    EXPECT_EQ(Mode(work_ / "kept" / version), fs::perms::owner_all);
    expectPrivate(work_ / "kept" / version / "twin");
  }

  const std::vector<uint8_t> calls = ReadMachineFile("calls.log");
  const auto before = Options();
  const std::string dir = machine_.string();
  const struct {
    std::vector<std::string> args;
    std::string name;
    fs::path workDir;
  } kCases[] = {
      {{"/password", "Sup1", "/import-custom-settings", "in.xml", "/result-file", dir + "/calls.log"},
       dir + "/calls.log",
       work_},
      {{"/password", "Sup1", "/import-custom-settings", "in.xml", "/result-file", dir + "/supervisor-password"},
       dir + "/supervisor-password",
       work_},
      {{"/password", "Sup1", "/export-raw-settings", dir + "/../machine/options.bin"},
       dir + "/../machine/options.bin",
       work_},
      {{"/password", "Sup1", "/export-custom-settings", dir + "/settings.xml"}, dir + "/settings.xml", work_},
      {{"/password", "Sup1", "/import-custom-settings", fs::absolute(work_ / "in.xml").string()},
       "Result.txt",
       machine_},
      {{"/password", "Sup1", "/get", "autotest"}, "VORT_AutoTestResult.html", machine_},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = RunProcess(VORT64_BIN, c.args, {{"VORT64_MACHINE", dir}}, c.workDir);
    EXPECT_EQ(r.exitCode, 103) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr("file: " + c.name + " is in the directory of the machine's firmware (" + dir +
                                 "): nothing was written. \n"));
    EXPECT_EQ(ReadMachineFile("calls.log"), calls);
    EXPECT_EQ(Options(), before);
    EXPECT_EQ(ReadMachineFile("supervisor-password"), std::vector<uint8_t>({'S', 'u', 'p', '1'}));
  }
  EXPECT_FALSE(fs::exists(machine_ / "settings.xml"));
  EXPECT_FALSE(fs::exists(machine_ / "Result.txt"));
  EXPECT_FALSE(fs::exists(machine_ / "VORT_AutoTestResult.html"));
  expectPrivate(machine_);
}
#endif

}  // namespace
}  // namespace vort64::e2e
