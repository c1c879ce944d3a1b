// The firmware methods (instance lookup, password parameter, return codes)
// running over the WMI firmware against the fake WMI service: what the shared
// code builds is what reaches IWbemServices, and what the service answers is
// what the shared code reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "wmi/firmware_methods.h"
#include "wmi/smbios.h"
#include "wmi/windows/fake_wbem.h"
#include "wmi/windows/wmi_firmware.h"

namespace vort64 {

// A message as a failed expectation shows it.
static void PrintTo(const Message& message, std::ostream* os) {
  *os << static_cast<int>(message.stream) << ":\"" << message.text << '"';
}

namespace {

// The firmware methods themselves, under test here.
using namespace methods;

using fake::FakeClassObject;
using fake::FakeEnum;
using fake::FakeWmi;
using testing::ElementsAre;
using testing::IsEmpty;

// SMBIOS tables holding the firmware's interface version (OEM type 172).
std::vector<uint8_t> TablesWithInterface(uint8_t major, uint8_t minor) {
  return {0xAC, 0x06, 0x00, 0x01, major, minor, 0x00, 0x00,  // OEM structure
          0x7F, 0x04, 0xFF, 0xFF, 0x00,  0x00};              // end of table
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 5);
  return bytes;
}

class FirmwareMethodsOverWmiTest : public testing::Test {
 protected:
  FirmwareMethodsOverWmiTest()
      : tables_(wmi_.AddEnum(L"tables")),
        smbios_(wmi_.AddObject(L"smbios")),
        instances_(wmi_.AddEnum(L"instances")),
        nameless_(wmi_.AddObject(L"nameless")),
        named_(wmi_.AddObject(L"named")),
        class_(wmi_.AddObject(L"class")),
        in_(wmi_.AddObject(L"inParams")),
        out_(wmi_.AddObject(L"outParams")) {
    wmi_.services().instanceEnum = &tables_;
    tables_.Add(smbios_);
    smbios_.SetInteger(L"SmbiosMajorVersion", VT_UI1, 3);
    smbios_.SetInteger(L"SmbiosMinorVersion", VT_UI1, 2);
    smbios_.SetBytes(L"SMBiosData", TablesWithInterface(2, 90));

    wmi_.services().queryResult = &instances_;
    nameless_.SetNull(L"InstanceName");
    named_.SetText(L"InstanceName", L"ACPI\\PNP0C14\\0_0");
    instances_.Add(nameless_);
    instances_.Add(named_);

    wmi_.services().classObject = &class_;
    wmi_.services().outParams = &out_;
    for (const wchar_t* method : {L"GetBiosOptions", L"SetBiosOptions", L"LoadBIOSDefault"}) {
      class_.SetMethod(method, &in_);
    }
    out_.SetInteger(L"ReturnCode", VT_I4, 0);
    out_.SetBytes(L"Data", data_);
  }

  void TearDown() override {
    session_.reset();
    firmware_.reset();
    EXPECT_THAT(wmi_.Problems(), IsEmpty());
  }

  // What a run does first: opens the firmware, reads the SMBIOS tables once
  // and takes the interface version from them for its session.
  FirmwareSession& Connect() {
    session_.reset();
    EXPECT_TRUE(firmware_->Open());
    RawSmbiosTable table;
    EXPECT_TRUE(firmware_->ReadRawSmbiosTable(table));
    session_.emplace(FirmwareSession{*firmware_, ReadInterfaceVersion(table)});
    return *session_;
  }

  const std::vector<uint8_t> data_ = Pattern(2048, 0x30);
  FakeWmi wmi_;
  FakeEnum& tables_;
  FakeClassObject& smbios_;
  FakeEnum& instances_;
  FakeClassObject& nameless_;
  FakeClassObject& named_;
  FakeClassObject& class_;
  FakeClassObject& in_;
  FakeClassObject& out_;
  std::unique_ptr<WmiFirmware> firmware_ = std::make_unique<WmiFirmware>(wmi_.MakeRuntime());
  std::optional<FirmwareSession> session_;
};

TEST_F(FirmwareMethodsOverWmiTest, GetBiosOptionsReachesTheNamedInstanceAndFillsTheBlock) {
  FirmwareSession& session = Connect();
  ASSERT_EQ(session.version, (InterfaceVersion{2, 90}));
  std::vector<uint8_t> buffer(2048, 0);
  const MethodOutcome outcome = GetBiosOptions(session, std::string("pa55w\0\0\0\0\0\0\0\0\0\0\0", 16), buffer);
  EXPECT_TRUE(outcome.executed);
  EXPECT_EQ(outcome.code, 0);
  EXPECT_TRUE(outcome.passed());
  EXPECT_EQ(outcome.said, (Messages{{Message::Stream::kSay, "Get BIOS options success.\n"}}));
  EXPECT_EQ(buffer, data_);

  // The first instance with a name wins; its backslashes arrive doubled.
  EXPECT_EQ(wmi_.services().lastMethodPath(), L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"");
  ASSERT_EQ(in_.puts().size(), 2u);
  EXPECT_EQ(in_.puts()[0].name, L"PasswordLen");
  EXPECT_EQ(in_.puts()[0].type, VT_I2);
  EXPECT_EQ(in_.puts()[0].integer, 5);
  EXPECT_EQ(in_.puts()[1].name, L"Password");
  EXPECT_EQ(in_.puts()[1].type, VT_ARRAY | VT_UI1);
  EXPECT_EQ(in_.puts()[1].bytes, (std::vector<uint8_t>{'p', 'a', '5', '5', 'w', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(FirmwareMethodsOverWmiTest, ARunConnectsOnceForTheTablesAndEveryMethodCall) {
  // The calls of a /set: read the block, send it, read it back.
  FirmwareSession& session = Connect();
  std::vector<uint8_t> buffer(2048, 0);
  EXPECT_TRUE(GetBiosOptions(session, std::string(16, '\0'), buffer).passed());
  EXPECT_TRUE(SetBiosOptions(session, std::string(16, '\0'), buffer).passed());
  EXPECT_TRUE(GetBiosOptions(session, std::string(16, '\0'), buffer).passed());
  session_.reset();
  firmware_->Close();

  const std::vector<std::wstring>& calls = wmi_.calls();
  const auto count = [&calls](const std::wstring& prefix) {
    return std::count_if(calls.begin(), calls.end(), [&](const std::wstring& c) { return c.starts_with(prefix); });
  };
  EXPECT_EQ(count(L"CoInitializeEx("), 1);
  EXPECT_EQ(count(L"CoCreateInstance(CLSID_WbemLocator"), 1);
  EXPECT_EQ(count(L"locator.ConnectServer("), 1);
  EXPECT_EQ(count(L"CoSetProxyBlanket("), 1);
  EXPECT_EQ(count(L"services.CreateInstanceEnum(MSSMBios_RawSMBiosTables"), 1);
  EXPECT_EQ(count(L"services.ExecMethod("), 3);
  EXPECT_EQ(count(L"CoUninitialize("), 1);

  // Tables first, then the methods, all on the one connection, which is
  // released once at the end.
  const auto at = [&calls](const std::wstring& prefix) {
    return std::find_if(calls.begin(), calls.end(), [&](const std::wstring& c) { return c.starts_with(prefix); }) -
           calls.begin();
  };
  EXPECT_LT(at(L"locator.ConnectServer("), at(L"services.CreateInstanceEnum("));
  EXPECT_LT(at(L"services.CreateInstanceEnum("), at(L"services.ExecQuery("));
  ASSERT_GE(calls.size(), 3u);
  EXPECT_THAT(std::vector<std::wstring>(calls.end() - 3, calls.end()),
              ElementsAre(L"release services", L"release locator", L"CoUninitialize()"));
}

TEST_F(FirmwareMethodsOverWmiTest, ThePasswordArrayFollowsTheInterfaceReadWhenTheRunConnected) {
  struct Case {
    uint8_t minor;
    std::vector<uint8_t> expected;
  };
  wmi_.keyScans = {{'a', 0x1E}, {'b', 0x30}, {'1', 0x02}};
  const Case cases[] = {
      {90, {'a', 'b', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {56, {'a', 'b', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {55, {'a', 'b', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {50, {'a', 'b', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {49, {0x1E, 0x30, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.minor));
    smbios_.SetBytes(L"SMBiosData", TablesWithInterface(2, c.minor));
    FirmwareSession& session = Connect();
    const size_t before = in_.puts().size();
    EXPECT_EQ(LoadBIOSDefault(session, std::string("ab1")).code, 0);
    ASSERT_EQ(in_.puts().size(), before + 2);
    EXPECT_EQ(in_.puts()[before].integer, 3);
    EXPECT_EQ(in_.puts()[before + 1].bytes, c.expected);
    EXPECT_EQ(wmi_.services().lastMethodPath(), L"BIOSSetting.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"");
  }
}

TEST_F(FirmwareMethodsOverWmiTest, SetBiosOptionsSendsTheBlockAndReportsARebootRequired) {
  FirmwareSession& session = Connect();
  const std::vector<uint8_t> block = Pattern(2048, 0x77);
  out_.SetInteger(L"ReturnCode", VT_I4, 8);
  const MethodOutcome outcome = SetBiosOptions(session, std::string(16, '\0'), block);
  EXPECT_EQ(outcome.code, 8);
  EXPECT_TRUE(outcome.rebootRequired());
  EXPECT_EQ(
      outcome.said,
      (Messages{{Message::Stream::kSay, "Set BIOS options success and reboot required to make function works.\n"}}));
  ASSERT_EQ(in_.puts().size(), 3u);
  EXPECT_EQ(in_.puts()[0].integer, 0);
  EXPECT_EQ(in_.puts()[1].bytes, std::vector<uint8_t>(16, 0));
  EXPECT_EQ(in_.puts()[2].name, L"Data");
  EXPECT_EQ(in_.puts()[2].bytes, block);
}

TEST_F(FirmwareMethodsOverWmiTest, ReturnedDataLongerThanTheBlockOrNullIsHandledSafely) {
  FirmwareSession& session = Connect();
  const std::vector<uint8_t> longer = Pattern(4096, 0x11);
  out_.SetBytes(L"Data", longer);
  std::vector<uint8_t> buffer(2048, 0xEE);
  EXPECT_EQ(GetBiosOptions(session, std::string(16, '\0'), buffer).code, 0);
  EXPECT_EQ(buffer, std::vector<uint8_t>(longer.begin(), longer.begin() + 2048));

  out_.SetNull(L"Data");
  std::vector<uint8_t> untouched(2048, 0xEE);
  EXPECT_EQ(GetBiosOptions(session, std::string(16, '\0'), untouched).code, 0);
  EXPECT_EQ(untouched, std::vector<uint8_t>(2048, 0xEE));
}

TEST_F(FirmwareMethodsOverWmiTest, AFailedExecutionIsReportedAsOne) {
  FirmwareSession& session = Connect();
  wmi_.services().execMethodResult = Hr(WBEM_E_PROVIDER_FAILURE);
  std::vector<uint8_t> buffer(2048, 0xEE);
  const MethodOutcome outcome = GetBiosOptions(session, std::string(16, '\0'), buffer);
  EXPECT_FALSE(outcome.executed);
  EXPECT_EQ(outcome.code, 1);
  EXPECT_EQ(outcome.said, (Messages{{Message::Stream::kSay, "Error: WMI method execution failed. "}}));
  EXPECT_EQ(buffer, std::vector<uint8_t>(2048, 0xEE));

  // The status of the failed step is what the shared code gets.
  std::vector<FirmwareValue> out;
  EXPECT_EQ(CallFirmwareMethod(*firmware_, kConfigurationClass, kGetBiosOptionsMethod, kConfigurationQuery, {},
                               {kReturnCodeParam}, out),
            Hr(WBEM_E_PROVIDER_FAILURE));
}

TEST_F(FirmwareMethodsOverWmiTest, NoInstanceWithANameFailsAtExecMethod) {
  FirmwareSession& session = Connect();
  named_.SetEmpty(L"InstanceName");
  std::vector<uint8_t> buffer(2048, 0xEE);
  const MethodOutcome outcome = GetBiosOptions(session, std::string(16, '\0'), buffer);
  EXPECT_EQ(outcome.code, 1);
  EXPECT_EQ(outcome.said, (Messages{{Message::Stream::kSay, "Error: WMI method execution failed. "}}));
  EXPECT_EQ(wmi_.services().lastMethodPath(), L"");
}

}  // namespace
}  // namespace vort64
