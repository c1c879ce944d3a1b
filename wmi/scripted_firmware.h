// For tests: a firmware that answers each method with a chosen code, keeps
// the block it is sent, and records every call.
#ifndef VORT64_WMI_SCRIPTED_FIRMWARE_H_
#define VORT64_WMI_SCRIPTED_FIRMWARE_H_

#include <map>
#include <string>
#include <vector>

#include "wmi/firmware.h"
#include "wmi/firmware_facts.h"

namespace vort64 {

class ScriptedFirmware : public Firmware {
 public:
  LockOutcome LockMachine(std::chrono::milliseconds limit) override {
    lockLimits.push_back(limit);
    locked = lockOutcome == LockOutcome::kHeld;
    return lockOutcome;
  }
  void UnlockMachine() override { locked = false; }
  bool Open() override {
    ++opens;
    return open;
  }
  bool IsOpen() const override { return open; }
  void Close() override {}
  bool ReadRawSmbiosTable(RawSmbiosTable& table) override {
    ++smbiosReads;
    table.smbiosMajor = 3;
    table.smbiosMinor = 4;
    table.data = {172, 6, 0, 0, wmiMajor, wmiMinor, 0, 0};
    return true;
  }
  Status QueryInstanceNames(std::wstring_view query, std::vector<std::optional<std::wstring>>& names) override {
    queries.emplace_back(query);
    names = instances;
    return kStatusOk;
  }
  Status ExecuteMethod(const MethodCall& call, std::vector<FirmwareValue>& out) override {
    calls.push_back(call);
    countAtCall.push_back(refusedPasswordCalls);
    if (!executes) return kStatusFailed;
    const auto forced = codes.find(call.method);
    const auto forcedHere = codeOfCall.find(calls.size() - 1);
    const int32_t code = forcedHere != codeOfCall.end() ? forcedHere->second
                         : forced == codes.end()        ? 0
                                                        : forced->second;
    if ((code == 0 || code == 8) && !keepBlockOnSet) {
      for (const auto& p : call.in) {
        if (p.name != L"Data") continue;
        std::vector<uint8_t> sent = p.value.bytes;
        for (size_t i = kClockFirstByte; keepClockOn238 && i < kClockEndByte && i < sent.size(); ++i) {
          if (sent[i] == kDoNotChange && i < block.size()) sent[i] = block[i];
        }
        block = std::move(sent);
      }
    }
    out.clear();
    for (const auto& name : call.outNames) {
      out.push_back(name == L"ReturnCode" ? FirmwareValue::Int32(code) : data ? *data : FirmwareValue::Bytes(block));
    }
    return kStatusOk;
  }
  uint32_t KeyScan(char c) override { return 0x100u + static_cast<uint8_t>(c) - 'a' + 0x1E; }
  std::optional<int> RefusedPasswordCalls() override {
    if (!refusalsReadable) return std::nullopt;
    return refusedPasswordCalls;
  }
  bool KeepRefusedPasswordCalls(int count) override {
    if (!refusalsWritable) return false;
    refusedPasswordCalls = count;
    keptRefusals.push_back(count);
    return true;
  }

  // The value of in-parameter `name` of call `i`; an empty value when absent.
  FirmwareValue In(size_t i, std::wstring_view name) const {
    for (const auto& p : calls.at(i).in) {
      if (p.name == name) return p.value;
    }
    return {};
  }

  size_t CallsOf(std::wstring_view method) const {
    size_t n = 0;
    for (const auto& c : calls) n += c.method == method ? 1u : 0u;
    return n;
  }

  LockOutcome lockOutcome = LockOutcome::kHeld;       // what LockMachine answers
  std::vector<std::chrono::milliseconds> lockLimits;  // what each LockMachine waited at most
  bool locked = false;
  int opens = 0;
  int smbiosReads = 0;
  bool open = true;
  bool executes = true;
  uint8_t wmiMajor = 2;
  uint8_t wmiMinor = 90;
  bool keepBlockOnSet = false;                                 // a Set stores nothing (a stuck firmware)
  bool keepClockOn238 = false;                                 // a clock byte sent as 238 keeps the stored one
  std::map<std::wstring, int32_t> codes;                       // by method; 0 when absent
  std::map<size_t, int32_t> codeOfCall;                        // by call (from 0 on), before `codes`
  std::vector<uint8_t> block = std::vector<uint8_t>(2048, 7);  // what Get answers, what Set stores
  std::optional<FirmwareValue> data;                           // overrides the Data answered
  std::vector<std::optional<std::wstring>> instances = {std::nullopt, std::wstring(L"ACPI\\PNP0C14\\0_0")};
  std::vector<std::wstring> queries;
  std::vector<MethodCall> calls;
  int refusedPasswordCalls = 0;  // the count kept across runs
  bool refusalsReadable = true;
  bool refusalsWritable = true;
  std::vector<int> keptRefusals;  // every count kept, in order
  std::vector<int> countAtCall;   // the count kept when each call came
};

}  // namespace vort64

#endif  // VORT64_WMI_SCRIPTED_FIRMWARE_H_
