// The parity corpus: every custom-settings file the end-to-end tests use and
// the files that once split the two builds, each checked and then imported
// on a fresh 2.90 machine. Both builds compare what they get with the one
// record in tests/e2e/parity/expected.txt: the check's and the import's exit
// codes, the Result.txt the import leaves and the bytes of the option block
// it changed. The Linux suite runs it with vort64, the Windows suite (under
// Wine) with the shipped Vort64.exe, so a file the two builds read
// differently fails one of them.
//
// A failing run leaves the record it got as parity-actual.txt in the
// suite's scratch folder, to compare with the expected one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The files too large to keep in the corpus, made here.
std::vector<std::pair<std::string, std::string>> MadeFiles() {
  const auto nested = [](int levels, const std::string& inside) {
    std::string text = "<Root>";
    for (int i = 0; i < levels; ++i) text += "<a>";
    text += inside;
    for (int i = 0; i < levels; ++i) text += "</a>";
    return text + "</Root>\r\n";
  };
  const std::string item = "<Item name=\"boot mode\"><Value>1</Value></Item>";
  std::string million;
  for (int i = 0; i < 1000000; ++i) million += "<a>";
  return {
      {"made-nesting-256-levels.xml", nested(253, item)},
      {"made-nesting-257-levels.xml", nested(254, item)},
      {"made-nesting-300-levels.xml", nested(297, item)},
      {"made-nesting-a-million-levels.xml", million},
  };
}

class ParityTest : public MachineTest {
 protected:
  // What the builds must agree on for one file.
  std::string Record(const std::string& name, const std::string& content) {
    CreateMachine();
    fs::remove(work_ / "Result.txt");
    WriteWorkText(name, content);
    const std::vector<uint8_t> before = Options();
    const ProcessResult checked = Vort64({"/password", "", "/check-custom-settings", name});
    const ProcessResult imported = Vort64({"/password", "", "/import-custom-settings", name});
    std::ostringstream record;
    record << "== " << name << "\ncheck " << checked.exitCode << "\nimport " << imported.exitCode << "\n";
    const std::vector<uint8_t> after = Options();
    for (size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
      const int from = i < before.size() ? before[i] : -1, to = i < after.size() ? after[i] : -1;
      if (from != to) record << "byte " << i << ": " << from << " -> " << to << "\n";
    }
    // Result.txt line by line; every line ends with CR LF.
    const std::string result = ReadAll(work_ / "Result.txt");
    if (!fs::exists(work_ / "Result.txt")) record << "no Result.txt\n";
    for (size_t at = 0; at < result.size();) {
      const size_t end = result.find("\r\n", at);
      if (end == std::string::npos) {
        record << "| " << result.substr(at) << " (no CR LF)\n";
        break;
      }
      record << "| " << result.substr(at, end - at) << "\n";
      at = end + 2;
    }
    return record.str();
  }
};

TEST_F(ParityTest, EveryFileOfTheCorpusGivesTheSameOnBothBuilds) {
  const fs::path corpus(VORT64_PARITY_CORPUS);
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& e : fs::directory_iterator(corpus)) {
    if (e.path().extension() == ".xml") files.emplace_back(e.path().filename().string(), ReadAll(e.path()));
  }
  for (auto& made : MadeFiles()) files.push_back(std::move(made));
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 20u) << "the corpus is missing";
  std::string actual;
  for (const auto& [name, content] : files) actual += Record(name, content);
  const std::string expected = ReadAll(corpus / "expected.txt");
  if (actual != expected) {
    std::ofstream(fs::path(VORT64_E2E_SCRATCH) / "parity-actual.txt", std::ios::binary | std::ios::trunc) << actual;
  }
  // File by file, so that a difference names its file.
  const auto blocks = [](const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = text.find("== "); at != std::string::npos;) {
      const size_t next = text.find("\n== ", at);
      out.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next + 1 - at));
      at = next == std::string::npos ? next : next + 1;
    }
    return out;
  };
  const std::vector<std::string> got = blocks(actual), want = blocks(expected);
  EXPECT_EQ(got.size(), want.size());
  for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) EXPECT_EQ(got[i], want[i]);
}

}  // namespace
}  // namespace vort64::e2e
