#include "wmi/windows/wmi_firmware.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "wmi/windows/fake_wbem.h"

namespace vort64 {
namespace {

using fake::FakeClassObject;
using fake::FakeEnum;
using fake::FakeWmi;
using fake::PutRecord;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using Kind = FirmwareValue::Kind;
using Calls = std::vector<std::wstring>;

const std::wstring kInit = L"CoInitializeEx(null, 0x0)";
const std::wstring kCreateLocator = L"CoCreateInstance(CLSID_WbemLocator, null, 0x1, IID_IWbemLocator)";
const std::wstring kConnect = L"locator.ConnectServer(ROOT\\WMI, null, null, null, 0x0, null, null)";
const std::wstring kBlanket = L"CoSetProxyBlanket(services, 10, 0, null, 3, 3, null, 0)";
const std::wstring kUninit = L"CoUninitialize()";
const Calls kConnectCalls = {kInit, kCreateLocator, kConnect, kBlanket};

// The path the shared code builds for an instance named ACPI\PNP0C14\0_0:
// every backslash doubled inside the quoted key value.
const std::wstring kInstancePath = L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"";

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13);
  return bytes;
}

std::vector<uint8_t> PasswordBytes(const char* text, size_t width) {
  std::vector<uint8_t> bytes(width, 0);
  for (size_t i = 0; text[i] != '\0' && i < width; ++i) bytes[i] = static_cast<uint8_t>(text[i]);
  return bytes;
}

Calls Concat(std::initializer_list<Calls> parts) {
  Calls all;
  for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

bool Contains(const Calls& calls, const std::wstring& prefix) {
  return std::any_of(calls.begin(), calls.end(),
                     [&](const std::wstring& c) { return c.find(prefix) != std::wstring::npos; });
}

class WmiFirmwareTest : public testing::Test {
 protected:
  // Nothing may be left behind once the firmware is gone: no reference, no
  // COM initialisation, no string passed where a BSTR was due.
  void TearDown() override {
    firmware_.reset();
    EXPECT_THAT(wmi_.Problems(), IsEmpty());
  }

  WmiFirmware& firmware() { return *firmware_; }

  void OpenAndForget() {
    ASSERT_TRUE(firmware().Open());
    wmi_.ClearCalls();
  }

  FakeWmi wmi_;
  std::unique_ptr<WmiFirmware> firmware_ = std::make_unique<WmiFirmware>(wmi_.MakeRuntime());
};

// ---------------------------------------------------------------- connection

TEST_F(WmiFirmwareTest, OpenConnectsAndCloseReleasesServicesThenLocatorThenCom) {
  ASSERT_TRUE(firmware().Open());
  EXPECT_TRUE(firmware().IsOpen());
  EXPECT_EQ(firmware().connectStatus(), S_OK);
  EXPECT_TRUE(firmware().comInitialized());
  EXPECT_EQ(wmi_.calls(), kConnectCalls);
  EXPECT_EQ(wmi_.services().refs(), 1);
  EXPECT_EQ(wmi_.locator().refs(), 1);

  wmi_.ClearCalls();
  firmware().Close();
  EXPECT_FALSE(firmware().IsOpen());
  EXPECT_FALSE(firmware().comInitialized());
  EXPECT_THAT(wmi_.calls(), ElementsAre(L"release services", L"release locator", kUninit));

  wmi_.ClearCalls();
  firmware().Close();  // closing twice does nothing more
  EXPECT_THAT(wmi_.calls(), IsEmpty());
}

struct OpenFailure {
  const char* step;
  HRESULT createInstance = S_OK;
  HRESULT connect = S_OK;
  HRESULT blanket = S_OK;
  HRESULT expected;
  Calls calls;
};

TEST_F(WmiFirmwareTest, AFailedStepReleasesWhatWasObtainedAndUninitialises) {
  const OpenFailure cases[] = {
      {"locator", REGDB_E_CLASSNOTREG, S_OK, S_OK, REGDB_E_CLASSNOTREG, {kInit, kCreateLocator, kUninit}},
      {"connect",
       S_OK,
       Hr(WBEM_E_INVALID_NAMESPACE),
       S_OK,
       Hr(WBEM_E_INVALID_NAMESPACE),
       {kInit, kCreateLocator, kConnect, L"release locator", kUninit}},
      {"proxy blanket",
       S_OK,
       S_OK,
       E_ACCESSDENIED,
       E_ACCESSDENIED,
       {kInit, kCreateLocator, kConnect, kBlanket, L"release services", L"release locator", kUninit}},
  };
  for (const OpenFailure& c : cases) {
    SCOPED_TRACE(c.step);
    FakeWmi wmi;
    wmi.createInstanceResult = c.createInstance;
    wmi.locator().connectResult = c.connect;
    wmi.proxyBlanketResult = c.blanket;
    {
      WmiFirmware firmware(wmi.MakeRuntime());
      EXPECT_FALSE(firmware.Open());
      EXPECT_FALSE(firmware.IsOpen());
      EXPECT_FALSE(firmware.comInitialized());
      EXPECT_EQ(firmware.connectStatus(), c.expected);
      EXPECT_EQ(wmi.calls(), c.calls);

      // Nothing to release twice, and the methods fail without a call.
      wmi.ClearCalls();
      std::vector<FirmwareValue> out;
      EXPECT_NE(firmware.ExecuteMethod({L"BIOSSetting", L"p", L"LoadBIOSDefault", {}, {}}, out), kStatusOk);
      std::vector<std::optional<std::wstring>> names;
      EXPECT_NE(firmware.QueryInstanceNames(L"SELECT * FROM BIOSSetting", names), kStatusOk);
      firmware.Close();
    }
    EXPECT_THAT(wmi.calls(), IsEmpty());
    EXPECT_THAT(wmi.Problems(), IsEmpty());
  }
}

struct InitCase {
  const char* what;
  HRESULT init;
  bool uninitialises;
};

TEST_F(WmiFirmwareTest, OnlyASuccessfulInitialisationIsBalanced) {
  const InitCase cases[] = {
      {"initialised here", S_OK, true},
      {"thread in another concurrency model", RPC_E_CHANGED_MODE, false},
      {"initialisation failed", E_OUTOFMEMORY, false},
  };
  for (const InitCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool connects : {true, false}) {
      SCOPED_TRACE(connects ? "connected" : "connection failed");
      FakeWmi wmi;
      wmi.coInitializeResult = c.init;
      wmi.locator().connectResult = connects ? S_OK : Hr(WBEM_E_ACCESS_DENIED);
      {
        WmiFirmware firmware(wmi.MakeRuntime());
        EXPECT_EQ(firmware.Open(), connects);
        // A failed connection has balanced its initialisation already.
        EXPECT_EQ(firmware.comInitialized(), connects && c.uninitialises);
        firmware.Close();
      }
      EXPECT_EQ(Contains(wmi.calls(), kUninit), c.uninitialises);
      EXPECT_THAT(wmi.Problems(), IsEmpty());
    }
  }
}

TEST_F(WmiFirmwareTest, DestructorClosesAndReopeningClosesFirst) {
  ASSERT_TRUE(firmware().Open());
  wmi_.ClearCalls();
  ASSERT_TRUE(firmware().Open());
  EXPECT_EQ(wmi_.calls(), Concat({{L"release services", L"release locator", kUninit}, kConnectCalls}));
  wmi_.ClearCalls();
  firmware_.reset();
  EXPECT_THAT(wmi_.calls(), ElementsAre(L"release services", L"release locator", kUninit));
}

// One run at a time: the machine-wide mutex is held from LockMachine to
// UnlockMachine; another run (here another thread, as a mutex is its
// owner's again and again) waits for it up to its limit, and takes it once
// it is let go.
TEST_F(WmiFirmwareTest, TheMachineLockKeepsOtherRunsOutUntilItIsLetGo) {
  ASSERT_EQ(firmware().LockMachine(std::chrono::milliseconds(0)), LockOutcome::kHeld);
  const auto otherRun = [this](std::chrono::milliseconds limit) {
    return std::async(std::launch::async, [this, limit] {
      WmiFirmware other(wmi_.MakeRuntime());
      const auto start = std::chrono::steady_clock::now();
      const LockOutcome outcome = other.LockMachine(limit);
      return std::pair(outcome, std::chrono::steady_clock::now() - start);
    });
  };
  const auto [busy, waited] = otherRun(std::chrono::milliseconds(200)).get();
  EXPECT_EQ(busy, LockOutcome::kTimedOut);
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  firmware().UnlockMachine();
  EXPECT_EQ(otherRun(std::chrono::milliseconds(200)).get().first, LockOutcome::kHeld);
  // Nothing of COM is touched by the lock.
  EXPECT_THAT(wmi_.calls(), IsEmpty());
}

// ---------------------------------------------------------------- SMBIOS read

class RawSmbiosTest : public WmiFirmwareTest {
 protected:
  RawSmbiosTest() : tables_(wmi_.AddEnum(L"tables")), smbios_(wmi_.AddObject(L"smbios")) {
    wmi_.services().instanceEnum = &tables_;
    tables_.Add(smbios_);
    smbios_.SetInteger(L"SmbiosMajorVersion", VT_UI1, 3);
    smbios_.SetInteger(L"SmbiosMinorVersion", VT_UI1, 4);
    smbios_.SetBytes(L"SMBiosData", data_);
  }

  const std::vector<uint8_t> data_ = Pattern(1500, 0x11);
  FakeEnum& tables_;
  FakeClassObject& smbios_;
};

TEST_F(RawSmbiosTest, ReadsOverTheOpenConnectionAndReleasesInOrder) {
  OpenAndForget();
  RawSmbiosTable table;
  ASSERT_TRUE(firmware().ReadRawSmbiosTable(table));
  EXPECT_EQ(table.smbiosMajor, 3);
  EXPECT_EQ(table.smbiosMinor, 4);
  EXPECT_EQ(table.data, data_);
  EXPECT_EQ(wmi_.calls(),
            (Calls{L"services.CreateInstanceEnum(MSSMBios_RawSMBiosTables, 0x0, null)", L"tables.Next(0xffffffff, 1)",
                   L"smbios.Get(SmbiosMajorVersion, 0x0)", L"smbios.Get(SmbiosMinorVersion, 0x0)",
                   L"smbios.Get(SMBiosData, 0x0)", L"release smbios", L"release tables"}));

  // The connection stays as it was, ready for the method calls.
  EXPECT_TRUE(firmware().IsOpen());
  EXPECT_EQ(wmi_.services().refs(), 1);
  EXPECT_EQ(wmi_.locator().refs(), 1);
  EXPECT_EQ(wmi_.comDepth(), 1);
}

TEST_F(RawSmbiosTest, AClosedConnectionReadsNothingAndCallsNothing) {
  RawSmbiosTable table{7, 8, {1, 2, 3}};
  EXPECT_FALSE(firmware().ReadRawSmbiosTable(table));
  EXPECT_TRUE(table.data.empty());
  EXPECT_EQ(table.smbiosMajor, 0);
  EXPECT_EQ(table.smbiosMinor, 0);

  OpenAndForget();
  firmware().Close();
  wmi_.ClearCalls();
  table = {7, 8, {1, 2, 3}};
  EXPECT_FALSE(firmware().ReadRawSmbiosTable(table));
  EXPECT_TRUE(table.data.empty());
  EXPECT_THAT(wmi_.calls(), IsEmpty());
}

TEST_F(RawSmbiosTest, VersionsOfOtherIntegerTypesAreTakenByValue) {
  smbios_.SetInteger(L"SmbiosMajorVersion", VT_I4, 2);
  smbios_.SetInteger(L"SmbiosMinorVersion", VT_I2, 7);
  OpenAndForget();
  RawSmbiosTable table;
  ASSERT_TRUE(firmware().ReadRawSmbiosTable(table));
  EXPECT_EQ(table.smbiosMajor, 2);
  EXPECT_EQ(table.smbiosMinor, 7);
}

TEST_F(RawSmbiosTest, EveryFailureLeavesTheTableEmptyAndReleasesEverything) {
  struct Case {
    const char* what;
    std::function<void(FakeWmi&, FakeEnum&, FakeClassObject&)> arrange;
  };
  const Case cases[] = {
      {"no locator", [](FakeWmi& w, FakeEnum&, FakeClassObject&) { w.createInstanceResult = E_NOINTERFACE; }},
      {"no connection",
       [](FakeWmi& w, FakeEnum&, FakeClassObject&) { w.locator().connectResult = Hr(WBEM_E_INVALID_NAMESPACE); }},
      {"no proxy security", [](FakeWmi& w, FakeEnum&, FakeClassObject&) { w.proxyBlanketResult = E_ACCESSDENIED; }},
      {"class not there", [](FakeWmi& w, FakeEnum&,
                             FakeClassObject&) { w.services().createInstanceEnumResult = Hr(WBEM_E_INVALID_CLASS); }},
      {"enumeration fails", [](FakeWmi&, FakeEnum& e, FakeClassObject&) { e.FailAt(0, Hr(WBEM_E_FAILED)); }},
      {"no instance",
       [](FakeWmi& w, FakeEnum&, FakeClassObject&) { w.services().instanceEnum = &w.AddEnum(L"empty"); }},
      {"major version unreadable",
       [](FakeWmi&, FakeEnum&, FakeClassObject& o) { o.FailGet(L"SmbiosMajorVersion", Hr(WBEM_E_NOT_FOUND)); }},
      {"minor version unreadable",
       [](FakeWmi&, FakeEnum&, FakeClassObject& o) { o.FailGet(L"SmbiosMinorVersion", Hr(WBEM_E_FAILED)); }},
      {"data unreadable", [](FakeWmi&, FakeEnum&, FakeClassObject& o) { o.FailGet(L"SMBiosData", Hr(WBEM_E_FAILED)); }},
      {"data null", [](FakeWmi&, FakeEnum&, FakeClassObject& o) { o.SetNull(L"SMBiosData"); }},
      {"data a string", [](FakeWmi&, FakeEnum&, FakeClassObject& o) { o.SetText(L"SMBiosData", L"\x01\x02"); }},
      {"data words",
       [](FakeWmi&, FakeEnum&, FakeClassObject& o) {
         VARIANT v;
         VariantInit(&v);
         SAFEARRAYBOUND bound{4, 0};
         V_VT(&v) = VT_ARRAY | VT_I2;
         V_ARRAY(&v) = SafeArrayCreate(VT_I2, 1, &bound);
         o.SetValue(L"SMBiosData", v);
         VariantClear(&v);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeWmi wmi;
    FakeEnum& tables = wmi.AddEnum(L"tables");
    FakeClassObject& smbios = wmi.AddObject(L"smbios");
    wmi.services().instanceEnum = &tables;
    tables.Add(smbios);
    smbios.SetInteger(L"SmbiosMajorVersion", VT_UI1, 3);
    smbios.SetInteger(L"SmbiosMinorVersion", VT_UI1, 4);
    smbios.SetBytes(L"SMBiosData", data_);
    c.arrange(wmi, tables, smbios);
    {
      WmiFirmware firmware(wmi.MakeRuntime());
      const bool open = firmware.Open();  // fails in the first three cases
      RawSmbiosTable table{7, 8, {1, 2, 3}};
      EXPECT_FALSE(firmware.ReadRawSmbiosTable(table));
      EXPECT_TRUE(table.data.empty());
      EXPECT_EQ(table.smbiosMajor, 0);
      EXPECT_EQ(table.smbiosMinor, 0);
      // Without a connection the read asks nothing of the service.
      EXPECT_EQ(Contains(wmi.calls(), L"services.CreateInstanceEnum("), open);
      EXPECT_EQ(firmware.IsOpen(), open);  // a failed read leaves the connection as it was
    }
    EXPECT_EQ(wmi.calls().back(), kUninit);
    EXPECT_THAT(wmi.Problems(), IsEmpty());
  }
}

// ---------------------------------------------------------------- instance query

TEST_F(WmiFirmwareTest, QueryReportsEveryInstanceNameInOrder) {
  FakeEnum& instances = wmi_.AddEnum(L"instances");
  wmi_.services().queryResult = &instances;
  FakeClassObject& first = wmi_.AddObject(L"first");
  FakeClassObject& null_name = wmi_.AddObject(L"nullName");
  FakeClassObject& empty_name = wmi_.AddObject(L"emptyName");
  FakeClassObject& unreadable = wmi_.AddObject(L"unreadable");
  FakeClassObject& number = wmi_.AddObject(L"number");
  FakeClassObject& last = wmi_.AddObject(L"last");
  first.SetText(L"InstanceName", L"ACPI\\PNP0C14\\0_0");
  null_name.SetNull(L"InstanceName");
  empty_name.SetEmpty(L"InstanceName");
  unreadable.FailGet(L"InstanceName", Hr(WBEM_E_ACCESS_DENIED));
  number.SetInteger(L"InstanceName", VT_I4, 7);
  last.SetText(L"InstanceName", L"WMI\\1");
  for (FakeClassObject* o : {&first, &null_name, &empty_name, &unreadable, &number, &last}) {
    instances.Add(*o);
  }
  OpenAndForget();

  std::vector<std::optional<std::wstring>> names = {L"left over"};
  EXPECT_EQ(firmware().QueryInstanceNames(L"SELECT * FROM KelmBiosConfigurationTool", names), kStatusOk);
  EXPECT_THAT(names, ElementsAre(std::optional<std::wstring>(L"ACPI\\PNP0C14\\0_0"), std::nullopt, std::nullopt,
                                 std::nullopt, std::nullopt, std::optional<std::wstring>(L"WMI\\1")));

  Calls expected = {L"services.ExecQuery(WQL, SELECT * FROM KelmBiosConfigurationTool, 0x30, null)"};
  for (const wchar_t* name : {L"first", L"nullName", L"emptyName", L"unreadable", L"number", L"last"}) {
    expected.push_back(L"instances.Next(0xffffffff, 1)");
    expected.push_back(std::wstring(name) + L".Get(InstanceName, 0x0)");
    expected.push_back(std::wstring(L"release ") + name);
  }
  expected.push_back(L"instances.Next(0xffffffff, 1)");
  expected.push_back(L"release instances");
  EXPECT_EQ(wmi_.calls(), expected);
}

TEST_F(WmiFirmwareTest, AFailedQueryReturnsItsStatusAndNoNames) {
  wmi_.services().execQueryResult = Hr(WBEM_E_INVALID_CLASS);
  OpenAndForget();
  std::vector<std::optional<std::wstring>> names = {L"left over"};
  EXPECT_EQ(firmware().QueryInstanceNames(L"SELECT * FROM BIOSSetting", names), Hr(WBEM_E_INVALID_CLASS));
  EXPECT_THAT(names, IsEmpty());
  EXPECT_THAT(wmi_.calls(), ElementsAre(L"services.ExecQuery(WQL, SELECT * FROM BIOSSetting, 0x30, null)"));
}

TEST_F(WmiFirmwareTest, AFailingEnumerationEndsTheWalkWithTheNamesSoFar) {
  FakeEnum& instances = wmi_.AddEnum(L"instances");
  wmi_.services().queryResult = &instances;
  FakeClassObject& first = wmi_.AddObject(L"first");
  FakeClassObject& second = wmi_.AddObject(L"second");
  first.SetText(L"InstanceName", L"A");
  second.SetText(L"InstanceName", L"B");
  instances.Add(first);
  instances.Add(second);
  instances.FailAt(1, Hr(WBEM_E_TRANSPORT_FAILURE));
  OpenAndForget();
  std::vector<std::optional<std::wstring>> names;
  EXPECT_EQ(firmware().QueryInstanceNames(L"SELECT * FROM BIOSSetting", names), kStatusOk);
  EXPECT_THAT(names, ElementsAre(std::optional<std::wstring>(L"A")));
}

// ---------------------------------------------------------------- method execution

class MethodTest : public WmiFirmwareTest {
 protected:
  MethodTest()
      : class_(wmi_.AddObject(L"class")), in_(wmi_.AddObject(L"inParams")), out_(wmi_.AddObject(L"outParams")) {
    wmi_.services().classObject = &class_;
    wmi_.services().outParams = &out_;
    for (const wchar_t* method : {L"GetBiosOptions", L"SetBiosOptions", L"GetBiosDefaultOptions",
                                  L"SetBiosDefaultOptions", L"LoadBIOSDefault", L"LoadUserDefault"}) {
      class_.SetMethod(method, &in_);
    }
    out_.SetInteger(L"ReturnCode", VT_I4, 0);
    out_.SetBytes(L"Data", data_);
  }

  static MethodCall GetBiosOptions() {
    return {
        L"KelmBiosConfigurationTool",
        kInstancePath,
        L"GetBiosOptions",
        {{L"PasswordLen", FirmwareValue::Int16(5)}, {L"Password", FirmwareValue::Bytes(PasswordBytes("pa55w", 16))}},
        {L"ReturnCode", L"Data"}};
  }

  const std::vector<uint8_t> data_ = Pattern(2048, 0x40);
  FakeClassObject& class_;
  FakeClassObject& in_;
  FakeClassObject& out_;
};

TEST_F(MethodTest, GetBiosOptionsMakesTheCallsInOrderAndReadsTheOutParameters) {
  OpenAndForget();
  std::vector<FirmwareValue> out;
  ASSERT_EQ(firmware().ExecuteMethod(GetBiosOptions(), out), kStatusOk);

  EXPECT_EQ(wmi_.calls(),
            (Calls{L"services.GetObject(KelmBiosConfigurationTool, 0x0, null, null)",
                   L"class.GetMethod(GetBiosOptions, 0x0, set, null)", L"inParams.Put(PasswordLen, 0x0, VT_I2 5, 0)",
                   L"inParams.Put(Password, 0x0, VT_ARRAY|VT_UI1[16], 0)",
                   L"services.ExecMethod(" + kInstancePath + L", GetBiosOptions, 0x0, null, inParams, null)",
                   L"outParams.Get(ReturnCode, 0x0)", L"outParams.Get(Data, 0x0)", L"release outParams",
                   L"release inParams", L"release class"}));

  // The path arrives with its backslashes doubled, exactly as built.
  EXPECT_EQ(wmi_.services().lastMethodPath(), L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"");
  EXPECT_EQ(std::count(wmi_.services().lastMethodPath().begin(), wmi_.services().lastMethodPath().end(), L'\\'), 4);

  ASSERT_EQ(in_.puts().size(), 2u);
  const PutRecord& length = in_.puts()[0];
  EXPECT_EQ(length.type, VT_I2);
  EXPECT_EQ(length.integer, 5);
  const PutRecord& password = in_.puts()[1];
  EXPECT_EQ(password.type, VT_ARRAY | VT_UI1);
  EXPECT_EQ(password.dimensions, 1u);
  EXPECT_EQ(password.lowerBound, 0);
  EXPECT_EQ(password.bytes, PasswordBytes("pa55w", 16));

  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].kind, Kind::kInt32);
  EXPECT_EQ(out[0].integer, 0);
  EXPECT_EQ(out[1].kind, Kind::kBytes);
  EXPECT_EQ(out[1].bytes, data_);
}

TEST_F(MethodTest, SetBiosOptionsSendsTheWholeBlock) {
  OpenAndForget();
  const std::vector<uint8_t> block = Pattern(2048, 0x99);
  std::vector<FirmwareValue> out;
  ASSERT_EQ(firmware().ExecuteMethod({L"KelmBiosConfigurationTool",
                                      kInstancePath,
                                      L"SetBiosOptions",
                                      {{L"PasswordLen", FirmwareValue::Int16(0)},
                                       {L"Password", FirmwareValue::Bytes(PasswordBytes("", 12))},
                                       {L"Data", FirmwareValue::Bytes(block)}},
                                      {L"ReturnCode"}},
                                     out),
            kStatusOk);
  ASSERT_EQ(in_.puts().size(), 3u);
  EXPECT_EQ(in_.puts()[0].type, VT_I2);
  EXPECT_EQ(in_.puts()[0].integer, 0);
  EXPECT_EQ(in_.puts()[1].type, VT_ARRAY | VT_UI1);
  EXPECT_EQ(in_.puts()[1].bytes, std::vector<uint8_t>(12, 0));
  const PutRecord& data = in_.puts()[2];
  EXPECT_EQ(data.name, L"Data");
  EXPECT_EQ(data.type, VT_ARRAY | VT_UI1);
  EXPECT_EQ(data.dimensions, 1u);
  EXPECT_EQ(data.lowerBound, 0);
  EXPECT_EQ(data.bytes, block);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].kind, Kind::kInt32);
}

TEST_F(MethodTest, EachFirmwareMethodPutsAndGetsItsParametersInOrder) {
  struct Case {
    const wchar_t* className;
    const wchar_t* method;
    std::vector<std::wstring> in;
    std::vector<std::wstring> out;
  };
  const Case cases[] = {
      {L"KelmBiosConfigurationTool", L"GetBiosOptions", {L"PasswordLen", L"Password"}, {L"ReturnCode", L"Data"}},
      {L"KelmBiosConfigurationTool", L"SetBiosOptions", {L"PasswordLen", L"Password", L"Data"}, {L"ReturnCode"}},
      {L"KelmBiosConfigurationTool", L"GetBiosDefaultOptions", {L"PasswordLen", L"Password"}, {L"ReturnCode", L"Data"}},
      {L"KelmBiosConfigurationTool", L"SetBiosDefaultOptions", {L"PasswordLen", L"Password", L"Data"}, {L"ReturnCode"}},
      {L"BIOSSetting", L"LoadBIOSDefault", {L"PasswordLen", L"Password"}, {L"ReturnCode"}},
      {L"BIOSSetting", L"LoadUserDefault", {L"PasswordLen", L"Password"}, {L"ReturnCode"}},
  };
  OpenAndForget();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.method)));
    MethodCall call{c.className, std::wstring(c.className) + L".InstanceName=\"X\"", c.method, {}, c.out};
    for (const std::wstring& name : c.in) {
      call.in.push_back({name, name == L"PasswordLen"
                                   ? FirmwareValue::Int16(3)
                                   : FirmwareValue::Bytes(std::vector<uint8_t>(name == L"Data" ? 2048 : 16, 1))});
    }
    wmi_.ClearCalls();
    std::vector<FirmwareValue> out;
    ASSERT_EQ(firmware().ExecuteMethod(call, out), kStatusOk);
    ASSERT_EQ(out.size(), c.out.size());

    Calls expected = {L"services.GetObject(" + std::wstring(c.className) + L", 0x0, null, null)",
                      L"class.GetMethod(" + std::wstring(c.method) + L", 0x0, set, null)"};
    for (const std::wstring& name : c.in) {
      expected.push_back(L"inParams.Put(" + name + L", 0x0, " +
                         (name == L"PasswordLen" ? std::wstring(L"VT_I2 3")
                          : name == L"Data"      ? L"VT_ARRAY|VT_UI1[2048]"
                                                 : L"VT_ARRAY|VT_UI1[16]") +
                         L", 0)");
    }
    expected.push_back(L"services.ExecMethod(" + call.objectPath + L", " + c.method + L", 0x0, null, inParams, null)");
    for (const std::wstring& name : c.out) expected.push_back(L"outParams.Get(" + name + L", 0x0)");
    expected.insert(expected.end(), {L"release outParams", L"release inParams", L"release class"});
    EXPECT_EQ(wmi_.calls(), expected);
  }
}

TEST_F(MethodTest, EveryReturnCodeComesBackAsSent) {
  OpenAndForget();
  for (const int32_t code : {0, 1, 2, 3, 4, 5, 7, 8, 9, 209, 210, 12345}) {
    SCOPED_TRACE(code);
    out_.SetInteger(L"ReturnCode", VT_I4, code);
    std::vector<FirmwareValue> out;
    ASSERT_EQ(firmware().ExecuteMethod(GetBiosOptions(), out), kStatusOk);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].kind, Kind::kInt32);
    EXPECT_EQ(out[0].integer, code);
  }
}

TEST_F(MethodTest, ReturnCodesOfOtherIntegerTypes) {
  struct Case {
    VARTYPE type;
    int64_t sent;
    Kind kind;
    int32_t read;
  };
  const Case cases[] = {
      {VT_I2, 8, Kind::kInt16, 8},
      {VT_UI1, 209, Kind::kInt16, 209},
      {VT_UI4, 210, Kind::kInt32, 210},
      {VT_UI4, 0xFFFFFFFF, Kind::kInt32, -1},
      {VT_I8, 0x700000002LL, Kind::kInt32, 2},
  };
  OpenAndForget();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    out_.SetInteger(L"ReturnCode", c.type, c.sent);
    std::vector<FirmwareValue> out;
    ASSERT_EQ(firmware().ExecuteMethod(GetBiosOptions(), out), kStatusOk);
    EXPECT_EQ(out[0].kind, c.kind);
    EXPECT_EQ(out[0].integer, c.read);
  }
}

TEST_F(MethodTest, DataThatIsNullOrLongerThanTheBlockIsReportedAsItCame) {
  OpenAndForget();
  std::vector<FirmwareValue> out;

  out_.SetNull(L"Data");
  ASSERT_EQ(firmware().ExecuteMethod(GetBiosOptions(), out), kStatusOk);
  EXPECT_EQ(out[1].kind, Kind::kNull);

  const std::vector<uint8_t> longer = Pattern(4096, 0x21);
  out_.SetBytes(L"Data", longer);
  ASSERT_EQ(firmware().ExecuteMethod(GetBiosOptions(), out), kStatusOk);
  EXPECT_EQ(out[1].kind, Kind::kBytes);
  EXPECT_EQ(out[1].bytes, longer);

  out_.SetText(L"Data", L"not bytes");
  ASSERT_EQ(firmware().ExecuteMethod(GetBiosOptions(), out), kStatusOk);
  EXPECT_EQ(out[1].kind, Kind::kOther);
}

TEST_F(MethodTest, AnObjectInAnOutParameterIsReportedAsOtherAndNotKept) {
  // The references a VARIANT holds show whether the copies were cleared.
  FakeClassObject& held = wmi_.AddObject(L"held");
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_UNKNOWN;
  V_UNKNOWN(&v) = static_cast<IWbemClassObject*>(&held);
  held.AddRef();
  out_.SetValue(L"Data", v);
  VariantClear(&v);
  EXPECT_EQ(held.refs(), 1);  // the out-parameter object's own

  OpenAndForget();
  std::vector<FirmwareValue> out;
  ASSERT_EQ(firmware().ExecuteMethod(GetBiosOptions(), out), kStatusOk);
  EXPECT_EQ(out[1].kind, Kind::kOther);
  EXPECT_EQ(held.refs(), 1);
}

TEST_F(MethodTest, AFailingStepEndsTheCallWithItsStatus) {
  struct Case {
    const char* step;
    std::function<void(FakeWmi&, FakeClassObject& cls, FakeClassObject& in, FakeClassObject& out)> arrange;
    Status expected;
    bool executed;  // whether ExecMethod was reached
  };
  const Case cases[] = {
      {"GetObject",
       [](FakeWmi& w, FakeClassObject&, FakeClassObject&, FakeClassObject&) {
         w.services().getObjectResult = Hr(WBEM_E_NOT_FOUND);
       },
       Hr(WBEM_E_NOT_FOUND), false},
      {"GetObject without object",
       [](FakeWmi& w, FakeClassObject&, FakeClassObject&, FakeClassObject&) { w.services().classObject = nullptr; },
       kStatusFailed, false},
      {"GetMethod",
       [](FakeWmi&, FakeClassObject& cls, FakeClassObject&, FakeClassObject&) {
         cls.FailGetMethod(Hr(WBEM_E_METHOD_NOT_IMPLEMENTED));
       },
       Hr(WBEM_E_METHOD_NOT_IMPLEMENTED), false},
      {"GetMethod without in-parameters",
       [](FakeWmi&, FakeClassObject& cls, FakeClassObject&, FakeClassObject&) {
         cls.SetMethod(L"GetBiosOptions", nullptr);
       },
       Hr(WBEM_E_INVALID_PARAMETER), false},
      {"Put",
       [](FakeWmi&, FakeClassObject&, FakeClassObject& in, FakeClassObject&) {
         in.FailPut(L"Password", Hr(WBEM_E_TYPE_MISMATCH));
       },
       Hr(WBEM_E_TYPE_MISMATCH), false},
      {"ExecMethod",
       [](FakeWmi& w, FakeClassObject&, FakeClassObject&, FakeClassObject&) {
         w.services().execMethodResult = Hr(WBEM_E_INVALID_METHOD_PARAMETERS);
       },
       Hr(WBEM_E_INVALID_METHOD_PARAMETERS), true},
      {"ExecMethod without out-parameters",
       [](FakeWmi& w, FakeClassObject&, FakeClassObject&, FakeClassObject&) { w.services().outParams = nullptr; },
       kStatusFailed, true},
      {"Get ReturnCode",
       [](FakeWmi&, FakeClassObject&, FakeClassObject&, FakeClassObject& out) {
         out.FailGet(L"ReturnCode", Hr(WBEM_E_NOT_FOUND));
       },
       Hr(WBEM_E_NOT_FOUND), true},
      {"Get Data",
       [](FakeWmi&, FakeClassObject&, FakeClassObject&, FakeClassObject& out) {
         out.FailGet(L"Data", Hr(WBEM_E_FAILED));
       },
       Hr(WBEM_E_FAILED), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    FakeWmi wmi;
    FakeClassObject& cls = wmi.AddObject(L"class");
    FakeClassObject& in = wmi.AddObject(L"inParams");
    FakeClassObject& out_params = wmi.AddObject(L"outParams");
    wmi.services().classObject = &cls;
    wmi.services().outParams = &out_params;
    cls.SetMethod(L"GetBiosOptions", &in);
    out_params.SetInteger(L"ReturnCode", VT_I4, 0);
    out_params.SetBytes(L"Data", data_);
    c.arrange(wmi, cls, in, out_params);
    {
      WmiFirmware firmware(wmi.MakeRuntime());
      ASSERT_TRUE(firmware.Open());
      std::vector<FirmwareValue> out = {FirmwareValue::Int32(99)};
      EXPECT_EQ(firmware.ExecuteMethod(GetBiosOptions(), out), c.expected);
      EXPECT_TRUE(out.empty());
      EXPECT_EQ(Contains(wmi.calls(), L"services.ExecMethod("), c.executed);
      EXPECT_TRUE(firmware.IsOpen());  // a failed method leaves the connection as it was
    }
    EXPECT_THAT(wmi.Problems(), IsEmpty());
  }
}

TEST_F(MethodTest, AValueWithoutVariantFormIsRefusedBeforeTheCall) {
  OpenAndForget();
  MethodCall call = GetBiosOptions();
  call.in.push_back({L"Odd", {Kind::kOther, 0, {}}});
  std::vector<FirmwareValue> out;
  EXPECT_EQ(firmware().ExecuteMethod(call, out), static_cast<Status>(E_INVALIDARG));
  EXPECT_FALSE(Contains(wmi_.calls(), L"services.ExecMethod("));
}

TEST_F(MethodTest, AClosedConnectionFailsWithoutACall) {
  std::vector<FirmwareValue> out;
  EXPECT_EQ(firmware().ExecuteMethod(GetBiosOptions(), out), kStatusFailed);
  std::vector<std::optional<std::wstring>> names;
  EXPECT_EQ(firmware().QueryInstanceNames(L"SELECT * FROM KelmBiosConfigurationTool", names), kStatusFailed);
  EXPECT_THAT(wmi_.calls(), IsEmpty());
}

// ---------------------------------------------------------------- key scan

TEST_F(WmiFirmwareTest, KeyScanPassesTheCharacterSignExtended) {
  wmi_.keyScans[0x0061] = 0x001E;
  wmi_.keyScans[0x0031] = 0x0002;
  wmi_.keyScans[0xFFE9] = 0x12345678;
  EXPECT_EQ(firmware().KeyScan('a'), 0x001Eu);
  EXPECT_EQ(firmware().KeyScan('1'), 0x0002u);
  EXPECT_EQ(firmware().KeyScan('\xE9'), 0x12345678u);
  EXPECT_THAT(wmi_.calls(), ElementsAre(L"OemKeyScan(0x61)", L"OemKeyScan(0x31)", L"OemKeyScan(0xffe9)"));
}

}  // namespace
}  // namespace vort64
