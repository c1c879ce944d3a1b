// The program against machines whose files are damaged: each ends in a
// defined exit code with the firmware's failure message, never an abort,
// and leaves the machine's files as they were.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr char kNotSupported[] = "Not support this BIOS WMI version \n";
constexpr char kNotExecuted[] = "Error: WMI method execution failed.";
constexpr char kPassword[] = "secret";
// A faults file of which no line says anything.
constexpr char kGarbage[] = "\x01\xfe\xff stuck\nGetBiosOptions 8x\nstuck 99999\nsession\n\0\0\nsmbios\tfails\n";

// One entry of a machine directory as a run may leave it.
struct Entry {
  fs::file_type type = fs::file_type::none;
  uintmax_t size = 0;
  fs::file_time_type time;
  std::vector<uint8_t> bytes;  // regular files up to 1 MiB
  bool operator==(const Entry&) const = default;
};

// Every entry but calls.log and system-drive.log, which record each call by
// design, and the program's own count of refused password calls, which a run
// keeps by design.
std::map<std::string, Entry> Snapshot(const fs::path& dir) {
  std::map<std::string, Entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name == "calls.log" || name == "system-drive.log" || name == "refused-password-calls") continue;
    Entry& entry = entries[name];
    entry.type = it->symlink_status(ec).type();
    if (entry.type == fs::file_type::symlink) continue;
    entry.time = fs::last_write_time(it->path(), ec);
    if (entry.type != fs::file_type::regular) continue;
    entry.size = fs::file_size(it->path(), ec);
    if (entry.size <= (1u << 20)) {
      std::ifstream in(it->path(), std::ios::binary);
      entry.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return entries;
}

// A damage to a machine; false when it cannot be made here (the row is skipped).
using Damage = std::function<bool(const fs::path& machine)>;

Damage DirectoryInstead(const std::string& file) {
  return [file](const fs::path& m) {
    fs::remove(m / file);
    return fs::create_directory(m / file);
  };
}

Damage Resized(const std::string& file, uintmax_t size) {
  // resize_file makes the big ones sparse: they cost no disk.
  return [file, size](const fs::path& m) {
    fs::resize_file(m / file, size);
    return true;
  };
}

Damage Written(const std::string& file, std::string content) {
  return [file, content](const fs::path& m) {
    std::ofstream(m / file, std::ios::binary | std::ios::trunc) << content;
    return true;
  };
}

Damage LinkLoop(const std::string& file) {
  return [file](const fs::path& m) {
    const fs::path at = file.empty() ? m : m / file;
    fs::remove_all(at);
    std::error_code ec;
    fs::create_symlink(at.filename(), at, ec);  // a link to itself
    return !ec;
  };
}

// Reads of a file without read permission are refused, except to root (and
// on Windows, where the permission bits do not stop reads).
Damage Unreadable(const std::string& file) {
  return [file](const fs::path& m) {
#if defined(_WIN32)
    (void)m;
    return false;
#else
    if (geteuid() == 0) return false;
    fs::permissions(m / file, fs::perms::none);
    return true;
#endif
  };
}

// A pipe never ends: a reader that does not check the kind of file waits
// forever. Unlike missing permissions, this stops root too.
Damage PipeInstead(const std::string& file) {
  return [file](const fs::path& m) {
#if defined(_WIN32)
    (void)m;
    return false;
#else
    fs::remove(m / file);
    return mkfifo((m / file).c_str(), 0600) == 0;
#endif
  };
}

using DamagedMachineTest = MachineTest;

TEST_F(DamagedMachineTest, EveryDamageEndsInADefinedOutcomeAndChangesNothing) {
  const std::vector<std::string> get = {"/password", kPassword, "/get", "boot mode"};
  const std::vector<std::string> getDefault = {"/password", kPassword, "/get-default", "boot mode"};
  const std::vector<std::string> loadUser = {"/password", kPassword, "/load-user-default"};
  const std::vector<std::string> wrongGet = {"/password", "wrong", "/get", "boot mode"};
  const struct {
    const char* what;
    Damage damage;
    std::vector<std::string> args;
    int exitCode;
    const char* output;  // a part of the output
  } rows[] = {
      {"DMI is a directory", DirectoryInstead("DMI"), get, 104, kNotSupported},
      {"entry point is a directory", DirectoryInstead("smbios_entry_point"), get, 104, kNotSupported},
      {"options.bin is a directory", DirectoryInstead("options.bin"), get, 103, kNotExecuted},
      {"defaults.bin is a directory", DirectoryInstead("defaults.bin"), getDefault, 103, kNotExecuted},
      {"user-defaults.bin is a directory", DirectoryInstead("user-defaults.bin"), loadUser, 103, kNotExecuted},
      {"supervisor-password is a directory", DirectoryInstead("supervisor-password"), get, 103, kNotExecuted},
      {"password-retries is a directory", DirectoryInstead("password-retries"), get, 103, kNotExecuted},
      {"faults is a directory", DirectoryInstead("faults"), get, 104, kNotSupported},
      {"options.bin unreadable", Unreadable("options.bin"), get, 103, kNotExecuted},
      {"options.bin is a pipe", PipeInstead("options.bin"), get, 103, kNotExecuted},
      {"options.bin links to itself", LinkLoop("options.bin"), get, 103, kNotExecuted},
      {"DMI links to itself", LinkLoop("DMI"), get, 104, kNotSupported},
      {"the machine links to itself", LinkLoop(""), get, 104, kNotSupported},
      {"options.bin empty", Resized("options.bin", 0), get, 103, kNotExecuted},
      {"options.bin of 2047 bytes", Resized("options.bin", 2047), get, 103, kNotExecuted},
      {"options.bin of 2049 bytes", Resized("options.bin", 2049), get, 103, kNotExecuted},
      {"options.bin of 100 MB", Resized("options.bin", 100'000'000), get, 103, kNotExecuted},
      {"garbage faults", Written("faults", std::string(kGarbage, sizeof kGarbage - 1)), get, 0, "boot mode: 0\n"},
      {"the largest wrong-password count", Written("password-retries", "2147483647"), wrongGet, 103,
       "Error: Password retry count exceeded.\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(machine_);
    CreateMachine({"--supervisor-password", kPassword});
    if (!row.damage(machine_)) continue;  // cannot be made here
    const auto before = Snapshot(machine_);
    const ProcessResult r = Vort64(row.args);
    EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr(row.output));
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(Snapshot(machine_) == before);
  }
  fs::remove_all(machine_);
}

// The program's count of refused password calls, or the machine's count of
// starts it is kept for, damaged: no password is sent (a count that cannot be
// read is never a reason to try more), and the run says why. (The Windows
// build keeps its count under %ProgramData%, not in the machine.)
#if !defined(_WIN32)
TEST_F(DamagedMachineTest, ACountOfRefusedCallsThatCannotBeUsedSendsNoPassword) {
  const struct {
    const char* what;
    Damage damage;
  } rows[] = {
      {"the count is a directory", DirectoryInstead("refused-password-calls")},
      {"the count is garbage", Written("refused-password-calls", "start 0\nrefused many\n")},
      {"the count of starts is garbage", Written("starts", "x")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(machine_);
    CreateMachine({"--supervisor-password", kPassword});
    ASSERT_TRUE(row.damage(machine_));
    const ProcessResult r = Vort64({"/password", kPassword, "/get", "boot mode"});
    EXPECT_EQ(r.exitCode, 103);
    EXPECT_EQ(r.err,
              "Error: the count of refused password calls kept between runs cannot be read or written: no password "
              "was sent.\n");
    EXPECT_TRUE(Calls().empty());
  }
  fs::remove_all(machine_);
}
#endif

TEST_F(DamagedMachineTest, OptionBlockExportIsTakenOnlyWhenItIsExactlyOneBlock) {
  std::string block(2048, '\0');
  block[311] = 1;  // boot mode
  const struct {
    const char* what;
    std::function<void(const fs::path&)> make;
    const char* error;  // empty: taken
  } rows[] = {
      {"one block", [&](const fs::path& f) { std::ofstream(f, std::ios::binary) << block; }, ""},
      {"one byte short", [&](const fs::path& f) { std::ofstream(f, std::ios::binary) << block.substr(1); },
       "exactly 2048 bytes"},
      {"one byte over", [&](const fs::path& f) { std::ofstream(f, std::ios::binary) << block << 'x'; },
       "exactly 2048 bytes"},
      {"a directory", [](const fs::path& f) { fs::create_directory(f); }, "not a readable file"},
      {"missing", [](const fs::path&) {}, "no such file"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const fs::path file = work_ / "export.bin";
    fs::remove_all(file);
    fs::remove_all(machine_);
    row.make(file);
    const ProcessResult made =
        RunProcess(VORT_SIM_BIN, {"create", machine_.string(), "--options", file.string()}, {}, work_);
    if (*row.error) {
      EXPECT_NE(made.exitCode, 0);
      EXPECT_THAT(made.err, HasSubstr(row.error));
      EXPECT_FALSE(fs::exists(machine_));
    } else {
      ASSERT_EQ(made.exitCode, 0) << made.err;
      EXPECT_EQ(Options(), std::vector<uint8_t>(block.begin(), block.end()));
      EXPECT_THAT(Vort64({"/password", "", "/get", "boot mode"}).out, HasSubstr("boot mode: 1\n"));
    }
  }
}

}  // namespace
}  // namespace vort64::e2e
