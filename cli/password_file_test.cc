#include "cli/password_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/test_support.h"

namespace vort64 {
namespace {

using cli_test::Harness;
using cli_test::kUsage;
using Kind = PasswordFileRead::Kind;

class PasswordFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vort64-password-file-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path Write(const std::string& name, const std::string& content) const {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(PasswordFileTest, ThePasswordIsTheFirstLineWithoutItsLineEnd) {
  const struct {
    const char* what;
    std::string content;
    std::wstring password;
  } cases[] = {
      {"a line", "Secret1\n", L"Secret1"},
      {"no line end", "Secret1", L"Secret1"},
      {"CR LF", "Secret1\r\n", L"Secret1"},
      {"the first line only", "Secret1\nSecret2\n", L"Secret1"},
      {"blanks are the password's", " a b \n", L" a b "},
      {"UTF-8", "caf\xc3\xa9\n", L"caf\u00e9"},
      {"exactly 1 KiB", std::string(1023, 'x') + "\n", std::wstring(1023, L'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const PasswordFileRead read = ReadPasswordFile(Write("pw", c.content));
    EXPECT_EQ(read.kind, Kind::kRead);
    EXPECT_EQ(read.password, c.password);
  }
}

// Lines after the first are earlier passwords, each as the firmware
// methods take it: kept as the current password of the version is kept.
TEST_F(PasswordFileTest, LaterLinesAreEarlierPasswords) {
  const struct {
    std::string content;
    std::vector<std::wstring> earlier;
  } cases[] = {
      {"Secret1", {}},
      {"Secret1\n", {}},
      {"Secret1\nOld2\n", {L"Old2"}},
      {"Secret1\r\nOld2\r\nOld3", {L"Old2", L"Old3"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    const PasswordFileRead read = ReadPasswordFile(Write("pw", c.content));
    EXPECT_EQ(read.kind, Kind::kRead);
    EXPECT_EQ(read.password, L"Secret1");
    EXPECT_EQ(read.earlier, c.earlier);
  }
  const EarlierPasswords earlier{{L"Old2", L"old3"}, "pw.txt"};
  const auto padded = [](std::string text) {
    text.resize(16, '\0');
    return text;
  };
  Harness current(90);
  EXPECT_EQ(EarlierPasswordFields(current.ctx, earlier), (std::vector<std::string>{padded("Old2"), padded("old3")}));
  Harness older(54);
  EXPECT_EQ(EarlierPasswordFields(older.ctx, earlier), (std::vector<std::string>{padded("OLD2"), padded("OLD3")}));
  EXPECT_EQ(current.err.str() + older.err.str(), "");
}

TEST_F(PasswordFileTest, AFileThatGivesNoPasswordIsRefusedWithTheReasonAndTheUsage) {
  Write("empty", "");
  Write("large", std::string(1025, 'x'));
  Write("line-end", "\n");
  Write("cr-lf", "\r\nSecret1\n");
  Write("has-nul", std::string("PW\0more\n", 8));
  Write("nul-first", std::string("\0", 1));
  Write("tab", "Sec\tret\n");
  Write("cr-inside", "Sec\rret\n");
  Write("escape", "Secret\x1b[0m\n");
  Write("delete", "Secret\x7f\n");
  std::filesystem::create_directory(dir_ / "dir");
  const struct {
    const char* file;
    Kind kind;
    std::string reason;
  } cases[] = {
      {"missing", Kind::kMissing, "there is no such file"},
      {"dir", Kind::kNotRegular, "it is not a regular file"},
      {"large", Kind::kTooLarge, "it holds more than 1024 bytes"},
      {"empty", Kind::kNoLine, "it holds no line"},
      {"line-end", Kind::kEmptyLine, "its first line is empty"},
      {"cr-lf", Kind::kEmptyLine, "its first line is empty"},
      {"has-nul", Kind::kNul, "its first line holds a NUL byte"},
      {"nul-first", Kind::kNul, "its first line holds a NUL byte"},
      {"tab", Kind::kNotPrintable, "its first line holds a control character"},
      {"cr-inside", Kind::kNotPrintable, "its first line holds a control character"},
      {"escape", Kind::kNotPrintable, "its first line holds a control character"},
      {"delete", Kind::kNotPrintable, "its first line holds a control character"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(ReadPasswordFile(dir_ / c.file).kind, c.kind);
    Harness h(90);
    const std::string name = (dir_ / c.file).string();
    const std::vector<std::wstring> args = {L"vort64", L"/password-file", std::filesystem::path(name).wstring(),
                                            L"/get", L"boot mode"};
    EXPECT_EQ(ResolvePasswordFile(h.console, args), std::nullopt);
    EXPECT_EQ(h.err.str(), "Password file " + name + ": " + c.reason + ".\n\n");
    EXPECT_EQ(h.out.str(), kUsage);
  }
}

#if !defined(_WIN32)
// A file the group or anyone may read or write is used, with a warning that
// names it (and never what it holds).
TEST_F(PasswordFileTest, AFileOthersMayReadOrWriteIsUsedWithAWarning) {
  using std::filesystem::perms;
  const std::filesystem::path file = Write("pw", "Secret1\n");
  const std::string name = file.string();
  const std::string warning = "Warning: password file " + name +
                              " may be read or written by others than its owner (chmod 600 " + name +
                              " keeps it to its owner).\n";
  const struct {
    perms mode;
    bool warned;
  } cases[] = {
      {perms::owner_read | perms::owner_write, false},
      {perms::owner_read, false},
      {perms::owner_read | perms::owner_write | perms::group_read | perms::others_read, true},  // 0644
      {perms::owner_read | perms::group_read, true},                                            // 0440
      {perms::owner_read | perms::owner_write | perms::others_write, true},                     // 0602
      {perms::owner_read | perms::owner_write | perms::group_write, true},                      // 0620
      {perms::owner_all | perms::group_exec | perms::others_exec, false},                       // 0711
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    std::filesystem::permissions(file, c.mode);
    EXPECT_EQ(ReadPasswordFile(file).openToOthers, c.warned);
    Harness h(90);
    const std::vector<std::wstring> args = {L"vort64", L"/password-file", file.wstring()};
    EXPECT_EQ(ResolvePasswordFile(h.console, args), (std::vector<std::wstring>{L"vort64", L"/password", L"Secret1"}));
    EXPECT_EQ(h.err.str(), c.warned ? warning : "");
    EXPECT_EQ(h.out.str(), "");
  }
}
#endif

TEST_F(PasswordFileTest, TheSwitchBecomesThePasswordSwitchWithThePassword) {
  const std::wstring file = Write("pw", "Secret1\n").wstring();
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const struct {
    std::vector<std::wstring> args;
    std::vector<std::wstring> resolved;
  } cases[] = {
      {{L"vort64", L"/password-file", file}, {L"vort64", L"/password", L"Secret1"}},
      {{L"vort64", L"/Password-File", file, L"/get", L"boot mode"},
       {L"vort64", L"/password", L"Secret1", L"/get", L"boot mode"}},
      // Anything else stays as it is, for the parser to judge.
      {{L"vort64", L"/password", L"pw", L"/get", L"boot mode"},
       {L"vort64", L"/password", L"pw", L"/get", L"boot mode"}},
      {{L"vort64", L"/password-file"}, {L"vort64", L"/password-file"}},
      {{L"vort64", L"/get", L"/password-file", file}, {L"vort64", L"/get", L"/password-file", file}},
  };
  for (const auto& c : cases) {
    Harness h(90);
    EXPECT_EQ(ResolvePasswordFile(h.console, c.args), c.resolved);
    EXPECT_EQ(h.out.str() + h.err.str(), "");
  }
}

}  // namespace
}  // namespace vort64
