// The custom-settings import on arbitrary file bytes.
//
// Input: the file's bytes; or, after a first byte 0, a made-up file: an Item
// count (255 and at most one byte more: 2048 or 2049), then names and values,
// one a line, which the harness
// writes as a custom-settings file with every character but letters and
// digits as a character reference.
//
// Invariants: the import ends loaded or not loaded, with no settings when
// not loaded and never more than 2048; a file that loads is one libxml2 (a
// conforming parser that is neither build's) also reads as well-formed, with
// no document type, version 1.0 and no deeper nesting than the limit; each
// setting's problem follows from its text; the settings are the file's Items
// with a name attribute in document order, each name as libxml2's XPath
// gives it and each value as its normalize-space() does (where no CDATA
// section or xml:space is involved); a made-up file gives back exactly the
// names and values written into it.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
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
#include "ops/xml/xml_document.h"

namespace vort64::fuzz {
namespace {

struct Expected {
  std::wstring name;
  std::optional<std::wstring> value;  // nothing: the Item has no Value element
  bool compared = true;               // whether the value is compared
};

// Whether `c` may stand in an XML document (XML 1.0's Char).
bool XmlCharacter(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

std::string Text(const xmlChar* text) { return text == nullptr ? std::string() : reinterpret_cast<const char*>(text); }

// The deepest nesting of elements below `node` (the node itself counts 1).
size_t Depth(const xmlNode* node) {
  size_t deepest = 0;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) deepest = std::max(deepest, Depth(child));
  }
  return deepest + 1;
}

// Whether the element or anything below it is a CDATA section or names
// xml:space: the oracle then does not compare the Value's text.
bool BeyondNormalizeSpace(const xmlNode* node) {
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_CDATA_SECTION_NODE) return true;
    if (child->type == XML_ELEMENT_NODE &&
        (xmlHasProp(child, BAD_CAST "space") != nullptr || BeyondNormalizeSpace(child))) {
      return true;
    }
  }
  return false;
}

// The Items of the document as libxml2 and its XPath find them; nothing
// when libxml2 does not load it. libxml2 checks well-formedness on its own
// (it is not the parser of either build), so a file it refuses must not
// load; a value is XPath's normalize-space() of the Value element, which is
// the text property's rule where no CDATA section or xml:space is involved.
struct Oracle {
  bool loaded = false;
  bool documentType = false;
  std::string version;
  size_t depth = 0;
  std::vector<Expected> items;
};

Oracle ReadWithLibxml2(std::span<const uint8_t> bytes) {
  Oracle oracle;
  xmlDoc* doc = xmlReadMemory(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), nullptr,
                              nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  if (doc == nullptr) return oracle;
  oracle.loaded = true;
  oracle.documentType = doc->intSubset != nullptr;
  oracle.version = Text(doc->version);
  if (const xmlNode* root = xmlDocGetRootElement(doc)) oracle.depth = Depth(root);
  xmlXPathContext* xpath = xmlXPathNewContext(doc);
  xmlXPathObject* found = xpath ? xmlXPathEvalExpression(BAD_CAST "//Item[@name]", xpath) : nullptr;
  if (found != nullptr && found->nodesetval != nullptr) {
    for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
      xmlNode* item = found->nodesetval->nodeTab[i];
      xmlChar* name = xmlGetProp(item, BAD_CAST "name");
      Expected e{Utf8ToWide(Text(name)), std::nullopt, true};
      xmlFree(name);
      for (xmlNode* child = item->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || Text(child->name) != "Value") continue;
        e.compared = !BeyondNormalizeSpace(child) && xmlHasProp(item, BAD_CAST "space") == nullptr;
        xpath->node = child;
        xmlXPathObject* text = xmlXPathEvalExpression(BAD_CAST "normalize-space(.)", xpath);
        e.value = Utf8ToWide(text != nullptr ? Text(text->stringval) : std::string());
        xmlXPathFreeObject(text);
        break;
      }
      oracle.items.push_back(std::move(e));
    }
  }
  xmlXPathFreeObject(found);
  xmlXPathFreeContext(xpath);
  xmlFreeDoc(doc);
  return oracle;
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
    const bool control = HoldsControlCharacter(s.name) || HoldsControlCharacter(s.value);
    switch (s.problem) {
      case ImportProblem::kNone: FUZZ_CHECK(!tooLong && !control); break;
      case ImportProblem::kNoValue: FUZZ_CHECK(s.value.empty() && !control); break;
      case ImportProblem::kTooLong: FUZZ_CHECK(tooLong && !control); break;
      case ImportProblem::kControlCharacter: FUZZ_CHECK(control); break;
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
    if (items[i].compared) FUZZ_CHECK(s.value == items[i].value.value_or(L""));
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

// XPath's normalize-space(): no white space at the ends, a blank for each
// run of it inside.
std::wstring NormalizeSpace(std::wstring_view text) {
  std::wstring out;
  bool blank = false;
  for (const wchar_t c : text) {
    if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += L' ';
    blank = false;
    out += c;
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
    pairs.push_back({std::move(name), std::move(value), true});
  }
  if (pairs.empty()) pairs.push_back({L"boot mode", L"1", true});

  std::string file = "<?xml version='1.0' encoding='UTF-8'?>\r\n<Root WMI_version=\"2.90\">\r\n";
  file += "<Category name=\"Post Behaviors\">\r\n";
  std::vector<Expected> written;
  for (size_t i = 0; i < count; ++i) {
    const Expected& e = pairs[i % pairs.size()];
    file += "\t<Item name=\"" + Escaped(e.name) + "\" Description=\"0 : Off\">\r\n\t\t<Value>" + Escaped(*e.value) +
            "</Value></Item>\r\n";
    // A value reads back with its white space normalized.
    written.push_back({e.name, NormalizeSpace(*e.value), true});
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
  if (result.status == ImportStatus::kLoaded) {
    const Oracle oracle = ReadWithLibxml2(bytes);
    FUZZ_CHECK(oracle.loaded);
    FUZZ_CHECK(!oracle.documentType);
    FUZZ_CHECK(oracle.version == "1.0");
    FUZZ_CHECK(oracle.depth <= kMaxXmlDepth);
    CheckAgainst(result, oracle.items);
  }
  return 0;
}
