// The custom-settings import on arbitrary file bytes.
//
// Input: the file's bytes; or, after a first byte 0, a made-up file: an Item
// count (255 and at most one byte more: 2048 or 2049), then names and values,
// one a line, which the harness
// writes as a custom-settings file with every character but letters and
// digits as a character reference.
//
// Invariants: the import ends loaded or not loaded, with no settings when
// not loaded and never more than 2048; a file MSXML would refuse (text around
// the top element, a control character, a reference XML does not know) is not
// loaded; each setting's problem follows from
// its text; the settings are the file's Items with a name attribute in
// document order, each name and value as an XPath reading of the same
// document gives them; a made-up file gives back exactly the names and
// values written into it.
#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/console.h"
#include "base/text.h"
#include "base/text_rules.h"
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

// Whether `c` may stand in an XML document (XML 1.0's Char).
bool XmlCharacter(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// Whether text as the file writes it (references not replaced) holds a
// reference XML does not know without a document type: an unknown name, a
// bare '&', or a character reference to a character XML does not allow.
bool UnknownReference(std::string_view text) {
  for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
    const size_t end = text.find(';', at);
    if (end == std::string_view::npos) return true;
    const std::string_view ref = text.substr(at + 1, end - at - 1);
    if (ref == "lt" || ref == "gt" || ref == "amp" || ref == "apos" || ref == "quot") continue;
    if (ref.size() < 2 || ref[0] != '#') return true;
    const bool hex = ref[1] == 'x';
    const std::string_view digits = ref.substr(hex ? 2 : 1);
    uint64_t value = 0;
    const auto [end2, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (digits.empty() || ec != std::errc() || end2 != digits.data() + digits.size() || value > 0x10FFFF ||
        !XmlCharacter(static_cast<uint32_t>(value))) {
      return true;
    }
  }
  return false;
}

// A NUL or another control character XML does not allow in the text
// itself, in characters of the encoding pugixml read it in.
bool HoldsControlCharacter(std::span<const uint8_t> bytes, pugi::xml_encoding encoding) {
  size_t width = 1;
  if (encoding == pugi::encoding_utf16_le || encoding == pugi::encoding_utf16_be) width = 2;
  if (encoding == pugi::encoding_utf32_le || encoding == pugi::encoding_utf32_be) width = 4;
  const bool bigEndian = encoding == pugi::encoding_utf16_be || encoding == pugi::encoding_utf32_be;
  for (size_t at = 0; at + width <= bytes.size(); at += width) {
    uint32_t c = 0;
    for (size_t i = 0; i < width; ++i) c = (c << 8) | bytes[bigEndian ? at + i : at + width - 1 - i];
    if (c < 0x20 && !XmlCharacter(c)) return true;
  }
  return false;
}

// A document the import must refuse although pugixml reads it (as a
// fragment, which keeps what stands around the top element): not exactly
// one element at the top, text or CDATA beside it, an XML declaration
// anywhere but at the start, a NUL or another control character, an attribute named twice in
// an element, or a reference XML does not know.
bool BeyondWellFormed(const pugi::xml_document& doc, std::span<const uint8_t> bytes, pugi::xml_encoding encoding,
                      unsigned options) {
  if (doc.select_nodes("/*").size() != 1 || !doc.select_nodes("/text()").empty()) return true;
  if (HoldsControlCharacter(bytes, encoding)) return true;
  size_t position = 0;
  for (const pugi::xml_node& n : doc.children()) {
    if (n.type() == pugi::node_declaration && position != 0) return true;
    ++position;
  }
  if (doc.first_child().type() == pugi::node_declaration && encoding == pugi::encoding_utf8) {
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    if (!text.starts_with("<?xml")) return true;
  }
  for (const pugi::xpath_node& node : doc.select_nodes("//*")) {
    std::set<std::string> names;
    for (const pugi::xml_attribute& a : node.node().attributes()) {
      if (!names.insert(a.name()).second) return true;
    }
  }
  pugi::xml_document raw;
  if (!raw.load_buffer(bytes.data(), bytes.size(), options & ~pugi::parse_escapes, encoding)) return true;
  for (const pugi::xpath_node& found : raw.select_nodes("//text() | //@*")) {
    const char* text = found.attribute() ? found.attribute().value() : found.node().value();
    if (found.node().type() != pugi::node_cdata && UnknownReference(text)) return true;
  }
  return false;
}

// The Items of the document as XPath finds them; nothing when the document
// does not load.
std::optional<std::vector<Expected>> ReadWithXPath(std::span<const uint8_t> bytes) {
  pugi::xml_document doc;
  const unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype |
                           pugi::parse_declaration | pugi::parse_fragment;
  const pugi::xml_parse_result parsed = doc.load_buffer(bytes.data(), bytes.size(), options);
  if (HoldsControlCharacter(bytes, parsed.encoding) || !parsed) return std::nullopt;
  // A document type is refused: nothing of such a file is read.
  for (const pugi::xml_node& n : doc.children()) {
    if (n.type() == pugi::node_doctype) return std::nullopt;
  }
  if (BeyondWellFormed(doc, bytes, parsed.encoding, options)) return std::nullopt;
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
    // A character XML does not allow (NUL among them) cannot stand in a
    // document, not even as a reference.
    const auto notXml = [](wchar_t c) { return !XmlCharacter(static_cast<uint32_t>(c)); };
    std::erase_if(name, notXml);
    std::erase_if(value, notXml);
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
