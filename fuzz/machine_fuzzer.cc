// The simulated firmware over a machine directory whose files come from the
// input, with the faults parser and the file readers on the same files.
//
// Input: a flag byte (bit 0: the connection is opened), then records of a
// kind byte, a two-byte length and that many bytes. Kinds (low four bits):
//   0-8  a machine file (DMI, entry point, options, defaults, user defaults,
//        supervisor password, user password, retries, faults) gets the bytes;
//        the high four bits vary the limit the readers are tried with
//   9    the file the first byte names becomes a directory
//   10   a firmware method as the program calls it: method, password length,
//        password, then (offset, value) changes to the block a Set sends
//   11   a method call as any caller could make it: class, path, method,
//        which parameters, Data size
//   12   the connection is opened again, or closed
//   13   the SMBIOS tables are read
//   14   an instance query
//   15   the program's count of refused password calls (first byte even) or
//        the machine's count of starts (odd) gets the bytes that follow
//
// Invariants: every call ends in a defined outcome (a known status; a
// method that ran answers each out-parameter, a block of 2048 bytes); the
// option blocks are never written with another size than 2048; a Get
// changes no file; the retry counter and the passwords the firmware writes
// stay within their forms; a call adds at most one line to calls.log; a
// call's delay ("delay MS") is a positive one of at most a minute. The
// program's count of refused password calls: a call is sent only while it
// counts fewer than two for this start, the count is kept in its form
// before the call is sent, and a call not sent says why on standard error
// and logs nothing.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/machine_file_checks.h"
#include "fuzz/temp_dir.h"
#include "sim/machine.h"
#include "sim/machine_files.h"
#include "sim/simulated_firmware.h"
#include "wmi/firmware_facts.h"
#include "wmi/firmware_methods.h"
#include "wmi/refused_calls.h"
#include "wmi/smbios.h"

namespace vort64::fuzz {
namespace {

// The firmware methods themselves, under test here.
using namespace methods;

constexpr const char* kFiles[] = {sim::kDmiFile,          sim::kEntryPointFile,   sim::kOptionsFile,
                                  sim::kDefaultsFile,     sim::kUserDefaultsFile, sim::kSupervisorPasswordFile,
                                  sim::kUserPasswordFile, sim::kRetriesFile,      sim::kFaultsFile};
constexpr size_t kFileLimits[] = {sim::kSmbiosTableLimit, sim::kEntryPointLimit, kSettingsBufferSize,
                                  kSettingsBufferSize,    kSettingsBufferSize,   sim::kTextFileLimit,
                                  sim::kTextFileLimit,    sim::kTextFileLimit,   sim::kFaultsFileLimit};

// The machine's files as they stand: content, or nothing when absent or not
// a regular file.
using Snapshot = std::map<std::string, std::optional<std::vector<uint8_t>>>;

Snapshot Take(const std::filesystem::path& dir) {
  Snapshot snapshot;
  for (const char* name : kFiles) snapshot[name] = ReadRegularFile(dir / name);
  for (const char* name : {sim::kCallsLogFile, sim::kStartsFile, kRefusedCallsFileName}) {
    snapshot[name] = ReadRegularFile(dir / name);
  }
  return snapshot;
}

size_t Lines(const std::optional<std::vector<uint8_t>>& bytes) {
  return bytes ? static_cast<size_t>(std::count(bytes->begin(), bytes->end(), '\n')) : 0;
}

// What a firmware call may have done to the files.
void CheckCallEffects(const Snapshot& before, const Snapshot& after, bool changesNothing) {
  for (const char* block : {sim::kOptionsFile, sim::kDefaultsFile, sim::kUserDefaultsFile}) {
    const auto& was = before.at(block);
    const auto& is = after.at(block);
    if (was == is) continue;
    FUZZ_CHECK(!changesNothing);
    FUZZ_CHECK(is && is->size() == kSettingsBufferSize);
  }
  for (const char* password : {sim::kSupervisorPasswordFile, sim::kUserPasswordFile}) {
    const auto& is = after.at(password);
    if (before.at(password) == is) continue;
    FUZZ_CHECK(!changesNothing);
    // A new password of the long form, or removed.
    FUZZ_CHECK(!is || (!is->empty() && is->size() <= 16));
  }
  const auto& retries = after.at(sim::kRetriesFile);
  if (before.at(sim::kRetriesFile) != retries && retries) {
    const std::string text(retries->begin(), retries->end());
    const auto count = sim::ParseCount(text);
    FUZZ_CHECK(count && *count > 0 && std::to_string(*count) == text);
  }
  const size_t logged = Lines(after.at(sim::kCallsLogFile)) - Lines(before.at(sim::kCallsLogFile));
  FUZZ_CHECK(logged <= 1);
  // The count the program keeps is always in its form, and never above two.
  const auto& count = after.at(kRefusedCallsFileName);
  if (before.at(kRefusedCallsFileName) != count) {
    FUZZ_CHECK(count.has_value());
    const auto record = ParseRefusedCalls(std::string(count->begin(), count->end()));
    FUZZ_CHECK(record && record->refused <= kMostRefusedCalls);
  }
  FUZZ_CHECK(before.at(sim::kStartsFile) == after.at(sim::kStartsFile));
}

// The count of refused calls for this start as it stood: nothing when it
// cannot be read.
std::optional<int> CountBefore(const Snapshot& before) {
  const auto& starts = before.at(sim::kStartsFile);
  const auto& count = before.at(kRefusedCallsFileName);
  const auto start = starts ? sim::ParseCount(std::string(starts->begin(), starts->end())) : std::optional<int32_t>(0);
  if (!start) return std::nullopt;
  if (!count) return 0;
  const auto record = ParseRefusedCalls(std::string(count->begin(), count->end()));
  if (!record) return std::nullopt;
  return record->start == std::to_string(*start) ? record->refused : 0;
}

class Machine {
 public:
  // A "delay MS" of the faults file is checked, not waited for.
  explicit Machine(const std::filesystem::path& dir)
      : dir_(dir), firmware_(dir, [](std::chrono::milliseconds delay) {
          FUZZ_CHECK(delay.count() > 0 && delay <= sim::kLongestDelay);
        }) {}

  void WriteMachineFile(uint8_t kind, std::span<const uint8_t> bytes) {
    const size_t file = kind & 15;
    const auto path = dir_ / kFiles[file];
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    WriteFile(path, bytes);
    // The readers with the file's own limit, or one near the file's size.
    const size_t shift = kind >> 4;
    const size_t limit = shift == 0 ? kFileLimits[file] : std::max<size_t>(bytes.size() + shift, 8) - 8;
    CheckFileReaders(path, bytes, false, limit);
    if (file == 7) CheckCount(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (file == 8) CheckFaults(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

  void WriteCountFile(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    const auto path = dir_ / ((bytes[0] & 1) ? sim::kStartsFile : kRefusedCallsFileName);
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    WriteFile(path, bytes.subspan(1));
  }

  void MakeDirectory(std::span<const uint8_t> bytes) {
    const auto path = dir_ / kFiles[(bytes.empty() ? 0 : bytes[0]) % std::size(kFiles)];
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    std::filesystem::create_directory(path, ec);
    FUZZ_CHECK(!ec);
    CheckFileReaders(path, {}, true, sim::kTextFileLimit);
  }

  void Connect(bool open) {
    if (connected_) return;
    connected_ = true;
    if (open) firmware_.Open();
    ReadTables();
  }

  void ReadTables() {
    RawSmbiosTable table;
    const bool read = firmware_.ReadRawSmbiosTable(table);
    if (!read) FUZZ_CHECK(table.data.empty());
    FUZZ_CHECK(table.data.size() <= sim::kSmbiosTableLimit);
    if (!tablesRead_) {
      table_ = table;
      tablesRead_ = true;
    }
    // The tables are read once per firmware object.
    FUZZ_CHECK(table.data == table_.data && table.smbiosMajor == table_.smbiosMajor);
  }

  // A method as the program calls it.
  void CallMethod(FuzzInput& in) {
    const uint8_t method = in.Byte() % 6;
    const auto password = in.Bytes(in.Byte() % 33);
    std::vector<uint8_t> block = lastBlock_;
    while (!in.empty()) {
      const uint16_t at = in.U16();
      block[at % block.size()] = in.Byte();
    }
    const std::string_view pw(reinterpret_cast<const char*>(password.data()), password.size());
    FirmwareSession session{firmware_, ReadInterfaceVersion(table_), &table_};

    const Snapshot before = Take(dir_);
    MethodOutcome outcome;
    std::vector<uint8_t> got(kSettingsBufferSize, 0xCC);
    switch (method) {
      case 0: outcome = GetBiosOptions(session, pw, got); break;
      case 1: outcome = SetBiosOptions(session, pw, block); break;
      case 2: outcome = GetBiosDefaultOptions(session, pw, got); break;
      case 3: outcome = SetBiosDefaultOptions(session, pw, block); break;
      case 4: outcome = LoadBIOSDefault(session, pw); break;
      default: outcome = LoadUserDefault(session, pw); break;
    }
    const Snapshot after = Take(dir_);
    CheckCallEffects(before, after, method == 0 || method == 2);
    if (!outcome.executed) FUZZ_CHECK(outcome.code == kFirmwareNotSupported);
    if (!firmware_.IsOpen()) FUZZ_CHECK(!outcome.executed);
    // Each call is a new run's first: sent only while fewer than two were
    // refused since the start, and counted before it was sent.
    const std::optional<int> counted = CountBefore(before);
    const bool logged = Lines(after.at(sim::kCallsLogFile)) > Lines(before.at(sim::kCallsLogFile));
    using Why = MethodOutcome::Withheld;
    if (!counted) {
      FUZZ_CHECK(outcome.withheld == Why::kCountUnusable && !logged);
    } else if (*counted >= kMostRefusedCalls) {
      FUZZ_CHECK(outcome.withheld != Why::kNo && !logged);
    }
    if (outcome.withheld != Why::kNo) {
      FUZZ_CHECK(!outcome.executed && !logged);
      FUZZ_CHECK(outcome.said.size() == 1 && outcome.said[0].stream == Message::Stream::kErr);
      FUZZ_CHECK(outcome.said[0].text ==
                 (outcome.withheld == Why::kLockoutAvoided ? kLockoutAvoidedLine : kCountUnusableLine));
      return;
    }
    // A run without a password file: the call says its one message for the
    // outcome (on standard output), or nothing.
    FUZZ_CHECK(outcome.said.size() <= 1);
    for (const Message& message : outcome.said) {
      FUZZ_CHECK(message.stream == Message::Stream::kSay || message.stream == Message::Stream::kOut);
    }
    if ((method == 0 || method == 2) && outcome.passed()) {
      // What a Get fills in is the stored block, whole.
      const auto& stored = before.at(method == 0 ? sim::kOptionsFile : sim::kDefaultsFile);
      if (outcome.code == kFirmwareSuccess || method == 0) FUZZ_CHECK(stored && got == *stored);
      lastBlock_ = got;
    }
  }

  // A method call as any caller could make it.
  void ExecuteRaw(FuzzInput& in) {
    constexpr const wchar_t* kClasses[] = {kConfigurationClass, kSettingClass, L"Win32_Bios"};
    constexpr const wchar_t* kMethods[] = {kGetBiosOptionsMethod,
                                           kSetBiosOptionsMethod,
                                           kGetBiosDefaultOptionsMethod,
                                           kSetBiosDefaultOptionsMethod,
                                           kLoadBiosDefaultMethod,
                                           kLoadUserDefaultMethod,
                                           L"Reboot"};
    constexpr const wchar_t* kPaths[] = {L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"",
                                         L"BIOSSetting.InstanceName=\"ACPI\\\\PNP0C14\\\\1_0\"",
                                         L"KelmBiosConfigurationTool.InstanceName=\"ACPI\\PNP0C14\\0_0\"", L""};
    MethodCall call;
    call.className = kClasses[in.Byte() % std::size(kClasses)];
    call.objectPath = kPaths[in.Byte() % std::size(kPaths)];
    call.method = kMethods[in.Byte() % std::size(kMethods)];
    const uint8_t params = in.Byte();
    const size_t dataSize = in.U16() % (2 * kSettingsBufferSize + 1);
    const uint8_t fill = in.Byte();
    if (params & 1) call.in.push_back({kPasswordLenParam, FirmwareValue::Int16(static_cast<int16_t>(in.Byte()))});
    if (params & 2) call.in.push_back({kPasswordParam, FirmwareValue::Bytes(ToVector(in.Bytes(in.Byte() % 40)))});
    if (params & 4) call.in.push_back({kDataParam, FirmwareValue::Bytes(std::vector<uint8_t>(dataSize, fill))});
    if (params & 8) call.in.push_back({kDataParam, FirmwareValue::Int32(7)});
    if (params & 16) call.outNames.push_back(kReturnCodeParam);
    if (params & 32) call.outNames.push_back(kDataParam);
    if (params & 64) call.outNames.push_back(L"Other");

    const Snapshot before = Take(dir_);
    std::vector<FirmwareValue> out(2);
    const Status status = firmware_.ExecuteMethod(call, out);
    const bool gets = call.method == kGetBiosOptionsMethod || call.method == kGetBiosDefaultOptionsMethod;
    CheckCallEffects(before, Take(dir_), gets);
    constexpr Status kKnown[] = {kStatusOk,
                                 kStatusFailed,
                                 static_cast<Status>(0x8004103Au),
                                 static_cast<Status>(0x8004102Eu),
                                 static_cast<Status>(0x80041008u),
                                 static_cast<Status>(0x80041003u)};
    FUZZ_CHECK(std::find(std::begin(kKnown), std::end(kKnown), status) != std::end(kKnown));
    if (status != kStatusOk) return;
    FUZZ_CHECK(out.size() == call.outNames.size());
    for (size_t i = 0; i < out.size(); ++i) {
      if (call.outNames[i] == kReturnCodeParam) {
        FUZZ_CHECK(out[i].kind == FirmwareValue::Kind::kInt32);
      } else {
        FUZZ_CHECK(out[i].kind == FirmwareValue::Kind::kBytes && out[i].bytes.size() == kSettingsBufferSize);
      }
    }
  }

  void Reconnect(uint8_t how) {
    if (how & 1) {
      firmware_.Close();
      FUZZ_CHECK(!firmware_.IsOpen());
    } else {
      const bool opened = firmware_.Open();
      FUZZ_CHECK(opened == firmware_.IsOpen());
    }
  }

  void Query(uint8_t which) {
    constexpr const wchar_t* kQueries[] = {kConfigurationQuery, kSettingQuery, L"SELECT * FROM Win32_Bios"};
    std::vector<std::optional<std::wstring>> names = {std::nullopt};
    const Status status = firmware_.QueryInstanceNames(kQueries[which % std::size(kQueries)], names);
    if (status == kStatusOk) {
      FUZZ_CHECK(firmware_.IsOpen() && names.size() == 1 && names[0].has_value());
    } else {
      FUZZ_CHECK(names.empty());
    }
  }

 private:
  std::filesystem::path dir_;
  sim::SimulatedFirmware firmware_;
  bool connected_ = false;
  bool tablesRead_ = false;
  RawSmbiosTable table_;
  std::vector<uint8_t> lastBlock_ = std::vector<uint8_t>(kSettingsBufferSize, 0);
};

}  // namespace
}  // namespace vort64::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vort64::fuzz;
  FuzzInput in(data, size);
  const bool open = (in.Byte() & 1) != 0;
  const TempDir dir;
  Machine machine(dir.path());
  for (int records = 0; !in.empty() && records < 24; ++records) {
    const uint8_t kind = in.Byte();
    const auto bytes = in.Bytes(in.U16());
    FuzzInput record(bytes.data(), bytes.size());
    switch (kind & 15) {
      case 9: machine.MakeDirectory(bytes); break;
      case 10:
        machine.Connect(open);
        machine.CallMethod(record);
        break;
      case 11:
        machine.Connect(open);
        machine.ExecuteRaw(record);
        break;
      case 12: machine.Reconnect(record.Byte()); break;
      case 13: machine.ReadTables(); break;
      case 14: machine.Query(record.Byte()); break;
      case 15: machine.WriteCountFile(bytes); break;
      default: machine.WriteMachineFile(kind, bytes); break;
    }
  }
  return 0;
}
