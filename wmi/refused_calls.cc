#include "wmi/refused_calls.h"

#include <algorithm>
#include <charconv>

namespace vort64 {
namespace {

// `text` as a decimal number, whole; nothing for any other text.
template <typename T>
std::optional<T> Number(std::string_view text) {
  T value{};
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || text.empty()) return std::nullopt;
  return value;
}

// Takes "KEY VALUE\n" off the front of `text`.
std::optional<std::string_view> Field(std::string_view& text, std::string_view key) {
  if (text.substr(0, key.size()) != key || text.size() <= key.size() || text[key.size()] != ' ') return std::nullopt;
  const size_t end = text.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view value = text.substr(key.size() + 1, end - key.size() - 1);
  text.remove_prefix(end + 1);
  return value;
}

}  // namespace

std::string FormatRefusedCalls(const RefusedCallsRecord& record) {
  return "start " + record.start + "\nrefused " + std::to_string(record.refused) + "\n";
}

std::optional<RefusedCallsRecord> ParseRefusedCalls(std::string_view text) {
  const auto start = Field(text, "start");
  const auto refused = Field(text, "refused");
  if (!start || !refused || !text.empty()) return std::nullopt;
  const auto count = Number<int>(*refused);
  if (!count || *count < 0) return std::nullopt;
  return RefusedCallsRecord{std::string(*start), *count};
}

std::string FormatWindowsStart(const WindowsStart& start) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string machine(16, '0');
  for (size_t i = 0; i < 16; ++i) machine[15 - i] = kDigits[(start.machine >> (4 * i)) & 0xF];
  return "machine=" + machine + " boot=" + std::to_string(start.bootSeconds) +
         " uptime=" + std::to_string(start.uptimeMs);
}

std::optional<WindowsStart> ParseWindowsStart(std::string_view text) {
  const auto take = [&text](std::string_view key) -> std::optional<std::string_view> {
    if (text.substr(0, key.size()) != key) return std::nullopt;
    text.remove_prefix(key.size());
    const size_t end = std::min(text.find(' '), text.size());
    const std::string_view value = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    return value;
  };
  const auto machine = take("machine=");
  const auto boot = take("boot=");
  const auto uptime = take("uptime=");
  if (!machine || !boot || !uptime || !text.empty() || machine->size() != 16) return std::nullopt;
  uint64_t digest = 0;
  const auto [ptr, ec] = std::from_chars(machine->data(), machine->data() + machine->size(), digest, 16);
  if (ec != std::errc() || ptr != machine->data() + machine->size()) return std::nullopt;
  const auto bootSeconds = Number<int64_t>(*boot);
  const auto uptimeMs = Number<uint64_t>(*uptime);
  if (!bootSeconds || !uptimeMs) return std::nullopt;
  return WindowsStart{digest, *bootSeconds, *uptimeMs};
}

bool SameWindowsStart(std::string_view keptText, std::string_view nowText) {
  const auto kept = ParseWindowsStart(keptText);
  const auto now = ParseWindowsStart(nowText);
  if (!kept || !now) return true;
  if (kept->machine != now->machine) return false;
  if (now->uptimeMs < kept->uptimeMs) return false;
  constexpr int64_t kClockSlackSeconds = 60;
  const int64_t keptAt = static_cast<int64_t>(kept->uptimeMs / 1000);
  return now->bootSeconds - kept->bootSeconds < std::max(keptAt, kClockSlackSeconds);
}

uint64_t Fnv1a64(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

}  // namespace vort64
