// The custom-settings import on arbitrary file bytes.
//
// Input: the file's bytes; or, after a first byte 0, a made-up file: an Item
// count (255 and at most one byte more: 2048 or 2049), then names and values,
// one a line, which the harness
// writes as a custom-settings file with every character but letters and
// digits as a character reference.
//
// Invariants: the import ends loaded or not loaded, with no settings when
// not loaded and never more than 2048; each setting's problem follows from
// its text; the settings are the file's Items with a name attribute in
// document order, each name and value as an XPath reading of the same
// document gives them; a made-up file gives back exactly the names and
// values written into it.
#include <pugixml.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "cli/text_rules.h"
#include "fuzz/check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/temp_dir.h"
#include "ops/xml/custom_settings_file.h"

namespace vort64::fuzz {
namespace {

struct Expected {
  std::wstring name;
  std::optional<std::wstring> value;  // nothing: the Item has no child node
};

// A document the import must refuse although pugixml reads it: not exactly
// one element at the top, or an attribute named twice in an element.
bool BeyondWellFormed(const pugi::xml_document& doc) {
  const auto elements = doc.select_nodes("/*");
  if (elements.size() != 1) return true;
  for (const pugi::xpath_node& node : doc.select_nodes("//*")) {
    std::set<std::string> names;
    for (const pugi::xml_attribute& a : node.node().attributes()) {
      if (!names.insert(a.name()).second) return true;
    }
  }
  return false;
}

// The Items of the document as XPath finds them; nothing when the document
// does not load.
std::optional<std::vector<Expected>> ReadWithXPath(std::span<const uint8_t> bytes) {
  pugi::xml_document doc;
  const unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;
  if (!doc.load_buffer(bytes.data(), bytes.size(), options) || BeyondWellFormed(doc)) return std::nullopt;
  // A document type is refused: nothing of such a file is read.
  for (const pugi::xml_node& n : doc.children()) {
    if (n.type() == pugi::node_doctype) return std::nullopt;
  }
  std::vector<Expected> items;
  const pugi::xpath_query stringValue("string(.)");
  for (const pugi::xpath_node& found : doc.select_nodes("//Item[@name]")) {
    const pugi::xml_node item = found.node();
    Expected e{Utf8ToWide(item.attribute("name").value()), std::nullopt};
    if (const pugi::xml_node value = item.child("Value")) e.value = Utf8ToWide(stringValue.evaluate_string(value));
    items.push_back(std::move(e));
  }
  return items;
}

ImportResult Import(std::span<const uint8_t> bytes) {
  const TempDir dir;
  const auto file = dir.path() / "settings.xml";
  WriteFile(file, bytes);
  std::ostringstream out, err;
  Console console(out, err);
  return ImportCustomSettings(console, file);
}

void CheckResult(const ImportResult& result) {
  FUZZ_CHECK(result.status == ImportStatus::kLoaded || result.status == ImportStatus::kNotLoaded);
  FUZZ_CHECK(result.settings.size() <= kMaxImportedSettings);
  if (result.status == ImportStatus::kNotLoaded) FUZZ_CHECK(result.settings.empty());
  for (const ImportedSetting& s : result.settings) {
    const bool tooLong = s.name.size() + 1 + s.value.size() > kMaxArgumentLength;
    switch (s.problem) {
      case ImportProblem::kNone: FUZZ_CHECK(!tooLong); break;
      case ImportProblem::kNoValue: FUZZ_CHECK(s.value.empty()); break;
      case ImportProblem::kTooLong: FUZZ_CHECK(tooLong); break;
    }
  }
}

void CheckAgainst(const ImportResult& result, const std::vector<Expected>& items) {
  if (items.size() > kMaxImportedSettings) {
    FUZZ_CHECK(result.status == ImportStatus::kNotLoaded && result.settings.empty());
    return;
  }
  FUZZ_CHECK(result.status == ImportStatus::kLoaded && result.settings.size() == items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    const ImportedSetting& s = result.settings[i];
    FUZZ_CHECK(s.name == items[i].name);
    FUZZ_CHECK(s.value == items[i].value.value_or(L""));
    FUZZ_CHECK((s.problem == ImportProblem::kNoValue) == !items[i].value.has_value());
  }
}

// Text for the file: letters and digits as they are, anything else as a
// character reference.
std::string Escaped(std::wstring_view text) {
  std::string out;
  for (const wchar_t c : text) {
    if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) {
      out += static_cast<char>(c);
    } else {
      out += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
    }
  }
  return out;
}

void FuzzMadeUpFile(FuzzInput& in) {
  // A few Items of the lines that follow; or, for the count byte 255 and at
  // most one more byte, a full file (2048 Items) or one Item more: these are
  // slow, so that only a handful of inputs take that way.
  const uint8_t countByte = in.Byte();
  const bool full = countByte == 255 && in.size() <= 1;
  const size_t count = full ? kMaxImportedSettings + in.Byte() % 2 : countByte % 64;
  std::vector<Expected> pairs;
  while (!in.empty()) {
    std::wstring name = Utf8ToWide(in.Piece('\n'));
    std::wstring value = Utf8ToWide(in.Piece('\n'));
    // A NUL cannot stand in an XML document, not even as a reference.
    std::erase(name, L'\0');
    std::erase(value, L'\0');
    pairs.push_back({std::move(name), std::move(value)});
  }
  if (pairs.empty()) pairs.push_back({L"boot mode", L"1"});

  std::string file = "<?xml version='1.0' encoding='UTF-8'?>\r\n<Root WMI_version=\"2.90\">\r\n";
  file += "<Category name=\"Post Behaviors\">\r\n";
  std::vector<Expected> written;
  for (size_t i = 0; i < count; ++i) {
    const Expected& e = pairs[i % pairs.size()];
    file += "\t<Item name=\"" + Escaped(e.name) + "\" Description=\"0 : Off\">\r\n\t\t<Value>" + Escaped(*e.value) +
            "</Value></Item>\r\n";
    written.push_back(e);
  }
  file += "</Category>\r\n</Root>\r\n";
  const ImportResult result = Import(std::span(reinterpret_cast<const uint8_t*>(file.data()), file.size()));
  CheckResult(result);
  CheckAgainst(result, written);
}

}  // namespace
}  // namespace vort64::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vort64;
  using namespace vort64::fuzz;
  FuzzInput in(data, size);
  if (size > 0 && data[0] == 0) {
    in.Byte();
    FuzzMadeUpFile(in);
    return 0;
  }
  const std::span<const uint8_t> bytes(data, size);
  const ImportResult result = Import(bytes);
  CheckResult(result);
  if (const auto items = ReadWithXPath(bytes)) {
    CheckAgainst(result, *items);
  } else {
    FUZZ_CHECK(result.status == ImportStatus::kNotLoaded && result.settings.empty());
  }
  return 0;
}
