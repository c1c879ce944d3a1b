// What the custom-settings import says for each way a setting can end: every
// line of Result.txt ends with the word of what happened, and the overall
// verdict and the exit code say Pass only when every setting was written and
// read back (or is one this machine lacks).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<uint8_t>;

constexpr char kRule[] =
    "===================================Result of each settings==============================\r\n\r\n";

class ImportTruthTest : public MachineTest {
 protected:
  void WriteFile(const std::string& name, const std::string& items) const {
    std::ofstream(work_ / name, std::ios::binary | std::ios::trunc)
        << "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\">\n<Category name=\"x\">\n"
        << items << "</Category>\n</Root>\n";
  }
  static std::string Item(const std::string& name, const std::string& value) {
    return "\t<Item name=\"" + name + "\"><Value>" + value + "</Value></Item>\n";
  }
  // The verdict line and the setting lines of the last block of Result.txt.
  std::string LastBlock() const {
    const std::string all = WorkText("Result.txt");
    const size_t verdict = all.rfind("Overall result : ");
    if (verdict == std::string::npos) return {};
    const size_t rule = all.find(kRule, verdict);
    return all.substr(verdict, all.find("\r\n", verdict) + 2 - verdict) + all.substr(rule + sizeof(kRule) - 1);
  }
  ProcessResult Import(const std::string& file = "in.xml") {
    return Vort64({"/password", "", "/import-custom-settings", file});
  }
};

constexpr char kFail[] = "Overall result : Fail\r\n";
constexpr char kPass[] = "Overall result : Pass\r\n";

TEST_F(ImportTruthTest, EveryLineEndsWithTheWordOfWhatHappened) {
  const struct {
    const char* label;
    const char* faults;
    std::string items;
    int exitCode;
    std::string block;
  } kCases[] = {
      {"a byte the firmware keeps", "stuck 59\n", Item("audio", "0"), 103,
       std::string(kFail) + "audio:\t\t\t\t\tFail\r\n"},
      {"a read refused for the password", "GetBiosOptions 2\n", Item("boot mode", "1") + Item("fast boot", "0"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tIncorrect password\r\nfast boot:\t\t\t\tIncorrect password\r\n"},
      {"a read answered 3", "GetBiosOptions 3\n", Item("boot mode", "1") + Item("fast boot", "0"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tFail\r\nfast boot:\t\t\t\tFail\r\n"},
      {"a read answered 1", "GetBiosOptions 1\n", Item("boot mode", "1"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tFail\r\n"},
      {"a read answered 209", "GetBiosOptions 209\n", Item("boot mode", "1"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tFail\r\n"},
      {"a read that does not execute", "GetBiosOptions fail\n", Item("boot mode", "1"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tFail\r\n"},
      {"no connection", "session fail\n", Item("boot mode", "1"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tFail\r\n"},
      {"a write answered 4", "SetBiosOptions 4\n", Item("boot mode", "1"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tFail\r\n"},
      {"a write answered 5", "SetBiosOptions 5\n", Item("boot mode", "1"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tFail\r\n"},
      {"a write answered an unlisted code", "SetBiosOptions 42\n", Item("boot mode", "1") + Item("fast boot", "0"), 103,
       std::string(kFail) + "boot mode:\t\t\t\tFail\r\nfast boot:\t\t\t\tFail\r\n"},
      {"a password the field refuses", "", Item("set supervisor password", "a b"), 103,
       std::string(kFail) + "set supervisor password:\t\tInvalid Parameter\r\n"},
      {"an alias with a value the parser refuses", "", Item("boot device", "1,2,999"), 103,
       std::string(kFail) + "boot priority order:\t\t\tInvalid Parameter\r\n"},
      {"a name this model lacks", "", Item("gpt partition record", "0") + Item("boot mode", "1"), 0,
       std::string(kPass) + "gpt partition record:\t\t\tNot support\r\nboot mode:\t\t\t\tPass\r\n"},
      {"a name no model has", "", Item("no such setting", "1"), 103,
       std::string(kFail) + "no such setting:\t\t\tInvalid Parameter\r\n"},
      {"the firmware's 255 mark", "", Item("wigig", "255"), 0, std::string(kPass) + "wigig:\t\t\t\t\tNot support\r\n"},
      {"a date that keeps the clock", "", Item("date", "238,238,238") + Item("time", "238:238:238"), 0,
       std::string(kPass) + "date:\t\t\t\t\tPass\r\ntime:\t\t\t\t\tPass\r\n"},
      {"no Item at all", "", "", 103, std::string(kFail)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    CreateMachine();
    WriteMachineFile("faults", c.faults);
    const Bytes before = Options();
    WriteFile("in.xml", c.items);
    std::filesystem::remove(work_ / "Result.txt");
    const ProcessResult r = Import();
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_EQ(LastBlock(), c.block);
    if (c.exitCode != 0) {
      EXPECT_EQ(Options(), before);
    }
    EXPECT_FALSE(std::filesystem::exists(work_ / "ResultTemp.txt"));
  }
}

TEST_F(ImportTruthTest, TheValueIsTheItemsValueElementWhateverComesBeforeIt) {
  CreateMachine();
  ASSERT_EQ(Vort64({"/password", "", "/set", "boot mode=1"}).exitCode, 0);
  WriteFile("in.xml", "\t<Item name=\"boot mode\"><!--1--><?note 1?>\n\t\t<Value>0</Value></Item>\n");
  const ProcessResult r = Import();
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(LastBlock(), std::string(kPass) + "boot mode:\t\t\t\tPass\r\n");
  EXPECT_EQ(FileBytes("options.bin", 311, 1), Bytes{0});
}

TEST_F(ImportTruthTest, ADocumentTypeIsRefusedBeforeAnythingIsApplied) {
  CreateMachine();
  std::ofstream(work_ / "entity.xml", std::ios::binary)
      << "<?xml version='1.0'?>\n<!DOCTYPE Root [<!ENTITY one \"1\">]>\n"
         "<Root><Category name=\"x\"><Item name=\"boot mode\"><Value>&one;</Value></Item></Category></Root>\n";
  const Bytes before = Options();
  const ProcessResult r = Import("entity.xml");
  EXPECT_EQ(r.exitCode, 103);
  EXPECT_THAT(r.out, HasSubstr("Error: failed to load XML file.\nentity.xml: a document type declaration"));
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Options(), before);
  EXPECT_FALSE(std::filesystem::exists(work_ / "Result.txt"));
}

TEST_F(ImportTruthTest, AResultFileThatCannotBeWrittenFailsTheImport) {
  CreateMachine();
  WriteFile("in.xml", Item("boot mode", "1"));
  std::filesystem::create_directory(work_ / "Result.txt");
  const ProcessResult r = Import();
  EXPECT_EQ(r.exitCode, 103);
  EXPECT_THAT(r.out, HasSubstr("Result.txt"));
  EXPECT_TRUE(std::filesystem::is_empty(work_ / "Result.txt"));
}

TEST_F(ImportTruthTest, ADateSentAs238ReadsBackTheSame) {
  CreateMachine();
  const Bytes before = Options();
  const ProcessResult r = Vort64({"/password", "", "/set", "date=238,238,238"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_THAT(r.out, HasSubstr("Comparison result : The same."));
  EXPECT_EQ(Options(), before);
}

// Each layout's export, on a machine as vort-sim makes it (a GPT record of
// zeros, "No Record", included), imports back: Pass on every line but the
// settings the machine marks not supported, and nothing changes.
TEST_F(ImportTruthTest, EveryLayoutsExportImportsBackAsAPass) {
  for (const std::string version : {"2.40", "2.49", "2.55", "2.56", "2.61", "2.65", "2.68", "2.71", "2.72", "2.73",
                                    "2.74", "2.77", "2.78", "2.79", "2.82", "2.85", "2.86", "2.87", "2.89", "2.90"}) {
    SCOPED_TRACE(version);
    CreateMachine({"--wmi", version});
    ASSERT_EQ(Vort64({"/password", "", "/export-custom-settings", "all.xml"}).exitCode, 0);
    const std::string file = WorkText("all.xml");
    const Bytes before = Options();
    std::filesystem::remove(work_ / "Result.txt");
    const ProcessResult r = Import("all.xml");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string block = LastBlock();
    EXPECT_THAT(block, ::testing::StartsWith(kPass));
    size_t items = 0, passes = 0, unsupported = 0, marked = 0;
    for (size_t at = file.find("<Item "); at != std::string::npos; at = file.find("<Item ", at + 1)) ++items;
    for (size_t at = file.find("<Value>255</Value>"); at != std::string::npos;
         at = file.find("<Value>255</Value>", at + 1)) {
      ++marked;
    }
    for (size_t at = block.find("\tPass\r\n"); at != std::string::npos; at = block.find("\tPass\r\n", at + 1)) ++passes;
    for (size_t at = block.find("\tNot support\r\n"); at != std::string::npos;
         at = block.find("\tNot support\r\n", at + 1)) {
      ++unsupported;
    }
    EXPECT_EQ(passes + unsupported, items) << block;
    EXPECT_EQ(unsupported, marked) << block;
    EXPECT_EQ(Options(), before);
  }
}

}  // namespace
}  // namespace vort64::e2e
