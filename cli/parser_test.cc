#include "cli/parser.h"
#include "cli/value_parsers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/text_rules.h"
#include "cli/messages.h"
#include "cli/test_support.h"

namespace vort64 {
namespace {

using cli_test::Harness;
using cli_test::kUsage;

enum class Catalog { kCurrent, kCombined, kBaseline };

using Check = std::function<void(const ParsedRequest&, const RunContext&)>;

struct ParseCase {
  const char* label;
  uint32_t minor;
  std::vector<std::wstring> args;  // after the program name
  bool ok;
  std::string out;
  std::string err;
  std::string quietOut;  // what is left with quiet output on
  std::string quietErr;
  Check check = nullptr;
  Catalog catalog = Catalog::kCurrent;
};

SettingCatalog MakeCatalog(Catalog kind) {
  switch (kind) {
    case Catalog::kCombined: return cli_test::CombinedCatalog();
    case Catalog::kBaseline: return cli_test::BaselineCatalog();
    default: return cli_test::CurrentCatalog();
  }
}

std::string Usage() { return kUsage; }

// The echo shows a password as eight asterisks, whatever its length.
std::string Masked(const std::string& password) { return password.empty() ? "" : "********"; }

// The block that repeats a five-argument request.
std::string Echo(const std::string& password, const std::string& function, const std::string& item) {
  return "Password = " + Masked(password) + "\nFunctionName = " + function + "\nItem = " + item + "\n\n";
}
std::string Echo(const std::string& password, const std::string& function, const std::string& item,
                 const std::string& value) {
  return "Password = " + Masked(password) + "\nFunctionName = " + function + "\nItem = " + item + "\nValue = " + value +
         "\n\n";
}
std::string EchoFlag(const std::string& function, const std::string& item, int flag) {
  return "Password = ********\nFunctionName = " + function + "\nItem = " + item +
         "\nValue = 0\nItem = flag for setting\nValue = " + std::to_string(flag) + "\n\n";
}

// The refusal of a plain value that is not a decimal number from 0 to 254.
std::string RefusedValue(const std::string& value, const std::string& item, const std::string& reason = "") {
  return "Invalid value \"" + value + "\" of " + item + ": " + reason +
         "a decimal number from 0 to 254 is expected.\n\n";
}

std::string InvalidItem(const std::string& item) { return "Invalid Item auto test\n\n" + item + "\nInvalid Item\n\n"; }

// A name no interface version has: a typo, said so, with the nearest names.
std::string UnknownItem(const std::string& item, const std::string& nearest = "") {
  return InvalidItem(item) + item + ": unknown setting" + (nearest.empty() ? "" : " (nearest: " + nearest + ")") +
         "\n\n";
}

// The function a typed word stands for; kNone for the empty word.
Function FunctionOf(std::wstring_view word) {
  if (word.empty()) return Function::kNone;
  if (word == L"password") return Function::kPassword;
  if (word == L"load-factory-default") return Function::kLoadFactoryDefault;
  if (word == L"load-user-default") return Function::kLoadUserDefault;
  const auto function = ItemFunction(word);
  EXPECT_TRUE(function.has_value()) << "no function word";
  return function.value_or(Function::kNone);
}

Check Fields(std::wstring function, std::wstring item) {
  return [function, item](const ParsedRequest& r, const RunContext&) {
    EXPECT_EQ(r.function, FunctionOf(function));
    EXPECT_EQ(r.itemName, item);
  };
}

// The value the parser kept, as bytes.
std::vector<uint8_t> ValueOf(const ParsedRequest& r) { return {r.value.span().begin(), r.value.span().end()}; }
std::string ValueText(const ParsedRequest& r) { return {r.value.span().begin(), r.value.span().end()}; }

Check Byte(std::wstring function, std::wstring item, uint8_t value) {
  return [function, item, value](const ParsedRequest& r, const RunContext&) {
    EXPECT_EQ(r.function, FunctionOf(function));
    EXPECT_EQ(r.itemName, item);
    EXPECT_EQ(r.ByteValue(), value);
    EXPECT_EQ(FixedText(r.currentPassword), "pw");
  };
}

Check NewPassword(std::wstring item, PasswordSlot slot, std::string stored) {
  return [item, slot, stored](const ParsedRequest& r, const RunContext&) {
    EXPECT_EQ(r.itemName, item);
    EXPECT_EQ(r.newPasswordSlot, slot);
    EXPECT_EQ(r.NewPasswordText(), stored);
  };
}

const std::wstring P = L"/password";
const std::wstring kLong260(260, L'x');

std::vector<ParseCase> ShapeCases() {
  const std::string tooMany = "Too many arguments\n\n";
  return {
      {"program alone", 90, {}, false, Usage(), "", "", ""},
      {"/? alone", 90, {L"/?"}, false, Usage(), "", "", ""},
      {"/h before a whole request", 90, {L"/h", L"pw", L"/get", L"boot mode"}, false, Usage(), "", "", ""},
      {"-h", 90, {L"-h"}, false, Usage(), "", "", ""},
      {"--help", 90, {L"--help"}, false, Usage(), "", "", ""},
      {"/help before a whole request", 90, {L"/help", L"pw", L"/get", L"boot mode"}, false, Usage(), "", "", ""},
      {"-?", 90, {L"-?"}, false, Usage(), "", "", ""},
      {"/? before too many", 90, {L"/?", L"pw", L"/get", L"boot mode", L"/i"}, false, Usage(), "", "", ""},
      {"/H is an ordinary single argument", 90, {L"/H"}, true, "", "", "", "", Fields(L"", L"")},
      {"one argument parses nothing", 90, {L"hello"}, true, "", "", "", "", Fields(L"", L"")},
      {"six arguments", 90, {P, L"pw", L"/get", L"boot mode", L"/x"}, false, Usage(), tooMany, "", ""},
      {"seven arguments", 90, {P, L"pw", L"/get", L"boot mode", L"/i", L"x"}, false, Usage(), tooMany, "", ""},
      {"single argument too long", 90, {kLong260}, false, Usage(), "", "", ""},
      {"function switch too long",
       90,
       {P, L"pw", L"/" + std::wstring(259, L'g'), L"boot mode"},
       false,
       Usage(),
       "",
       "",
       ""},
      {"item argument too long",
       90,
       {P, L"pw", L"/get", L"boot mode" + std::wstring(251, L' ')},
       false,
       Usage(),
       "",
       "",
       ""},
      {"item argument of 259 characters fits",
       90,
       {P, L"pw", L"/get", L"boot mode" + std::wstring(250, L' ')},
       false,
       Usage(),
       UnknownItem("boot mode" + std::string(250, ' ')),
       "",
       UnknownItem("boot mode" + std::string(250, ' '))},
      {"long password meets the password check",
       90,
       {P, std::wstring(300, L'a')},
       false,
       Usage(),
       "The length of password is too long.\n",
       "",
       ""},
  };
}

std::vector<ParseCase> PasswordOnlyCases() {
  return {
      {"password alone",
       90,
       {P, L"secret"},
       true,
       "",
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.function, FunctionOf(L"password"));
         EXPECT_EQ(FixedText(r.currentPassword), "secret");
       }},
      {"password alone wants the exact switch", 90, {L"/PASSWORD", L"secret"}, false, Usage(), "", "", ""},
      {"password alone with a tab", 90, {P, L"a\tb"}, false, Usage(), "Password has invalid characters.\n\n", "", ""},
      {"password alone below 2.55",
       54,
       {P, L"secret"},
       true,
       "",
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) { EXPECT_EQ(FixedText(r.currentPassword), "SECRET"); }},
      {"load factory defaults",
       90,
       {P, L"pw", L"/load-factory-default"},
       true,
       "",
       "",
       "",
       "",
       Fields(L"load-factory-default", L"")},
      {"load user defaults",
       90,
       {P, L"pw", L"/load-user-default"},
       true,
       "",
       "",
       "",
       "",
       Fields(L"load-user-default", L"")},
      {"load defaults with the switch in any case",
       90,
       {L"/PassWord", L"pw", L"/load-user-default"},
       true,
       "",
       "",
       "",
       "",
       Fields(L"load-user-default", L"")},
      {"load defaults: the password parser wants the slash",
       90,
       {L"-password", L"pw", L"/load-user-default"},
       false,
       Usage(),
       "Invalid argument\n\n",
       "",
       ""},
      {"load defaults with a wrong switch",
       90,
       {L"/passwd", L"pw", L"/load-factory-default"},
       false,
       Usage(),
       "Invalid Function Name\n",
       "",
       "Invalid Function Name\n"},
      {"load defaults function is case-sensitive",
       90,
       {P, L"pw", L"/LOAD-FACTORY-DEFAULT"},
       false,
       Usage(),
       "",
       "",
       ""},
      {"show settings",
       90,
       {P, L"pw", L"/show-settings"},
       true,
       "",
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.function, Function::kShowSettings);
         EXPECT_EQ(FixedText(r.currentPassword), "pw");
       }},
      {"show settings in any case",
       90,
       {P, L"pw", L"/Show-Settings"},
       true,
       "",
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) { EXPECT_EQ(r.function, Function::kShowSettings); }},
      {"show settings with a password too long",
       90,
       {P, L"abcdefghijklmnopq", L"/show-settings"},
       false,
       Usage(),
       "The length of password is too long.\n",
       "",
       ""},
      {"rotate the supervisor password, in any case",
       54,
       {P, L"pw", L"/Rotate-Password"},
       true,
       "",
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.function, Function::kRotatePassword);
         EXPECT_EQ(FixedText(r.currentPassword), "PW");  // kept as the version keeps it
       }},
      {"rotation to an empty password",
       90,
       {P, L"", L"/rotate-password"},
       false,
       Usage(),
       "Rotation: the first password is empty, so there is no password to rotate to.\n\n",
       "",
       ""},
      {"rotation with a password too long",
       90,
       {P, L"abcdefghijklmnopq", L"/rotate-password"},
       false,
       Usage(),
       "The length of password is too long.\n",
       "",
       ""},
      {"four arguments with another function", 90, {P, L"pw", L"/get"}, false, Usage(), "", "", ""},
  };
}

std::vector<ParseCase> ItemCases() {
  const std::string captureFailed = "Failed to capture value\n\n";
  const std::string invalidFunction = "Invalid Function Name\n\n";
  const std::string invalidArgument = "Invalid argument\n\n";
  return {
      {"set a plain value",
       90,
       {P, L"pw", L"/set", L"boot mode=1"},
       true,
       "Password = ********\nFunctionName = set\nItem = boot mode\nValue = 1\n\n",
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.function, FunctionOf(L"set"));
         EXPECT_EQ(r.itemName, L"boot mode");
         EXPECT_EQ(r.itemText, L"boot mode");
         EXPECT_EQ(r.valueText, L"1");
         EXPECT_EQ(r.ByteValue(), 1);
         EXPECT_EQ(FixedText(r.currentPassword), "pw");
         EXPECT_FALSE(r.formPassword.has_value());
         EXPECT_FALSE(r.quietOutput);
       }},
      {"blanks around the equals sign stay in the name",
       90,
       {P, L"pw", L"/set", L"boot mode = 1"},
       false,
       Usage(),
       UnknownItem("boot mode ", "boot mode"),
       "",
       UnknownItem("boot mode ", "boot mode")},
      {"everything lower-cased",
       90,
       {L"/PASSWORD", L"pw", L"/GET", L"Boot Mode"},
       true,
       Echo("pw", "GET", "Boot Mode"),
       "",
       "",
       "",
       Fields(L"get", L"boot mode")},
      {"get with a value",
       90,
       {P, L"pw", L"/get", L"boot mode=1"},
       false,
       Usage(),
       invalidArgument,
       "",
       invalidArgument},
      {"blanks around a value",
       90,
       {P, L"pw", L"/set", L"fast boot=\t 12  "},
       true,
       Echo("pw", "set", "fast boot", "12"),
       "",
       "",
       "",
       Byte(L"set", L"fast boot", 12)},
      {"the highest value",
       90,
       {P, L"pw", L"/set", L"fast boot=254"},
       true,
       Echo("pw", "set", "fast boot", "254"),
       "",
       "",
       "",
       Byte(L"set", L"fast boot", 254)},
      {"leading zeros",
       90,
       {P, L"pw", L"/set", L"fast boot=007"},
       true,
       Echo("pw", "set", "fast boot", "7"),
       "",
       "",
       "",
       Byte(L"set", L"fast boot", 7)},
      {"leading blanks of a value",
       90,
       {P, L"pw", L"/set", L"fast boot= 12"},
       true,
       Echo("pw", "set", "fast boot", "12"),
       "",
       "",
       "",
       Byte(L"set", L"fast boot", 12)},
      {"leading equals signs are skipped",
       90,
       {P, L"pw", L"/set", L"==fast boot=5"},
       true,
       Echo("pw", "set", "fast boot", "5"),
       "",
       "",
       "",
       Byte(L"set", L"fast boot", 5)},
      {"set without a value", 90, {P, L"pw", L"/set", L"fast boot"}, false, Usage(), captureFailed, "", ""},
      {"set with an empty value", 90, {P, L"pw", L"/set", L"fast boot="}, false, Usage(), captureFailed, "", ""},
      {"get-default ignores its value and echoes nothing",
       90,
       {P, L"pw", L"/get-default", L"boot mode=5"},
       true,
       "",
       "",
       "",
       "",
       Fields(L"get-default", L"boot mode")},
      {"set-default of a plain value",
       90,
       {P, L"pw", L"/set-default", L"boot mode=0"},
       true,
       Echo("pw", "set-default", "boot mode", "0"),
       "",
       "",
       "",
       Byte(L"set-default", L"boot mode", 0)},
      {"unknown function", 90, {P, L"pw", L"/frob", L"boot mode"}, false, Usage(), invalidFunction, "", ""},
      {"empty function switch", 90, {P, L"pw", L"", L"boot mode"}, false, Usage(), invalidFunction, "", ""},
      {"clear with an item that has no alias",
       90,
       {P, L"pw", L"/clear", L"boot mode"},
       false,
       Usage(),
       invalidFunction,
       "",
       ""},
      {"item not in the catalog",
       90,
       {P, L"pw", L"/get", L"no such thing"},
       false,
       Usage(),
       UnknownItem("no such thing"),
       "",
       UnknownItem("no such thing")},
      {"empty item", 90, {P, L"pw", L"/get", L""}, false, Usage(), UnknownItem(""), "", UnknownItem("")},
      {"only equals signs", 90, {P, L"pw", L"/set", L"==="}, false, Usage(), UnknownItem(""), "", UnknownItem("")},
      {"autotest",
       90,
       {P, L"pw", L"/get", L"autotest"},
       true,
       Echo("pw", "get", "autotest"),
       "Invalid Item auto test\n\nautotest\ntrue auto test\n\n",
       "",
       "Invalid Item auto test\n\nautotest\ntrue auto test\n\n",
       Fields(L"get", L"autotest")},
      {"autotest in capitals",
       90,
       {P, L"pw", L"/get", L"AutoTest"},
       true,
       Echo("pw", "get", "AutoTest"),
       "Invalid Item auto test\n\nautotest\ntrue auto test\n\n",
       "",
       "Invalid Item auto test\n\nautotest\ntrue auto test\n\n",
       Fields(L"get", L"autotest")},
      {"set autotest without a value",
       90,
       {P, L"pw", L"/set", L"autotest"},
       false,
       Usage(),
       "Invalid Item auto test\n\nautotest\ntrue auto test\n\n" + captureFailed,
       "",
       "Invalid Item auto test\n\nautotest\ntrue auto test\n\n"},
      {"password switch checked in the five-argument form",
       90,
       {L"/pw", L"pw", L"/get", L"boot mode"},
       false,
       Usage(),
       invalidArgument,
       "",
       ""},
      {"password too long in the five-argument form",
       90,
       {P, L"abcdefghijklmnopq", L"/get", L"boot mode"},
       false,
       Usage(),
       "The length of password is too long.\n",
       "",
       ""},
      {"password shown upper-cased below 2.55",
       54,
       {P, L"secret", L"/get", L"boot mode"},
       true,
       Echo("SECRET", "get", "boot mode"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) { EXPECT_EQ(FixedText(r.currentPassword), "SECRET"); },
       Catalog::kBaseline},
      {"password shown as typed on 2.55",
       55,
       {P, L"secret", L"/get", L"boot mode"},
       true,
       Echo("secret", "get", "boot mode"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) { EXPECT_EQ(FixedText(r.currentPassword), "secret"); },
       Catalog::kBaseline},
  };
}

std::vector<ParseCase> AliasCases() {
  return {
      {"clear tpm",
       90,
       {P, L"pw", L"/clear", L"tpm"},
       true,
       Echo("pw", "clear", "tpm", "1"),
       "",
       "",
       "",
       Byte(L"set", L"clear tpm(tcm)", 1)},
      {"clear TCM",
       90,
       {P, L"pw", L"/clear", L"TCM=0"},
       true,
       Echo("pw", "clear", "TCM", "1"),
       "",
       "",
       "",
       Byte(L"set", L"clear tpm(tcm)", 1)},
      {"clean gpt",
       90,
       {P, L"pw", L"/Clean", L"gpt"},
       true,
       Echo("pw", "Clean", "gpt", "1"),
       "",
       "",
       "",
       Byte(L"set", L"clean gpt", 1)},
      {"clear a password status",
       90,
       {P, L"pw", L"/clear", L"user password status=5"},
       true,
       Echo("pw", "clear", "user password status", "0"),
       "",
       "",
       "",
       Byte(L"set", L"user password status", 0)},
      {"tpm state for get",
       90,
       {P, L"pw", L"/get", L"TPM State"},
       true,
       Echo("pw", "get", "TPM State"),
       "",
       "",
       "",
       Fields(L"get", L"current tpm 2.0 state")},
      {"current tcm state for get",
       90,
       {P, L"pw", L"/get", L"current tcm state"},
       true,
       Echo("pw", "get", "current tcm state"),
       "",
       "",
       "",
       Fields(L"get", L"current tpm 2.0 state")},
      {"tcm state for set",
       90,
       {P, L"pw", L"/set", L"tcm state=1"},
       true,
       Echo("pw", "set", "tcm state", "1"),
       "",
       "",
       "",
       Byte(L"set", L"change tpm 2.0 state", 1)},
      {"current tpm state has no set alias",
       90,
       {P, L"pw", L"/set", L"current tpm state=1"},
       false,
       Usage(),
       InvalidItem("current tpm state"),
       "",
       InvalidItem("current tpm state")},
      {"tpm state has no alias for get-default",
       90,
       {P, L"pw", L"/get-default", L"tpm state"},
       false,
       Usage(),
       InvalidItem("tpm state"),
       "",
       InvalidItem("tpm state")},
      {"boot device for any function",
       90,
       {P, L"pw", L"/get-default", L"boot device"},
       true,
       "",
       "",
       "",
       "",
       Fields(L"get-default", L"boot priority order")},
      {"boot device for set",
       90,
       {P, L"pw", L"/set", L"Boot Device=3,1,2"},
       true,
       "1st == 3\n2nd == 1\n3rd == 2\n" + Echo("pw", "set", "Boot Device", "0"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.itemName, L"boot priority order");
         EXPECT_EQ(ValueOf(r),
                   (std::vector<uint8_t>{3, 1, 2, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}));
       }},
      {"supervisor password alias announces itself",
       90,
       {P, L"pw", L"/set", L"supervisor password=NewPw1"},
       true,
       "set supervisor password\ng_new_supervisor_password : ********\n" + EchoFlag("set", "supervisor password", 1),
       "",
       "set supervisor password\n",
       "",
       NewPassword(L"set supervisor password", PasswordSlot::kSupervisor, "NewPw1")},
      {"supervisor password alias only for set",
       90,
       {P, L"pw", L"/set-default", L"supervisor password=x"},
       false,
       Usage(),
       InvalidItem("supervisor password"),
       "",
       InvalidItem("supervisor password")},
      {"user password alias",
       72,
       {P, L"pw", L"/set", L"user password=abc"},
       true,
       "g_new_user_password : ********\n" + EchoFlag("set", "user password", 2),
       "",
       "",
       "",
       NewPassword(L"set user password", PasswordSlot::kUser, "abc")},
      {"no flag lines before 2.72",
       71,
       {P, L"pw", L"/set", L"user password=abc"},
       true,
       "g_new_user_password : ********\n" + Echo("pw", "set", "user password", "0"),
       "",
       "",
       "",
       NewPassword(L"set user password", PasswordSlot::kUser, "abc")},
      {"hdd1 password alias",
       90,
       {P, L"pw", L"/set", L"hdd1 password=disk"},
       true,
       "g_new_hdd_password : ********\n" + EchoFlag("set", "hdd1 password", 8),
       "",
       "",
       "",
       NewPassword(L"set hdd1 password", PasswordSlot::kHdd, "disk")},
      {"opal password",
       85,
       {P, L"pw", L"/set", L"set hdd2(opal) password=opalpw"},
       true,
       "g_new_opal_password : ********\n" + EchoFlag("set", "set hdd2(opal) password", 16),
       "",
       "",
       "",
       NewPassword(L"set hdd2(opal) password", PasswordSlot::kOpal, "opalpw")},
      {"combined hdd name is the layout's own name for set",
       74,
       {P, L"pw", L"/set", L"set hdd0/hdd0(opal) password=x"},
       true,
       "g_new_hdd_password : ********\n" + EchoFlag("set", "set hdd0/hdd0(opal) password", 4),
       "",
       "",
       "",
       NewPassword(L"set hdd0/hdd0(opal) password", PasswordSlot::kHdd, "x"),
       Catalog::kCombined},
      {"drive password alias reaches the combined name",
       74,
       {P, L"pw", L"/set", L"hdd1 password=disk"},
       true,
       "g_new_hdd_password : ********\n" + EchoFlag("set", "hdd1 password", 8),
       "",
       "",
       "",
       NewPassword(L"set hdd1/hdd1(opal) password", PasswordSlot::kHdd, "disk"),
       Catalog::kCombined},
      {"combined hdd name with set-default is a password",
       74,
       {P, L"pw", L"/set-default", L"set hdd1/hdd1(opal) password=disk"},
       true,
       "g_new_hdd_password : ********\n" + EchoFlag("set-default", "set hdd1/hdd1(opal) password", 8),
       "",
       "",
       "",
       NewPassword(L"set hdd1/hdd1(opal) password", PasswordSlot::kHdd, "disk"),
       Catalog::kCombined},
      {"new password refused",
       90,
       {P, L"pw", L"/set", L"user password=ab\tc"},
       false,
       Usage() + "ParsePassword failed\n",
       "Password has invalid characters.\n\n",
       "ParsePassword failed\n",
       ""},
  };
}

std::vector<ParseCase> FormCases() {
  return {
      {"current password form",
       90,
       {P, L"pw", L"/set", L"current password=old pw,set user password=new1"},
       true,
       "g_new_user_password : ********\n" + EchoFlag("set", "set user password", 2),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.itemName, L"set user password");
         EXPECT_EQ(r.itemText, L"set user password");
         EXPECT_EQ(r.valueText, L"new1");
         EXPECT_EQ(r.formPassword, std::optional<std::wstring>(L"old pw"));
         EXPECT_EQ(r.NewPasswordText(), "new1");
       }},
      {"current password form with a blank and an alias",
       90,
       {P, L"pw", L"/set", L"current password= ,User Password="},
       true,
       "g_new_user_password : \n" + EchoFlag("set", "User Password", 2),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.itemName, L"set user password");
         EXPECT_EQ(r.formPassword, std::optional<std::wstring>(L" "));
       }},
      {"current password form without a comma",
       90,
       {P, L"pw", L"/set", L"current password=old=x"},
       false,
       Usage(),
       "",
       "",
       ""},
      {"current password form without the second equals sign",
       90,
       {P, L"pw", L"/set", L"current password=old,set user password"},
       false,
       Usage(),
       "",
       "",
       ""},
      {"current password form with nothing after it",
       90,
       {P, L"pw", L"/set", L"current password"},
       false,
       Usage(),
       "",
       "",
       ""},
      {"current password form is case-sensitive",
       90,
       {P, L"pw", L"/set", L"Current Password=old,set user password=x"},
       false,
       Usage(),
       UnknownItem("current password"),
       "",
       UnknownItem("current password")},
  };
}

std::vector<ParseCase> TypedValueCases() {
  const std::string badTime = "Invalid value of time\n";
  const std::string badDate = "Invalid value of date\n";
  const std::string badAsset = "Asset tag has invalid characters, alphabet or digit only.\n";
  return {
      {"time with colons",
       90,
       {P, L"pw", L"/set", L"time=23:59:59"},
       true,
       "hour == 23\nminute == 59\nsecond == 59\n" + Echo("pw", "set", "time", "0"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(ValueOf(r), (std::vector<uint8_t>{59, 59, 23}));  // second, minute, hour
       }},
      {"time kept with commas",
       90,
       {P, L"pw", L"/set", L"time=238,238,238"},
       true,
       "hour == 238\nminute == 238\nsecond == 238\n" + Echo("pw", "set", "time", "0"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(ValueOf(r), (std::vector<uint8_t>{238, 238, 238}));
       }},
      {"hour 24", 90, {P, L"pw", L"/set", L"time=24:00:00"}, false, Usage(), badTime, "", ""},
      {"time without seconds", 90, {P, L"pw", L"/set", L"time=10:20"}, false, Usage(), badTime, "", ""},
      {"time with mixed separators", 90, {P, L"pw", L"/set", L"time=1:2,3,4"}, false, Usage(), badTime, "", ""},
      {"leap day",
       90,
       {P, L"pw", L"/set", L"date=2024/2/29"},
       true,
       "month == 2\nday == 29\nyear == 24\n" + Echo("pw", "set", "date", "0"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(ValueOf(r), (std::vector<uint8_t>{29, 2, 24}));
       }},
      {"april 31",
       90,
       {P, L"pw", L"/set", L"date=2024/4/31"},
       false,
       "month == 4\nday == 31\nyear == 24\n",
       badDate,
       "",
       ""},
      {"year 2100", 90, {P, L"pw", L"/set", L"date=2100/1/1"}, false, Usage(), badDate, "", ""},
      {"gpt partition record",
       90,
       {P, L"pw", L"/set", L"gpt partition record=2024,5,17,13,45"},
       true,
       "minute == 45\nhour == 13\nmonth == 5\nday == 17\nyear == 24\n" + Echo("pw", "set", "gpt partition record", "0"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(ValueOf(r), (std::vector<uint8_t>{45, 13, 17, 5, 24}));
       }},
      {"gpt partition record too short",
       90,
       {P, L"pw", L"/set", L"gpt partition record=2024,5"},
       false,
       "",
       badDate,
       "",
       ""},
      {"boot order over 255",
       90,
       {P, L"pw", L"/set", L"boot priority order=3,300"},
       false,
       Usage(),
       "Failed to capture boot priority order\n",
       "",
       ""},
      {"mac address from 2.79",
       90,
       {P, L"pw", L"/set", L"customized mac address=00-1A-2B-3C-4D-5E"},
       true,
       Echo("pw", "set", "customized mac address", "0-26-43-60-77-94"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(ValueOf(r), (std::vector<uint8_t>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
       }},
      {"mac address before 2.79",
       78,
       {P, L"pw", L"/set", L"customized mac address=00-1A-2B-3C-4D-5E"},
       true,
       Echo("pw", "set", "customized mac address", "0"),
       "",
       "",
       ""},
      {"mac address too short",
       90,
       {P, L"pw", L"/set", L"customized mac address=00-1A-2B"},
       false,
       Usage(),
       "Invalid value of MAC address\n",
       "",
       ""},
      {"asset tag",
       90,
       {P, L"pw", L"/set", L"asset tag number=TAG1"},
       true,
       "Asset Tag = TAG1\n" + Echo("pw", "set", "asset tag number", "0"),
       "",
       "Asset Tag = TAG1\n",
       "",
       [](const ParsedRequest& r, const RunContext&) { EXPECT_EQ(ValueText(r), "TAG1"); }},
      {"asset tag with a hyphen",
       90,
       {P, L"pw", L"/set", L"asset tag number=ABC-123"},
       false,
       Usage(),
       badAsset,
       "",
       badAsset},
      {"ownership tag",
       90,
       {P, L"pw", L"/set", L"ownership tag number=Owner01"},
       true,
       "Ownership Tag = Owner01\n" + Echo("pw", "set", "ownership tag number", "0"),
       "",
       "Ownership Tag = Owner01\n",
       "",
       [](const ParsedRequest& r, const RunContext&) { EXPECT_EQ(ValueText(r), "Owner01"); }},
  };
}

std::vector<ParseCase> FileCases() {
  const std::string invalidArgument = "Invalid argument\n\n";
  return {
      {"raw export",
       90,
       {P, L"pw", L"/export-raw-settings", L"C:\\Saved.BIN"},
       true,
       Echo("pw", "export-raw-settings", "C:\\Saved.BIN"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.function, FunctionOf(L"export-raw-settings"));
         EXPECT_EQ(r.itemName, L"C:\\Saved.BIN");
         EXPECT_EQ(r.binFileName, "C:\\Saved.BIN");
         EXPECT_FALSE(r.quietOutput);
       }},
      {"raw file without .bin",
       90,
       {P, L"pw", L"/export-raw-settings", L"backup"},
       false,
       Echo("pw", "export-raw-settings", "backup") + " File : backup not .bin file \n\n",
       "",
       " File : backup not .bin file \n\n",
       ""},
      {".bin anywhere in the name",
       90,
       {P, L"pw", L"/import-raw-settings", L"x.bin.old"},
       true,
       Echo("pw", "import-raw-settings", "x.bin.old"),
       "",
       "",
       ""},
      {"raw file with a value",
       90,
       {P, L"pw", L"/import-raw-settings", L"a.bin=1"},
       false,
       Usage(),
       invalidArgument,
       "",
       invalidArgument},
      {"raw file with a wrong password switch",
       90,
       {L"/pass", L"pw", L"/import-raw-settings", L"a.bin"},
       false,
       Usage(),
       invalidArgument,
       "",
       ""},
      {"raw file with an item name is not checked against the catalog",
       90,
       {P, L"pw", L"/export-raw-settings", L"boot mode.bin"},
       true,
       Echo("pw", "export-raw-settings", "boot mode.bin"),
       "",
       "",
       ""},
      {"custom export",
       90,
       {P, L"pw", L"/export-custom-settings", L"Settings.XML"},
       true,
       Echo("pw", "export-custom-settings", "Settings.XML"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext& ctx) {
         EXPECT_EQ(r.xmlFileName, "Settings.XML");
         EXPECT_FALSE(r.quietOutput);
         EXPECT_FALSE(ctx.console.quiet());
       }},
      {"custom import turns quiet output on",
       90,
       {P, L"pw", L"/import-custom-settings", L"in.xml"},
       true,
       Echo("pw", "import-custom-settings", "in.xml"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext& ctx) {
         EXPECT_EQ(r.xmlFileName, "in.xml");
         EXPECT_TRUE(r.quietOutput);
         // The run flow turns the console quiet once the parse is done.
         EXPECT_FALSE(ctx.console.quiet());
       }},
      {"custom import of another file type",
       90,
       {P, L"pw", L"/import-custom-settings", L"in.txt"},
       false,
       Echo("pw", "import-custom-settings", "in.txt") + " File : in.txt not .xml file \n\n",
       "",
       " File : in.txt not .xml file \n\n",
       ""},
      {"custom file with a value",
       90,
       {P, L"pw", L"/export-custom-settings", L"a.xml=1"},
       false,
       Usage(),
       invalidArgument,
       "",
       invalidArgument},
      {"non-ASCII file name",
       90,
       {P, L"pw", L"/export-raw-settings", L"D\u00c4TEN.bin"},
       true,
       Echo("pw", "export-raw-settings", "D\xC3\x84TEN.bin"),
       "",
       "",
       "",
       [](const ParsedRequest& r, const RunContext&) {
         EXPECT_EQ(r.itemName, L"D\u00c4TEN.bin");
         EXPECT_EQ(r.binFileName, "D\xC3\x84TEN.bin");
       }},
  };
}

void RunCases(const std::vector<ParseCase>& cases) {
  for (const bool quiet : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.label) + (quiet ? " (quiet)" : ""));
      Harness run(c.minor, quiet);
      const SettingCatalog catalog = MakeCatalog(c.catalog);
      std::vector<std::wstring> args = {L"vort64.exe"};
      args.insert(args.end(), c.args.begin(), c.args.end());
      ParsedRequest request;
      EXPECT_EQ(ParseCommandLine(run.ctx, catalog, args, request), c.ok);
      EXPECT_EQ(run.out.str(), quiet ? c.quietOut : c.out);
      EXPECT_EQ(run.err.str(), quiet ? c.quietErr : c.err);
      if (quiet) {
        EXPECT_TRUE(request.quietOutput);
      }
      if (c.check && !quiet) c.check(request, run.ctx);
    }
  }
}

// "/result-file PATH" after the import's file, and nowhere else.
std::vector<ParseCase> ResultFileCases() {
  const std::wstring I = L"/import-custom-settings";
  const std::string echo = Echo("pw", "import-custom-settings", "b.xml");
  const auto resultFile = [](std::string path) {
    return [path](const ParsedRequest& r, const RunContext&) {
      EXPECT_EQ(r.function, Function::kImportCustomSettings);
      EXPECT_EQ(r.xmlFileName, "b.xml");
      EXPECT_EQ(r.resultFileName, path);
    };
  };
  const std::string onlyImport =
      "/result-file is taken by /import-custom-settings only: no other function writes a result file.\n\n";
  const std::string twice = "/result-file is given twice.\n\n";
  const std::string where =
      "/result-file stands right after the custom-settings file: /import-custom-settings FILE.xml /result-file "
      "PATH.\n\n";
  const std::string noName = "/result-file needs the name of a file.\n\n";
  return {
      {"result file",
       90,
       {P, L"pw", I, L"b.xml", L"/result-file", L"out/r.txt"},
       true,
       echo,
       "",
       "",
       "",
       resultFile("out/r.txt")},
      {"switch in any case, name as typed",
       90,
       {P, L"pw", I, L"b.xml", L"/Result-File", L"C:\\Logs\\R \u00c4.txt"},
       true,
       echo,
       "",
       "",
       "",
       resultFile("C:\\Logs\\R \xC3\x84.txt")},
      {"precheck switch after it",
       90,
       {P, L"pw", I, L"b.xml", L"/result-file", L"r.txt", L"/i"},
       true,
       echo,
       "",
       "",
       "",
       resultFile("r.txt")},
      {"precheck switch before it",
       90,
       {P, L"pw", I, L"b.xml", L"/ignore_precheck", L"/result-file", L"r.txt"},
       true,
       echo,
       "",
       "",
       "",
       resultFile("r.txt")},
      {"without it: Result.txt", 90, {P, L"pw", I, L"b.xml"}, true, echo, "", "", "", resultFile("")},
      {"with /get",
       90,
       {P, L"pw", L"/get", L"boot mode", L"/result-file", L"r.txt"},
       false,
       Usage(),
       onlyImport,
       "",
       ""},
      {"with the check",
       90,
       {P, L"pw", L"/check-custom-settings", L"b.xml", L"/result-file", L"r.txt"},
       false,
       Usage(),
       onlyImport,
       "",
       ""},
      {"with the export",
       90,
       {P, L"pw", L"/export-custom-settings", L"b.xml", L"/result-file", L"r.txt"},
       false,
       Usage(),
       onlyImport,
       "",
       ""},
      {"with the raw import",
       90,
       {P, L"pw", L"/import-raw-settings", L"b.bin", L"/result-file", L"r.txt"},
       false,
       Usage(),
       onlyImport,
       "",
       ""},
      {"given twice",
       90,
       {P, L"pw", I, L"b.xml", L"/result-file", L"r.txt", L"/result-file"},
       false,
       Usage(),
       twice,
       "",
       ""},
      {"the switch as its own file",
       90,
       {P, L"pw", I, L"b.xml", L"/result-file", L"/result-file"},
       false,
       Usage(),
       twice,
       "",
       ""},
      {"without a name", 90, {P, L"pw", I, L"b.xml", L"/result-file"}, false, Usage(), noName, "", ""},
      {"with an empty name", 90, {P, L"pw", I, L"b.xml", L"/result-file", L""}, false, Usage(), noName, "", ""},
      {"after something else",
       90,
       {P, L"pw", I, L"b.xml", L"extra", L"/result-file", L"r.txt"},
       false,
       Usage(),
       where,
       "",
       ""},
      {"a name too long",
       90,
       {P, L"pw", I, L"b.xml", L"/result-file", kLong260},
       false,
       Usage(),
       "/result-file: the file name is longer than 259 characters.\n\n",
       "",
       ""},
      {"a further argument",
       90,
       {P, L"pw", I, L"b.xml", L"/result-file", L"r.txt", L"x"},
       false,
       Usage(),
       "Too many arguments\n\n",
       "",
       ""},
      {"a password that reads like the switch",
       90,
       {P, L"/result-file", L"/get", L"boot mode"},
       true,
       Echo("/result-file", "get", "boot mode"),
       "",
       "",
       ""},
      {"a usage request first",
       90,
       {L"/?", L"pw", L"/get", L"boot mode", L"/result-file", L"r.txt"},
       false,
       Usage(),
       "",
       "",
       ""},
  };
}

TEST(ParseCommandLineTest, ResultFile) { RunCases(ResultFileCases()); }

// Every function the parser knows has a line of the usage, and the usage
// keeps its first lines.
TEST(UsageTest, NamesEveryFunctionOnALineOfItsOwn) {
  Harness run(90);
  ShowUsage(run.console);
  const std::string usage = run.out.str();
  EXPECT_EQ(usage, kUsage);
  EXPECT_EQ(usage.rfind("Usage:\n"
                        "\tVort64.exe /password \"%Password%\" /set   \"%ItemName%=%Value1%,%Value2%,..\"\n"
                        "\tVort64.exe /password \"%Password%\" /get   \"%ItemName%\"\n",
                        0),
            0u);
  std::vector<std::string> lines;
  std::istringstream in(usage);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const std::string program = "\tVort64.exe /password \"%Password%\"";
  // The lines that are the program, the password and `rest`, then the end
  // of the line or a blank.
  const auto linesOf = [&](const std::string& rest) {
    const std::string start = program + rest;
    return std::count_if(lines.begin(), lines.end(), [&start](const std::string& line) {
      return line.rfind(start, 0) == 0 && (line.size() == start.size() || line[start.size()] == ' ');
    });
  };
  for (int f = static_cast<int>(Function::kNone); f <= static_cast<int>(Function::kRotatePassword); ++f) {
    std::string rest;
    switch (static_cast<Function>(f)) {
      case Function::kNone: continue;
      case Function::kPassword: rest = ""; break;
      case Function::kLoadFactoryDefault: rest = " /load-factory-default"; break;
      case Function::kLoadUserDefault: rest = " /load-user-default"; break;
      case Function::kGet: rest = " /get   \"%ItemName%\""; break;
      case Function::kSet: rest = " /set   \"%ItemName%=%Value1%,%Value2%,..\""; break;
      case Function::kGetDefault: rest = " /get-default"; break;
      case Function::kSetDefault: rest = " /set-default"; break;
      case Function::kExportRawSettings: rest = " /export-raw-settings"; break;
      case Function::kImportRawSettings: rest = " /import-raw-settings"; break;
      case Function::kExportCustomSettings: rest = " /export-custom-settings"; break;
      case Function::kImportCustomSettings: rest = " /import-custom-settings"; break;
      case Function::kCheckCustomSettings: rest = " /check-custom-settings"; break;
      case Function::kShowSettings: rest = " /show-settings"; break;
      case Function::kRotatePassword: rest = " /rotate-password"; break;
    }
    SCOPED_TRACE(rest);
    if (rest.empty()) {
      EXPECT_EQ(std::count(lines.begin(), lines.end(), program), 1);  // the bare password check
    } else {
      EXPECT_EQ(linesOf(rest), 1);
    }
  }
  // The self-test, the TPM, the password form, the switches beside a function.
  for (const std::string rest :
       {" /get autotest", " /clear \"tpm\"", " /set   \"current password=%Old%,%ItemName%=%New%\""}) {
    EXPECT_EQ(linesOf(rest), 1) << rest;
  }
  EXPECT_NE(usage.find(" /import-custom-settings FILE.xml [/result-file PATH]\n"), std::string::npos);
  EXPECT_NE(usage.find("\t/password-file FILE in place of"), std::string::npos);
  EXPECT_NE(usage.find("\tVort64.exe --version\n"), std::string::npos);
}

TEST(ParseCommandLineTest, ArgumentCounts) { RunCases(ShapeCases()); }
TEST(ParseCommandLineTest, PasswordAndDefaults) { RunCases(PasswordOnlyCases()); }
TEST(ParseCommandLineTest, ItemRequests) { RunCases(ItemCases()); }
TEST(ParseCommandLineTest, Aliases) { RunCases(AliasCases()); }
TEST(ParseCommandLineTest, CurrentPasswordForm) { RunCases(FormCases()); }
TEST(ParseCommandLineTest, TypedValues) { RunCases(TypedValueCases()); }
TEST(ParseCommandLineTest, FileOperations) { RunCases(FileCases()); }

// A plain value is a decimal number from 0 to 254 and nothing else: what
// is not is refused, never written as the low byte of some number.
std::vector<ParseCase> RefusedPlainValueCases() {
  std::vector<ParseCase> cases;
  const struct {
    const wchar_t* value;
    const char* shown;
    const char* reason;
  } values[] = {
      {L"abc", "abc", ""},
      {L"300", "300", ""},
      {L"-1", "-1", ""},
      {L"+1", "+1", ""},
      {L"255", "255", "255 marks a setting as not supported; "},
      {L"256", "256", ""},
      {L"99999999999999999999", "99999999999999999999", ""},
      {L"7,8", "7,8", ""},
      {L"1 2", "1 2", ""},
      {L"=5", "=5", ""},
      {L"0x10", "0x10", ""},
      {L"1.5", "1.5", ""},
      {L"\u0661", "\xD9\xA1", ""},  // an Arabic-Indic digit one
      {L" ", " ", ""},
  };
  for (const auto& v : values) {
    const std::string refused = RefusedValue(v.shown, "fast boot", v.reason);
    cases.push_back(
        {v.shown, 90, {P, L"pw", L"/set", std::wstring(L"fast boot=") + v.value}, false, Usage(), refused, "", ""});
  }
  cases.push_back({"set-default refuses alike",
                   90,
                   {P, L"pw", L"/set-default", L"boot mode=abc"},
                   false,
                   Usage(),
                   RefusedValue("abc", "boot mode"),
                   "",
                   ""});
  return cases;
}

TEST(ParseCommandLineTest, RefusedPlainValues) { RunCases(RefusedPlainValueCases()); }

TEST(CheckPlainValueTest, TellsAcceptedFromRefusedAndTheNotSupportedMark) {
  const struct {
    const wchar_t* text;
    PlainValue check;
    uint8_t value;
  } cases[] = {
      {L"0", PlainValue::kAccepted, 0},
      {L" 254\t", PlainValue::kAccepted, 254},
      {L"255", PlainValue::kNotSupportedMark, 0},
      {L" 255 ", PlainValue::kNotSupportedMark, 0},
      {L"0255", PlainValue::kNotSupportedMark, 0},
      {L"256", PlainValue::kRefused, 0},
      {L"-0", PlainValue::kRefused, 0},
      {L"", PlainValue::kRefused, 0},
      {L"1a", PlainValue::kRefused, 0},
      {L"4294967551", PlainValue::kRefused, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    uint8_t value = 0;
    EXPECT_EQ(CheckPlainValue(c.text, value), c.check);
    EXPECT_EQ(value, c.value);
  }
}

TEST(AsksForVersionTest, OnlyTheVersionWordAlone) {
  EXPECT_TRUE(AsksForVersion(std::vector<std::wstring>{L"vort64", L"--version"}));
  EXPECT_TRUE(AsksForVersion(std::vector<std::wstring>{L"vort64", L"/version"}));
  EXPECT_FALSE(AsksForVersion(std::vector<std::wstring>{L"vort64", L"--version", L"x"}));
  EXPECT_FALSE(AsksForVersion(std::vector<std::wstring>{L"vort64", L"-version"}));
  EXPECT_FALSE(AsksForVersion(std::vector<std::wstring>{L"vort64"}));
}

TEST(ParseCommandLineTest, QuietOutputStaysOnForTheImportReplays) {
  Harness run(90);
  const SettingCatalog catalog = cli_test::CurrentCatalog();
  ParsedRequest import;
  const std::vector<std::wstring> first = {L"vort64.exe", P, L"pw", L"/import-custom-settings", L"in.xml"};
  ASSERT_TRUE(ParseCommandLine(run.ctx, catalog, first, import));
  ASSERT_TRUE(import.quietOutput);
  run.console.SetQuiet();  // as the run flow does after the parse
  run.out.str("");

  // A replay of an imported setting: same console, a request of its own.
  ParsedRequest replay;
  const std::vector<std::wstring> bad = {L"vort64.exe", P, L"pw", L"/set", L"fast boot="};
  EXPECT_FALSE(ParseCommandLine(run.ctx, catalog, bad, replay));
  ParsedRequest good;
  const std::vector<std::wstring> set = {L"vort64.exe", P, L"pw", L"/set", L"fast boot=1"};
  EXPECT_TRUE(ParseCommandLine(run.ctx, catalog, set, good));
  EXPECT_EQ(good.ByteValue(), 1);
  EXPECT_TRUE(good.quietOutput);
  EXPECT_EQ(run.out.str(), "");
  EXPECT_EQ(run.err.str(), "");
}

TEST(ParseCommandLineTest, CurrentPasswordAlreadyHeldIsNotParsedAgain) {
  Harness run(90);
  const SettingCatalog catalog = cli_test::CurrentCatalog();
  ParsedRequest request;
  StoreFixedText(request.currentPassword, "kept");
  // The switch would be refused if the password were parsed here.
  const std::vector<std::wstring> args = {L"vort64.exe", L"/nope", L"pw", L"/get", L"boot mode"};
  EXPECT_TRUE(ParseCommandLine(run.ctx, catalog, args, request));
  EXPECT_EQ(FixedText(request.currentPassword), "kept");
}

TEST(EffectiveArgumentCountTest, DropsTheIgnorePrecheckSwitch) {
  struct Case {
    std::vector<std::wstring> args;
    size_t count;
  };
  const std::wstring five[] = {L"vort64.exe", P, L"pw", L"/get", L"boot mode"};
  const auto with = [&five](std::vector<std::wstring> extra) {
    std::vector<std::wstring> args(std::begin(five), std::end(five));
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  const Case cases[] = {
      {with({L"/ignore_precheck"}), 5},
      {with({L"/Ignore_PreCheck"}), 5},
      {with({L"/i"}), 5},
      {with({L"/I"}), 5},
      {with({L"/x"}), 6},
      {with({L"/ignore"}), 6},
      {with({L"/i "}), 6},
      {with({L"/i" + std::wstring(300, L' ')}), 6},
      {with({}), 5},
      {with({L"/i", L"/i"}), 7},
      {{L"vort64.exe", P, L"pw", L"/i"}, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EffectiveArgumentCount(c.args), c.count) << c.args.size() << " arguments";
  }
}

TEST(EffectiveArgumentCountTest, SixthSwitchDroppedParsesLikeFive) {
  Harness run(90);
  const SettingCatalog catalog = cli_test::CurrentCatalog();
  const std::vector<std::wstring> args = {L"vort64.exe", P, L"pw", L"/set", L"boot mode=1", L"/I"};
  ParsedRequest request;
  const std::span<const std::wstring> all(args);
  EXPECT_TRUE(ParseCommandLine(run.ctx, catalog, all.first(EffectiveArgumentCount(all)), request));
  EXPECT_EQ(request.ByteValue(), 1);
}

// The words of the functions that take an item: each names a function of
// its own, and only as written, in lower case.
TEST(ItemFunctionTest, EachWordNamesItsOwnFunctionInLowerCaseOnly) {
  const std::wstring_view words[] = {L"get",
                                     L"set",
                                     L"export-raw-settings",
                                     L"import-raw-settings",
                                     L"export-custom-settings",
                                     L"import-custom-settings",
                                     L"check-custom-settings",
                                     L"get-default",
                                     L"set-default"};
  std::set<Function> named;
  for (const std::wstring_view word : words) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(word)));
    const auto function = ItemFunction(word);
    ASSERT_TRUE(function.has_value());
    EXPECT_NE(*function, Function::kNone);
    EXPECT_TRUE(named.insert(*function).second) << "a second word for one function";
    EXPECT_FALSE(ItemFunction(AsciiToUpper(word)).has_value());
    EXPECT_FALSE(ItemFunction(std::wstring(word) + L" ").has_value());
  }
  for (const auto* word : {L"", L"password", L"clear", L"clean", L"load-factory-default", L"show-settings"}) {
    EXPECT_FALSE(ItemFunction(word).has_value());
  }
}

}  // namespace
}  // namespace vort64
