#include "tests/e2e/machine_fixture.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace vort64::e2e {

void MachineTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (auto& c : name) {
    if (c == '/') c = '_';
  }
  name_ = name;
  root_ = std::filesystem::path(VORT64_E2E_SCRATCH) / name;
  std::filesystem::remove_all(root_);
  machine_ = root_ / "machine";
  work_ = root_ / "work";
  std::filesystem::create_directories(work_);
}

void MachineTest::TearDown() {
  if (!HasFailure()) std::filesystem::remove_all(root_);
}

namespace {

constexpr char kRefusedCallsFile[] = "refused-password-calls";

#if defined(_WIN32)
// Where the Windows build keeps its count of refused password calls.
std::filesystem::path WindowsRefusedCallsFile() {
  const char* data = std::getenv("ProgramData");
  return data ? std::filesystem::path(data) / "Vort64" / kRefusedCallsFile : std::filesystem::path();
}
#endif

// The Windows build's count of refused password calls, as a start of the
// notebook leaves it: gone. (Elsewhere it is a file of the machine, which
// vort-sim create and restart look after.)
void ForgetWindowsRefusedCalls() {
#if defined(_WIN32)
  std::error_code ec;
  if (const auto file = WindowsRefusedCallsFile(); !file.empty()) std::filesystem::remove(file, ec);
#endif
}

}  // namespace

void MachineTest::CreateMachine(const std::vector<std::string>& options) {
  std::vector<std::string> args = {"create", machine_.string()};
  args.insert(args.end(), options.begin(), options.end());
  const ProcessResult r = RunProcess(VORT_SIM_BIN, args, {}, work_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ForgetWindowsRefusedCalls();
}

std::string MachineTest::RefusedCallsFile() const {
#if defined(_WIN32)
  const std::filesystem::path file = WindowsRefusedCallsFile();
#else
  const std::filesystem::path file = machine_ / kRefusedCallsFile;
#endif
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void MachineTest::RestartMachine() {
  const ProcessResult r = RunProcess(VORT_SIM_BIN, {"restart", machine_.string()}, {}, work_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ForgetWindowsRefusedCalls();
}

ProcessResult MachineTest::Vort64(const std::vector<std::string>& args, const std::string& input) {
  ProcessResult r = RunProcess(VORT64_BIN, args, {{"VORT64_MACHINE", machine_.string()}}, work_, input);
  if (AsksForJson(args)) KeepJson(r.out);
  return r;
}

void MachineTest::KeepJson(const std::string& output) { KeepJsonOutput(name_, ++jsonOutputs_, output); }

bool AsksForJson(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  std::string first = args[0];
  std::transform(first.begin(), first.end(), first.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return first == "/json";
}

void KeepJsonOutput(const std::string& name, int n, const std::string& output) {
  const std::filesystem::path dir(VORT64_E2E_JSON_OUTPUTS);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / (name + "-" + std::to_string(n) + ".json"), std::ios::binary | std::ios::trunc) << output;
}

std::vector<uint8_t> MachineTest::ReadMachineFile(const std::string& name) const {
  std::ifstream in(machine_ / name, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string MachineTest::WorkText(const std::string& name) const {
  std::ifstream in(work_ / name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void MachineTest::WriteWorkText(const std::string& name, const std::string& text) const {
  std::ofstream(work_ / name, std::ios::binary | std::ios::trunc) << text;
}

std::vector<uint8_t> MachineTest::FileBytes(const std::string& file, size_t offset, size_t count) const {
  const auto all = ReadMachineFile(file);
  if (all.size() < offset + count) return {};
  return std::vector<uint8_t>(all.begin() + static_cast<long>(offset), all.begin() + static_cast<long>(offset + count));
}

std::vector<std::string> MachineTest::Calls() const {
  std::ifstream in(machine_ / "calls.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void MachineTest::WriteMachineFile(const std::string& name, const std::string& content) const {
  std::ofstream(machine_ / name, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace vort64::e2e
