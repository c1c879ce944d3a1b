// What the program knows of a setting, as a user meets it: the values the
// firmware lists and their labels, the names each interface version gives a
// setting, and values shown as they are typed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Bytes = std::vector<uint8_t>;

constexpr size_t kCamera = 60;  // 2.90: "0 : Disabled, 1 : Enabled"
constexpr char kCameraList[] = "the firmware lists 0 (Disabled), 1 (Enabled)";

class SettingModelTest : public MachineTest {
 protected:
  void SetByte(const std::string& file, size_t at, uint8_t value) const {
    std::vector<uint8_t> bytes = ReadMachineFile(file);
    bytes.at(at) = value;
    WriteMachineFile(file, std::string(bytes.begin(), bytes.end()));
  }
  void WriteItems(const std::string& name, const std::string& items) const {
    WriteWorkText(name, "<?xml version='1.0' encoding='UTF-8'?>\n<Root WMI_version=\"2.90\">\n<Category name=\"x\">\n" +
                            items + "</Category>\n</Root>\n");
  }
  static std::string Item(const std::string& name, const std::string& value) {
    return "\t<Item name=\"" + name + "\"><Value>" + value + "</Value></Item>\n";
  }
  // The method names of calls.log, in order.
  std::vector<std::string> Methods() const {
    std::vector<std::string> methods;
    for (const std::string& line : Calls()) methods.push_back(line.substr(0, line.find(' ')));
    return methods;
  }
};

// A value the firmware does not list is refused before anything is written,
// unless the machine itself holds it, now or in its defaults; a listed value
// also goes by its label.
TEST_F(SettingModelTest, ListedValuesAndLabels) {
  struct Case {
    const char* what;
    std::string item;
    int heldNow, heldAsDefault;  // -1: the machine's own value
    int exitCode;
    std::vector<std::string> methods;
    int cameraAfter;
    std::string err;
  };
  const std::vector<std::string> set = {"GetBiosOptions", "SetBiosOptions", "GetBiosOptions"};
  const Case kCases[] = {
      {"a typo of a value",
       "camera=7",
       -1,
       -1,
       101,
       {"GetBiosOptions", "GetBiosDefaultOptions"},
       1,
       std::string("Invalid value \"7\" of camera: ") + kCameraList + ".\n"},
      {"the label", "camera=Disabled", -1, -1, 0, set, 0, ""},
      {"the label in another case", "Camera=dISABLED", -1, -1, 0, set, 0, ""},
      {"a word that is no label",
       "camera=Off",
       -1,
       -1,
       101,
       {},
       1,
       std::string("Invalid value \"Off\" of camera: ") + kCameraList + "."},
      {"a value the machine holds now", "camera=7", 7, -1, 0, set, 7, ""},
      {"a value the machine holds as default",
       "camera=9",
       -1,
       9,
       0,
       {"GetBiosOptions", "GetBiosDefaultOptions", "SetBiosOptions", "GetBiosOptions"},
       9,
       ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    CreateMachine();
    if (c.heldNow >= 0) SetByte("options.bin", kCamera, static_cast<uint8_t>(c.heldNow));
    if (c.heldAsDefault >= 0) SetByte("defaults.bin", kCamera, static_cast<uint8_t>(c.heldAsDefault));
    const ProcessResult r = Vort64({"/password", "", "/set", c.item});
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_EQ(Methods(), c.methods);
    EXPECT_EQ(FileBytes("options.bin", kCamera, 1), Bytes{static_cast<uint8_t>(c.cameraAfter)});
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_THAT(r.err, HasSubstr(c.err));
    }
  }
}

TEST_F(SettingModelTest, DefaultsRefuseAnUnlistedValueToo) {
  CreateMachine();
  const ProcessResult r = Vort64({"/password", "", "/set-default", "camera=7"});
  EXPECT_EQ(r.exitCode, 101) << r.out << r.err;
  EXPECT_THAT(r.err, HasSubstr(kCameraList));
  EXPECT_EQ(Methods(), (std::vector<std::string>{"GetBiosDefaultOptions", "GetBiosOptions"}));
  EXPECT_EQ(FileBytes("defaults.bin", kCamera, 1), Bytes{1});
}

// In a baseline, an unlisted value is an invalid Item: the check names the
// listed values, the import writes the other settings and fails.
TEST_F(SettingModelTest, BaselinesCatchAnUnlistedValue) {
  CreateMachine();
  WriteItems("base.xml", Item("camera", "7") + Item("wi-fi", "0") + Item("fast boot", "Enabled"));
  const ProcessResult check = Vort64({"/password", "", "/check-custom-settings", "base.xml"});
  EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
  EXPECT_THAT(check.out, HasSubstr(std::string("camera: Invalid Parameter (") + kCameraList + ")\n"));
  EXPECT_THAT(check.out, HasSubstr("wi-fi: 1 (Enabled) -> 0 (Disabled)\n"));
  EXPECT_THAT(check.out, HasSubstr("3 settings: 1 same, 1 differ, 0 not supported, 1 invalid\n"));

  const ProcessResult import = Vort64({"/password", "", "/import-custom-settings", "base.xml"});
  EXPECT_EQ(import.exitCode, 103) << import.out << import.err;
  std::string result = WorkText("Result.txt");
  result.erase(std::remove(result.begin(), result.end(), '\t'), result.end());
  EXPECT_THAT(result, HasSubstr("Overall result : Fail\r\n"));
  EXPECT_THAT(result, HasSubstr("\ncamera:Invalid Parameter\r\n"));
  EXPECT_THAT(result, HasSubstr("\nwi-fi:Pass\r\n"));
  EXPECT_EQ(FileBytes("options.bin", kCamera, 1), Bytes{1});
  EXPECT_EQ(FileBytes("options.bin", 53, 1), Bytes{0});
}

// A typo is not a missing feature: a name no interface version has is
// unknown (invalid in the check, "Invalid Parameter" in the import, refused
// by "/set"), while a name another interface has stays "Not support". Each
// line names the setting the Item reached.
TEST_F(SettingModelTest, TyposAreUnknownAndLinesNameTheSettingReached) {
  CreateMachine();
  WriteItems("base.xml", Item("wifi", "0") + Item("secureboot", "1") + Item("gpt partition record", "0") +
                             Item("boot device", "19,1,7,10") + Item("supervisor password", "DoNotChange"));
  const ProcessResult check = Vort64({"/password", "", "/check-custom-settings", "base.xml"});
  EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
  EXPECT_THAT(check.out, HasSubstr("wifi: unknown setting (nearest: wi-fi, wigig)\n"
                                   "secureboot: unknown setting (nearest: secure boot)\n"
                                   "gpt partition record: Not support\n"
                                   "boot priority order: same\n"
                                   "set supervisor password: same\n"
                                   "5 settings: 2 same, 0 differ, 1 not supported, 2 invalid\n"));

  const ProcessResult import = Vort64({"/password", "", "/import-custom-settings", "base.xml"});
  EXPECT_EQ(import.exitCode, 103) << import.out << import.err;
  std::string result = WorkText("Result.txt");
  result.erase(std::remove(result.begin(), result.end(), '\t'), result.end());
  EXPECT_THAT(result, HasSubstr("Overall result : Fail\r\n"));
  EXPECT_THAT(result, HasSubstr("\r\nwifi:Invalid Parameter\r\nsecureboot:Invalid Parameter\r\n"
                                "gpt partition record:Not support\r\nboot priority order:Pass\r\n"
                                "set supervisor password:Pass\r\n"));

  // Without the typos the same baseline passes on a model that lacks a setting of it.
  WriteItems("fixed.xml", Item("wi-fi", "0") + Item("gpt partition record", "0"));
  EXPECT_EQ(Vort64({"/password", "", "/check-custom-settings", "fixed.xml"}).exitCode, 1);
  EXPECT_EQ(Vort64({"/password", "", "/import-custom-settings", "fixed.xml"}).exitCode, 0);
  EXPECT_EQ(Vort64({"/password", "", "/check-custom-settings", "fixed.xml"}).exitCode, 0);

  const size_t calls = Calls().size();
  const ProcessResult set = Vort64({"/password", "", "/set", "wifi=0"});
  EXPECT_EQ(set.exitCode, 101);
  EXPECT_THAT(set.err, HasSubstr("wifi: unknown setting (nearest: wi-fi, wigig)\n"));
  EXPECT_EQ(Calls().size(), calls);
}

// The names of the README and of older baselines reach the setting on every
// layout that has it under any of its names.
TEST_F(SettingModelTest, AliasesReachEachLayoutsName) {
  struct Case {
    std::string version;
    std::vector<std::string> args;
    size_t offset;  // the byte the command sets
    uint8_t value;
  };
  const Case kCases[] = {
      {"2.90", {"/clear", "tpm"}, 195, 1},
      {"2.56", {"/clear", "tpm"}, 195, 1},
      {"2.90", {"/set", "clear tpm=1"}, 195, 1},
      {"2.90", {"/set", "tcm state=0"}, 194, 0},
      {"2.90", {"/get", "tpm state"}, 0, 0},
      {"2.90", {"/set", "hdd0(opal) password=Opal1"}, 0, 0},
      {"2.74", {"/set", "hdd2 password=Disk1"}, 0, 0},
      {"2.74", {"/set", "hdd3(opal) password=Disk1"}, 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.version + " " + c.args[0] + " " + c.args[1]);
    CreateMachine({"--wmi", c.version, "--supervisor-password", "Sup1"});
    std::vector<std::string> args = {"/password", "Sup1"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = Vort64(args);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    if (c.offset != 0) {
      EXPECT_EQ(FileBytes("options.bin", c.offset, 1), Bytes{c.value});
    }
  }
}

// Values shown for people: a listed value with its label, a MAC address in
// the form "/set" takes, a tag up to its first NUL byte.
TEST_F(SettingModelTest, ValuesAreShownAsTheyAreTyped) {
  CreateMachine({"--asset-tag", ""});
  const ProcessResult list = Vort64({"/password", "", "/show-settings"});
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_THAT(list.out, HasSubstr("\ncamera: 1 (Enabled)\n"));
  EXPECT_THAT(list.out, HasSubstr("\ncustomized mac address: 00-1B-21-3C-4D-5E\n"));
  EXPECT_THAT(list.out, HasSubstr("\nasset tag number: \n"));
  const ProcessResult tag = Vort64({"/password", "", "/get", "asset tag number"});
  EXPECT_EQ(tag.exitCode, 0) << tag.err;
  EXPECT_THAT(tag.out, HasSubstr("asset tag number: \n"));
  EXPECT_EQ(std::count(tag.out.begin(), tag.out.end(), '\0'), 0);
}

}  // namespace
}  // namespace vort64::e2e
