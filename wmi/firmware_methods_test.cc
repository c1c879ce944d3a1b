#include "wmi/firmware_methods.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "wmi/scripted_firmware.h"

namespace vort64 {

// A message as a failed expectation shows it.
static void PrintTo(const Message& message, std::ostream* os) {
  *os << static_cast<int>(message.stream) << ":\"" << message.text << '"';
}

namespace {

// The firmware methods themselves, under test here.
using namespace methods;

using Stream = Message::Stream;

class FirmwareMethodsTest : public ::testing::Test {
 protected:
  FirmwareMethodsTest() : ctx_{firmware_, InterfaceVersion{2, 90}} {}

  ScriptedFirmware firmware_;
  FirmwareSession ctx_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(2048, 0);
};

TEST_F(FirmwareMethodsTest, PathIsTheFirstNamedInstanceWithBackslashesDoubled) {
  std::wstring path;
  ASSERT_EQ(GetInstancePath(firmware_, L"KelmBiosConfigurationTool", L"SELECT * FROM KelmBiosConfigurationTool", path),
            kStatusOk);
  EXPECT_EQ(path, L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"");

  GetBiosOptions(ctx_, "", buffer_);
  ASSERT_EQ(firmware_.calls.size(), 1u);
  EXPECT_EQ(firmware_.calls[0].objectPath, path);
  EXPECT_EQ(firmware_.queries.back(), L"SELECT * FROM KelmBiosConfigurationTool");
  LoadBIOSDefault(ctx_, "");
  EXPECT_EQ(firmware_.queries.back(), L"SELECT * FROM BIOSSetting");
  EXPECT_EQ(firmware_.calls[1].objectPath, L"BIOSSetting.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"");
}

TEST_F(FirmwareMethodsTest, NoNamedInstanceOrNoConnectionFailsTheCall) {
  // The simulated and the real provider both refuse an empty path.
  struct EmptyPathFirmware : ScriptedFirmware {
    Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) override {
      return call.objectPath.empty() ? kStatusFailed : ScriptedFirmware::ExecuteMethod(call, out);
    }
  } firmware;
  firmware.instances = {std::nullopt};
  FirmwareSession ctx{firmware, InterfaceVersion{2, 90}};
  const MethodOutcome load = LoadBIOSDefault(ctx, "");
  EXPECT_EQ(load.code, 1);
  EXPECT_EQ(load.said, (Messages{{Stream::kSay, "Error: WMI method execution failed.\n"}}));

  firmware_.open = false;
  const MethodOutcome get = GetBiosOptions(ctx_, "", buffer_);
  EXPECT_EQ(get.code, 1);
  EXPECT_EQ(get.said, (Messages{{Stream::kSay, "Error: WMI method execution failed. "}}));
  EXPECT_TRUE(firmware_.calls.empty());
}

TEST_F(FirmwareMethodsTest, PasswordArrayFollowsTheSessionsInterfaceVersion) {
  const struct {
    uint8_t minor;
    std::vector<uint8_t> array;
  } cases[] = {
      {90, {'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {56, {'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {55, {'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {50, {'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {49, {0x1E, 0x1F, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // scan codes, low byte only
      {0, {0x1E, 0x1F, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int{c.minor});
    ctx_.version = InterfaceVersion{2, c.minor};
    firmware_.calls.clear();
    GetBiosOptions(ctx_, std::string_view("abc\0\0\0\0\0\0\0\0\0\0\0\0\0", 16), buffer_);
    const auto& in = firmware_.calls.at(0).in;
    ASSERT_EQ(in.size(), 2u);
    EXPECT_EQ(in[0].name, L"PasswordLen");
    EXPECT_EQ(in[0].value.kind, FirmwareValue::Kind::kInt16);
    EXPECT_EQ(in[0].value.integer, 3);
    EXPECT_EQ(in[1].name, L"Password");
    EXPECT_EQ(in[1].value.bytes, c.array);
  }
  firmware_.calls.clear();
  GetBiosOptions(ctx_, std::string(16, '\0'), buffer_);
  EXPECT_EQ(firmware_.calls[0].in[0].value.integer, 0);
  EXPECT_EQ(firmware_.calls[0].in[1].value.bytes, std::vector<uint8_t>(12, 0));
  // No version known: 12 bytes of characters.
  ctx_.version.reset();
  firmware_.calls.clear();
  GetBiosOptions(ctx_, "ab", buffer_);
  EXPECT_EQ(firmware_.calls[0].in[1].value.bytes, (std::vector<uint8_t>{'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(FirmwareMethodsTest, SetMethodsSendTheWholeBlock) {
  std::vector<uint8_t> block(2048);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  SetBiosOptions(ctx_, "", block);
  SetBiosDefaultOptions(ctx_, "", block);
  for (const auto& call : firmware_.calls) {
    ASSERT_EQ(call.in.size(), 3u);
    EXPECT_EQ(call.in[2].name, L"Data");
    EXPECT_EQ(call.in[2].value.bytes, block);
    EXPECT_EQ(call.outNames, std::vector<std::wstring>{L"ReturnCode"});
  }
}

// Every operation hands back the firmware's code as it came, and one thing
// to say for it on standard output (or nothing); what each one says for
// each code is the end-to-end tests' one table.
TEST_F(FirmwareMethodsTest, EachOperationHandsBackTheCodeItMet) {
  using Op = MethodOutcome (*)(FirmwareSession&, std::vector<uint8_t>&);
  const Op get = [](FirmwareSession& c, std::vector<uint8_t>& b) { return GetBiosOptions(c, "", b); };
  const Op set = [](FirmwareSession& c, std::vector<uint8_t>& b) { return SetBiosOptions(c, "", b); };
  const Op getDefault = [](FirmwareSession& c, std::vector<uint8_t>& b) { return GetBiosDefaultOptions(c, "", b); };
  const Op setDefault = [](FirmwareSession& c, std::vector<uint8_t>& b) { return SetBiosDefaultOptions(c, "", b); };
  const Op loadFactory = [](FirmwareSession& c, std::vector<uint8_t>&) { return LoadBIOSDefault(c, ""); };
  const Op loadUser = [](FirmwareSession& c, std::vector<uint8_t>&) { return LoadUserDefault(c, ""); };
  const Op ops[] = {get, set, getDefault, setDefault, loadFactory, loadUser};
  for (const Op op : ops) {
    for (const int32_t code : {0, 1, 2, 3, 4, 5, 7, 8, 9, 42, 209, 210}) {
      SCOPED_TRACE(code);
      firmware_.codes = {{L"GetBiosOptions", code},        {L"SetBiosOptions", code},  {L"GetBiosDefaultOptions", code},
                         {L"SetBiosDefaultOptions", code}, {L"LoadBIOSDefault", code}, {L"LoadUserDefault", code}};
      const MethodOutcome outcome = op(ctx_, buffer_);
      EXPECT_TRUE(outcome.executed);
      EXPECT_EQ(outcome.code, code);
      EXPECT_EQ(outcome.passed(), code == 0 || code == 8);
      ASSERT_LE(outcome.said.size(), 1u);
      for (const Message& message : outcome.said) {
        EXPECT_EQ(message.stream, Stream::kSay);
        EXPECT_LE(std::count(message.text.begin(), message.text.end(), '\n'), 1) << message.text;
      }
      // Only a code the Set does not know goes unsaid.
      EXPECT_EQ(outcome.said.empty(), op == set && (code == 4 || code == 5 || code == 9 || code == 42));
    }
  }
  // A call that does not execute has no code of the firmware's: it fails as 1.
  firmware_.executes = false;
  for (const Op op : ops) {
    const MethodOutcome outcome = op(ctx_, buffer_);
    EXPECT_FALSE(outcome.executed);
    EXPECT_EQ(outcome.code, 1);
    EXPECT_FALSE(outcome.passed());
    ASSERT_EQ(outcome.said.size(), 1u);
    EXPECT_TRUE(outcome.said[0].text.starts_with("Error: WMI method execution failed."));
    // The defaults' read says its failure even while quiet.
    EXPECT_EQ(outcome.said[0].stream, op == getDefault ? Stream::kOut : Stream::kSay);
  }
}

TEST_F(FirmwareMethodsTest, GetFillsTheBufferOnlyOnPassingCodes) {
  const struct {
    bool defaults;
    int32_t code;
    bool filled;
  } cases[] = {{false, 0, true}, {false, 8, true}, {false, 2, false},
               {true, 0, true},  {true, 8, false}, {true, 3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.defaults) + " " + std::to_string(c.code));
    std::fill(buffer_.begin(), buffer_.end(), uint8_t{0});
    firmware_.codes = {{L"GetBiosOptions", c.code},        {L"SetBiosOptions", c.code},
                       {L"GetBiosDefaultOptions", c.code}, {L"SetBiosDefaultOptions", c.code},
                       {L"LoadBIOSDefault", c.code},       {L"LoadUserDefault", c.code}};
    if (c.defaults) {
      GetBiosDefaultOptions(ctx_, "", buffer_);
    } else {
      GetBiosOptions(ctx_, "", buffer_);
    }
    EXPECT_EQ(buffer_[0], c.filled ? 7 : 0);
    EXPECT_EQ(buffer_[2047], c.filled ? 7 : 0);
  }
  // A longer block is cut at the buffer's end; a null one leaves it alone.
  firmware_.codes.clear();
  firmware_.data = FirmwareValue::Bytes(std::vector<uint8_t>(4096, 9));
  std::vector<uint8_t> exact(2048, 0);
  GetBiosOptions(ctx_, "", exact);
  EXPECT_EQ(exact, std::vector<uint8_t>(2048, 9));
  firmware_.data = FirmwareValue{FirmwareValue::Kind::kNull, 0, {}};
  GetBiosOptions(ctx_, "", exact);
  EXPECT_EQ(exact, std::vector<uint8_t>(2048, 9));
}

// A run with a password file: the call hands back the file's line for what
// came of its passwords on standard error, before the method's message; a
// call after the passwords were refused for good makes no call and says the
// method's message alone.
TEST_F(FirmwareMethodsTest, ThePasswordFilesLinesComeBeforeTheMethodsMessage) {
  const std::string notTried =
      "; line 3 on not tried (a run makes at most 2 refused calls, so that the firmware does not lock)\n";
  const struct {
    const char* name;
    std::map<size_t, int32_t> codes;  // by call
    size_t calls;
    Messages first;
    Messages second;  // a second Get of the run
  } cases[] = {
      {"own accepted",
       {},
       2,
       {{Stream::kSay, "Get BIOS options success.\n"}},
       {{Stream::kSay, "Get BIOS options success.\n"}}},
      {"line 2 accepted",
       {{0, 2}},
       3,
       {{Stream::kErr, "password: line 2 of pw.txt accepted\n"}, {Stream::kSay, "Get BIOS options success.\n"}},
       {{Stream::kSay, "Get BIOS options success.\n"}}},
      {"two refused",
       {{0, 2}, {1, 2}},
       2,
       {{Stream::kErr, "password: lines 1 to 2 of pw.txt refused" + notTried},
        {Stream::kSay, "Error: Incorrect password.\n"}},
       {{Stream::kSay, "Error: Incorrect password.\n"}}},
      {"retries exceeded",
       {{0, 7}},
       1,
       {{Stream::kErr,
         "password: line 1 of pw.txt refused; line 2 on not tried (a run makes at most 2 refused calls, so that the "
         "firmware does not lock)\n"},
        {Stream::kSay, "Error: Password retry count exceeded.\n"}},
       {{Stream::kSay, "Error: Password retry count exceeded.\n"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    firmware_.calls.clear();
    firmware_.codeOfCall = c.codes;
    firmware_.refusedPasswordCalls = 0;
    ctx_.passwords = {};
    ctx_.passwords.own = "New1";
    ctx_.passwords.earlier = {"Old2", "Old3"};
    ctx_.passwords.file = "pw.txt";
    EXPECT_EQ(GetBiosOptions(ctx_, "New1", buffer_).said, c.first);
    EXPECT_EQ(GetBiosOptions(ctx_, "New1", buffer_).said, c.second);
    EXPECT_EQ(firmware_.calls.size(), c.calls);
  }
}

// The refused calls of earlier runs since the machine started count: a run
// sends a password whose acceptance it does not know only while fewer than
// two were refused in a row, counts it before it is sent, and sets the count
// to 0 when the firmware accepts it.
TEST_F(FirmwareMethodsTest, RefusedCallsCountAcrossRuns) {
  using Why = MethodOutcome::Withheld;
  const struct {
    const char* name;
    int before;                       // the count kept by earlier runs
    std::map<size_t, int32_t> codes;  // by call
    size_t calls;
    std::vector<int> kept;  // every count kept, in order
    Why withheld;           // of the first Get
    Messages said;          // by the first Get
  } cases[] = {
      {"accepted at once", 0, {}, 1, {1, 0}, Why::kNo, {{Stream::kSay, "Get BIOS options success.\n"}}},
      {"line 2 accepted after one refused",
       0,
       {{0, 2}},
       2,
       {1, 2, 0},
       Why::kNo,
       {{Stream::kErr, "password: line 2 of pw.txt accepted\n"}, {Stream::kSay, "Get BIOS options success.\n"}}},
      {"one refused before: one call left",
       1,
       {{0, 2}},
       1,
       {2},
       Why::kNo,
       {{Stream::kErr,
         "password: line 1 of pw.txt refused; line 2 on not tried (2 password calls were refused since the notebook "
         "started, so that the firmware does not lock)\n"},
        {Stream::kSay, "Error: Incorrect password.\n"}}},
      {"one refused before, accepted", 1, {}, 1, {2, 0}, Why::kNo, {{Stream::kSay, "Get BIOS options success.\n"}}},
      {"two refused before: no call", 2, {}, 0, {}, Why::kLockoutAvoided, {{Stream::kErr, kLockoutAvoidedLine}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    firmware_.calls.clear();
    firmware_.codeOfCall = c.codes;
    firmware_.refusedPasswordCalls = c.before;
    firmware_.keptRefusals.clear();
    firmware_.countAtCall.clear();
    ctx_.passwords = {};
    ctx_.passwords.own = "New1";
    ctx_.passwords.earlier = {"Old2", "Old3"};
    ctx_.passwords.file = "pw.txt";
    const MethodOutcome first = GetBiosOptions(ctx_, "New1", buffer_);
    EXPECT_EQ(first.withheld, c.withheld);
    EXPECT_EQ(first.said, c.said);
    // A later call of the run is sent only once a password was accepted, and
    // is not counted then; otherwise it answers as the first, saying nothing
    // of its own but the method's message.
    const MethodOutcome second = GetBiosOptions(ctx_, "New1", buffer_);
    EXPECT_EQ(second.withheld, c.withheld);
    EXPECT_EQ(firmware_.calls.size(), c.calls + (first.passed() ? 1u : 0u));
    EXPECT_EQ(firmware_.keptRefusals, c.kept);
    EXPECT_LE(firmware_.refusedPasswordCalls, kMostRefusedCalls);
    // Each call was counted before it was sent: a run killed during it has
    // counted it.
    for (size_t i = 0; i < c.calls; ++i) EXPECT_EQ(firmware_.countAtCall[i], c.before + static_cast<int>(i) + 1);
  }
}

// A count that cannot be read or written sends nothing; a call that did not
// execute was no refusal and takes its count back.
TEST_F(FirmwareMethodsTest, ACountThatCannotBeUsedSendsNothing) {
  using Why = MethodOutcome::Withheld;
  for (const bool readable : {false, true}) {
    SCOPED_TRACE(readable);
    firmware_.calls.clear();
    firmware_.refusalsReadable = readable;
    firmware_.refusalsWritable = false;
    ctx_.passwords = {};
    const MethodOutcome outcome = GetBiosOptions(ctx_, "New1", buffer_);
    EXPECT_EQ(outcome.withheld, Why::kCountUnusable);
    EXPECT_FALSE(outcome.executed);
    EXPECT_EQ(outcome.said, (Messages{{Stream::kErr, kCountUnusableLine}}));
    EXPECT_TRUE(firmware_.calls.empty());
  }
  firmware_.refusalsReadable = true;
  firmware_.refusalsWritable = true;
  firmware_.refusedPasswordCalls = 1;
  firmware_.keptRefusals.clear();
  firmware_.executes = false;
  ctx_.passwords = {};
  EXPECT_FALSE(GetBiosOptions(ctx_, "New1", buffer_).executed);
  EXPECT_EQ(firmware_.keptRefusals, (std::vector<int>{2, 1}));
}

}  // namespace
}  // namespace vort64
