// BitLocker and the settings the firmware's start measures, as an
// administrator meets them: the program on a twin whose system drive
// BitLocker protects, and vort-sim restart standing for the next start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/machine_fixture.h"

#if defined(_WIN32)
// clang-format off
#include <windows.h>
#include <wbemidl.h>
// clang-format on
#endif

namespace vort64::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Json = nlohmann::json;

// Offsets of the 2.90 layout.
constexpr size_t kSecureBoot = 259;
constexpr size_t kWiFi = 53;

constexpr char kWarning[] =
    "BitLocker: C: is protected and settings measured at start changed (secure boot): the next start may ask for the "
    "recovery key.\n";
constexpr char kSuspended[] = "BitLocker: protection of C: suspended for one restart (secure boot changes)\n";
constexpr char kNothingMeasured[] =
    "BitLocker: no setting measured at start changes: the protection of C: was not suspended.\n";

std::string Baseline(const std::vector<std::pair<std::string, std::string>>& items) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root WMI_version=\"2.90\">\n";
  for (const auto& [name, value] : items) xml += "<Item name=\"" + name + "\"><Value>" + value + "</Value></Item>\n";
  return xml + "</Root>\n";
}

class BitLockerTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    CreateMachine({"--bitlocker", "on"});
  }
  // vort-sim restart, then what vort-sim show says of the system drive.
  std::string RestartAndShow() {
    const ProcessResult restart = RunProcess(VORT_SIM_BIN, {"restart", machine_.string()}, {}, work_);
    EXPECT_EQ(restart.exitCode, 0) << restart.err;
    const ProcessResult show = RunProcess(VORT_SIM_BIN, {"show", machine_.string()}, {}, work_);
    EXPECT_EQ(show.exitCode, 0) << show.err;
    return show.out.substr(show.out.find("system drive "));
  }
  // The BitLocker calls the runs made, one a line.
  std::vector<std::string> DriveCalls() const {
    std::ifstream in(machine_ / "system-drive.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // The firmware methods the runs called, without their parameters.
  std::vector<std::string> Methods() const {
    std::vector<std::string> methods;
    for (const std::string& line : Calls()) methods.push_back(line.substr(0, line.find(' ')));
    return methods;
  }
  uint8_t OptionByte(size_t offset) const { return Options().at(offset); }
};

TEST_F(BitLockerTest, ASecureBootChangeWithoutTheSwitchWarnsAndTheNextStartAsksForTheRecoveryKey) {
  const ProcessResult r = Vort64({"/password", "", "/set", "secure boot=0"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.out, HasSubstr(kWarning));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(OptionByte(kSecureBoot), 0);
  EXPECT_EQ(DriveCalls(), std::vector<std::string>{"GetProtectionStatus"});
  EXPECT_EQ(RestartAndShow(),
            "system drive C: BitLocker protection on\nstart 1 asked for the recovery key (secure boot changed)\n");

  // The JSON answer says the same.
  const ProcessResult json = Vort64({"/json", "/password", "", "/set", "secure boot=1"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const Json doc = Json::parse(json.out);
  EXPECT_EQ(doc["bitlocker"]["protection"], "on");
  EXPECT_EQ(doc["bitlocker"]["measured"], Json::array({"secure boot"}));
  EXPECT_EQ(doc["bitlocker"]["recoveryMayBeAsked"], true);
  EXPECT_EQ(doc["bitlocker"]["suspended"], false);
}

TEST_F(BitLockerTest, WithTheSwitchItSuspendsForOneRestartWithoutAnotherFirmwareCall) {
  const ProcessResult r = Vort64({"/password", "", "/set", "secure boot=0", "/suspend-bitlocker"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.out, HasSubstr(kSuspended));
  EXPECT_THAT(r.out, Not(HasSubstr("recovery key")));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(OptionByte(kSecureBoot), 0);
  // The three calls of any /set.
  EXPECT_EQ(Methods(), (std::vector<std::string>{"GetBiosOptions", "SetBiosOptions", "GetBiosOptions"}));
  EXPECT_EQ(DriveCalls(), (std::vector<std::string>{"GetProtectionStatus", "DisableKeyProtectors 1"}));
  EXPECT_EQ(RestartAndShow(), "system drive C: BitLocker protection on\n");  // the start asked nothing

  // Through JSON, and for the raw import and the loads alike.
  const ProcessResult json = Vort64({"/json", "/password", "", "/set", "boot mode=1", "/Suspend-BitLocker"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const Json doc = Json::parse(json.out);
  EXPECT_EQ(doc["bitlocker"]["suspended"], true);
  EXPECT_EQ(doc["bitlocker"]["messages"],
            Json::array({"BitLocker: protection of C: suspended for one restart (boot mode changes)"}));
  EXPECT_EQ(RestartAndShow(), "system drive C: BitLocker protection on\n");

  ASSERT_EQ(Vort64({"/password", "", "/export-raw-settings", "saved.bin"}).exitCode, 0);
  ASSERT_EQ(Vort64({"/password", "", "/load-factory-default", "/suspend-bitlocker"}).exitCode, 0);
  EXPECT_EQ(OptionByte(kSecureBoot), 1);
  EXPECT_EQ(RestartAndShow(), "system drive C: BitLocker protection on\n");
  const ProcessResult raw = Vort64({"/password", "", "/import-raw-settings", "saved.bin", "/suspend-bitlocker"});
  EXPECT_EQ(raw.exitCode, 0) << raw.err;
  EXPECT_THAT(raw.out,
              HasSubstr("BitLocker: protection of C: suspended for one restart (secure boot and boot mode changes)\n"));
  EXPECT_EQ(OptionByte(kSecureBoot), 0);
  EXPECT_EQ(RestartAndShow(), "system drive C: BitLocker protection on\n");
}

TEST_F(BitLockerTest, ACompliantBaselineAndASettingNotMeasuredNeverSuspend) {
  WriteWorkText("baseline.xml", Baseline({{"secure boot", "1"}, {"boot mode", "0"}, {"wi-fi", "1"}}));
  const ProcessResult compliant =
      Vort64({"/password", "", "/import-custom-settings", "baseline.xml", "/suspend-bitlocker"});
  EXPECT_EQ(compliant.exitCode, 0);
  EXPECT_THAT(compliant.out, HasSubstr(kNothingMeasured));
  EXPECT_EQ(compliant.err, "");

  for (const bool suspend : {false, true}) {
    std::vector<std::string> args = {"/password", "", "/set", "wi-fi=0"};
    if (suspend) args.push_back("/suspend-bitlocker");
    const ProcessResult r = Vort64(args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("BitLocker") == std::string::npos, !suspend) << r.out;
  }
  EXPECT_EQ(OptionByte(kWiFi), 0);
  // Not one BitLocker call: nothing measured was about to change.
  EXPECT_TRUE(DriveCalls().empty());
  EXPECT_EQ(RestartAndShow(), "system drive C: BitLocker protection on\n");
}

TEST_F(BitLockerTest, AWriteTheFirmwareRefusesLeavesTheProtectionResumed) {
  WriteMachineFile("faults", "SetBiosOptions 3\n");
  const ProcessResult r = Vort64({"/password", "", "/set", "secure boot=0", "/suspend-bitlocker"});
  EXPECT_EQ(r.exitCode, 103);
  EXPECT_THAT(r.out, HasSubstr(kSuspended));
  EXPECT_THAT(r.out, HasSubstr("BitLocker: protection of C: resumed (the write failed)\n"));
  EXPECT_EQ(DriveCalls(),
            (std::vector<std::string>{"GetProtectionStatus", "DisableKeyProtectors 1", "EnableKeyProtectors"}));
  EXPECT_EQ(OptionByte(kSecureBoot), 1);
  const std::vector<uint8_t> drive = ReadMachineFile("system-drive");
  EXPECT_THAT(std::string(drive.begin(), drive.end()), HasSubstr("suspended-restarts 0\n"));
}

TEST_F(BitLockerTest, WhenTheProtectionCannotBeKnownNoMeasuredSettingIsWritten) {
  const struct {
    const char* faults;
    const char* why;
  } cases[] = {
      {"MicrosoftVolumeEncryption fail\n",
       "could not be read (this Windows has no BitLocker (no namespace "
       "ROOT\\CIMV2\\Security\\MicrosoftVolumeEncryption, WBEM_E_INVALID_NAMESPACE))"},
      {"GetProtectionStatus 2147942405\n", "access denied: the program must run elevated"},
      {"DisableKeyProtectors 2150694912\n", "could not be suspended (the volume is locked (FVE_E_LOCKED_VOLUME))"},
  };
  WriteWorkText("baseline.xml", Baseline({{"secure boot", "0"}, {"wi-fi", "0"}}));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.faults);
    CreateMachine({"--bitlocker", "on"});
    WriteMachineFile("faults", c.faults);
    std::filesystem::remove(work_ / "Result.txt");
    const ProcessResult r = Vort64({"/json", "/password", "", "/import-custom-settings", "baseline.xml", "/result-file",
                                    "Result.txt", "/suspend-bitlocker"});
    EXPECT_EQ(r.exitCode, 103);
    EXPECT_THAT(r.err, HasSubstr(c.why));
    EXPECT_THAT(r.err, HasSubstr("no setting measured at start was written (secure boot changes)"));
    EXPECT_THAT(r.err, HasSubstr("Error: 1 of 2 settings failed, the first secure boot (BitLocker not suspended)"));
    EXPECT_EQ(OptionByte(kSecureBoot), 1);  // left as it was
    EXPECT_EQ(OptionByte(kWiFi), 0);        // written as usual
    EXPECT_THAT(WorkText("Result.txt"), HasSubstr("secure boot:\t\t\t\tBitLocker not suspended"));
    const Json doc = Json::parse(r.out);
    EXPECT_EQ(doc["bitlocker"]["withheld"], true);
    EXPECT_EQ(doc["bitlocker"]["suspended"], false);
    EXPECT_EQ(RestartAndShow(), "system drive C: BitLocker protection on\n");
  }
  // A /set alone says why on standard error.
  const ProcessResult set = Vort64({"/password", "", "/set", "secure boot=0", "/suspend-bitlocker"});
  EXPECT_EQ(set.exitCode, 103);
  EXPECT_THAT(set.err,
              HasSubstr("Error: the system drive's BitLocker protection could not be known or suspended: no setting "
                        "measured at start was written.\n"));
}

TEST_F(BitLockerTest, TheCheckSaysWhenItsRemediationWouldAskForTheRecoveryKey) {
  WriteWorkText("baseline.xml", Baseline({{"secure boot", "0"}, {"wi-fi", "0"}}));
  const ProcessResult r = Vort64({"/password", "", "/check-custom-settings", "baseline.xml"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.out, HasSubstr("2 settings: 0 same, 2 differ, 0 not supported, 0 invalid\n"
                               "BitLocker: C: is protected and the remediation would change settings measured at "
                               "start (secure boot): without /suspend-bitlocker the next start may ask for the "
                               "recovery key.\n"));
  const Json doc = Json::parse(Vort64({"/json", "/password", "", "/check-custom-settings", "baseline.xml"}).out);
  EXPECT_EQ(doc["bitlocker"]["recoveryMayBeAsked"], true);
  // On a drive BitLocker does not protect the check says nothing of it.
  CreateMachine({"--bitlocker", "off"});
  EXPECT_THAT(Vort64({"/password", "", "/check-custom-settings", "baseline.xml"}).out, Not(HasSubstr("BitLocker")));
}

TEST_F(BitLockerTest, TheSwitchGoesOnlyWithAFunctionThatWritesSettings) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"/password", "", "/get", "secure boot", "/suspend-bitlocker"},
           {"/password", "", "/check-custom-settings", "b.xml", "/suspend-bitlocker"},
           {"/password", "", "/set", "secure boot=0", "/suspend-bitlocker", "/suspend-bitlocker"}}) {
    const ProcessResult r = Vort64(args);
    EXPECT_EQ(r.exitCode, 101);
    EXPECT_THAT(r.err, HasSubstr("/suspend-bitlocker"));
  }
  EXPECT_TRUE(Calls().empty());
}

// A Secure Boot baseline rehearsed on every layout with protected twins:
// each start after the import asks for the recovery key, unless the import
// runs with /suspend-bitlocker.
TEST_F(BitLockerTest, ARehearsalNamesTheVersionsWhoseStartWouldAskForTheRecoveryKey) {
  WriteWorkText("secure-boot.xml", Baseline({{"secure boot", "0"}}));
  const std::string every =
      "2.90, 2.89, 2.87, 2.86, 2.85, 2.82, 2.79, 2.78, 2.77, 2.74, 2.73, 2.72, 2.71, 2.68, 2.65, 2.61, 2.56, 2.0";
  for (const bool suspend : {false, true}) {
    SCOPED_TRACE(suspend);
    std::vector<std::string> args = {"rehearse", "secure-boot.xml", "--bitlocker", "on"};
    if (suspend) args.push_back("--suspend-bitlocker");
    const ProcessResult r = RunProcess(VORT_SIM_BIN, args, {}, work_);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    size_t asked = 0;
    for (size_t at = 0; (at = r.out.find("asked for the recovery key (secure boot changed)", at)) != std::string::npos;
         ++at) {
      ++asked;
    }
    EXPECT_EQ(asked, suspend ? 0u : 18u) << r.out;
    EXPECT_EQ(r.out.find("recovery key asked: " + every + "\n") != std::string::npos, !suspend) << r.out;

    args.push_back("--json");
    args.push_back("--wmi");
    args.push_back("2.54,2.90");
    const ProcessResult json = RunProcess(VORT_SIM_BIN, args, {}, work_);
    KeepJson(json.out);
    const Json doc = Json::parse(json.out);
    EXPECT_EQ(doc["summary"]["recoveryKeyAsked"], suspend ? Json::array() : Json::array({"2.54", "2.90"}));
    EXPECT_EQ(doc["versions"][0]["recoveryKey"], suspend ? Json(nullptr) : Json("secure boot"));
  }
}

#if defined(_WIN32)
// Under Wine the test WMI provider stands in for Windows' WMI: like Windows,
// it answers BitLocker's namespace only on a connection whose proxy blanket
// asks for packet privacy.
TEST_F(BitLockerTest, TheTestWmiProviderRefusesBitLockersNamespaceBelowPacketPrivacy) {
  // The provider finds its machine as the program does; it is loaded by the
  // first CoCreateInstance below, after this.
  ASSERT_TRUE(SetEnvironmentVariableW(L"VORT64_MACHINE", machine_.wstring().c_str()));
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  IWbemLocator* locator = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                             reinterpret_cast<void**>(&locator)),
            S_OK);
  BSTR ns = SysAllocString(L"ROOT\\CIMV2\\Security\\MicrosoftVolumeEncryption");
  IWbemServices* services = nullptr;
  ASSERT_EQ(locator->ConnectServer(ns, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services), S_OK);
  BSTR wql = SysAllocString(L"WQL");
  BSTR query = SysAllocString(L"SELECT * FROM Win32_EncryptableVolume WHERE DriveLetter = 'C:'");
  const auto run = [&] {
    IEnumWbemClassObject* volumes = nullptr;
    const HRESULT hr = services->ExecQuery(wql, query, WBEM_FLAG_FORWARD_ONLY, nullptr, &volumes);
    if (volumes != nullptr) volumes->Release();
    return hr;
  };
  const auto blanket = [&](DWORD level) {
    return CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, level, RPC_C_IMP_LEVEL_IMPERSONATE,
                             nullptr, EOAC_NONE);
  };
  EXPECT_EQ(run(), static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));
  ASSERT_EQ(blanket(RPC_C_AUTHN_LEVEL_PKT_INTEGRITY), S_OK);
  EXPECT_EQ(run(), static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));
  ASSERT_EQ(blanket(RPC_C_AUTHN_LEVEL_PKT_PRIVACY), S_OK);
  EXPECT_EQ(run(), S_OK);
  SysFreeString(query);
  SysFreeString(wql);
  SysFreeString(ns);
  services->Release();
  locator->Release();
  CoUninitialize();
  SetEnvironmentVariableW(L"VORT64_MACHINE", nullptr);
}
#endif

}  // namespace
}  // namespace vort64::e2e
