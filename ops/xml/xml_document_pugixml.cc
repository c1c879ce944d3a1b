// The XML document over pugixml (every build but Windows).
#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>
#include <set>
#include <string>

#include <pugixml.hpp>

#include "base/text.h"
#include "ops/xml/xml_document.h"

namespace vort64 {
namespace {

std::string Utf8(std::wstring_view text) { return WideToUtf8(text); }
std::wstring Wide(const char* text) { return Utf8ToWide(text); }

bool IsText(const pugi::xml_node& node) { return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata; }

// The node after `node` in document order, staying inside `top`.
pugi::xml_node NextInOrder(pugi::xml_node node, const pugi::xml_node& top) {
  if (node.first_child()) return node.first_child();
  while (node && node != top) {
    if (node.next_sibling()) return node.next_sibling();
    node = node.parent();
  }
  return {};
}

// The characters of every text node inside `node`, in order.
std::wstring TextInside(const pugi::xml_node& node) {
  std::string text;
  for (pugi::xml_node n = node.first_child(); n; n = NextInOrder(n, node)) {
    if (IsText(n)) text += n.value();
  }
  return Utf8ToWide(text);
}

class PugiNodeView final : public XmlNodeView {
 public:
  PugiNodeView(const pugi::xml_node& node, size_t depth) : node_(node), depth_(depth) {}

  XmlNodeKind Kind() const override {
    if (node_.type() == pugi::node_element) return XmlNodeKind::kElement;
    return IsText(node_) ? XmlNodeKind::kText : XmlNodeKind::kOther;
  }
  size_t Depth() const override { return depth_; }
  std::wstring Name() const override {
    return node_.type() == pugi::node_element ? Wide(node_.name()) : std::wstring();
  }
  std::wstring Value() const override { return Wide(node_.value()); }
  std::vector<XmlAttribute> Attributes() const override {
    std::vector<XmlAttribute> attributes;
    for (const pugi::xml_attribute& a : node_.attributes()) attributes.push_back({Wide(a.name()), Wide(a.value())});
    return attributes;
  }
  std::optional<std::wstring> ChildElementText(std::wstring_view name) const override {
    const pugi::xml_node child = node_.child(Utf8(name).c_str());
    if (!child) return std::nullopt;
    return TextInside(child);
  }

 private:
  pugi::xml_node node_;
  size_t depth_;
};

// The line of the byte at `offset` (from 1).
size_t LineAt(std::span<const uint8_t> bytes, ptrdiff_t offset) {
  const size_t end = std::min(bytes.size(), static_cast<size_t>(std::max<ptrdiff_t>(offset, 0)));
  return 1 + static_cast<size_t>(std::count(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(end), '\n'));
}

// The options every load parses with. The document type is kept as a node
// so that it can be refused (pugixml would otherwise skip it and leave its
// entity references as text); the declaration, so that its place can be
// checked; and the text around the top element, as a fragment's, so that
// it can be refused.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype |
                                   pugi::parse_declaration | pugi::parse_fragment;

// What makes a loaded text no XML although pugixml took it, and the line
// (from 1) where it is; 0 where the line is not known.
struct NotXml {
  size_t line = 0;
};

// The bytes of one character of `encoding` (pugixml's reading of the file).
size_t UnitSize(pugi::xml_encoding encoding) {
  switch (encoding) {
    case pugi::encoding_utf16_le:
    case pugi::encoding_utf16_be:
    case pugi::encoding_utf16: return 2;
    case pugi::encoding_utf32_le:
    case pugi::encoding_utf32_be:
    case pugi::encoding_utf32:
    case pugi::encoding_wchar: return 4;
    case pugi::encoding_auto:
    case pugi::encoding_utf8:
    case pugi::encoding_latin1: break;
  }
  return 1;
}

// A control character XML does not allow (anything below U+0020 but tab,
// line feed and carriage return) in the text itself, which pugixml takes as
// text; a NUL among them, where pugixml would stop reading and take the text
// before it as the whole file. Looked for by whole characters of the file's
// encoding; its line counts the line ends before it.
std::optional<NotXml> ControlCharacter(std::span<const uint8_t> bytes, pugi::xml_encoding encoding) {
  const size_t unit = UnitSize(encoding);
  const bool bigEndian = encoding == pugi::encoding_utf16_be || encoding == pugi::encoding_utf32_be;
  size_t line = 1;
  for (size_t at = 0; at + unit <= bytes.size(); at += unit) {
    uint32_t c = 0;
    for (size_t i = 0; i < unit; ++i) c |= static_cast<uint32_t>(bytes[at + (bigEndian ? unit - 1 - i : i)]) << (8 * i);
    if (c == '\n') ++line;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return NotXml{line};
  }
  return std::nullopt;
}

// The line of a node, where its offset is one in the file's bytes (a file
// read as UTF-8, as it stands): for text, of its first character that is no
// blank.
size_t LineOf(const pugi::xml_node& node, std::span<const uint8_t> bytes, pugi::xml_encoding encoding) {
  if (encoding != pugi::encoding_utf8 || node.offset_debug() < 0) return 0;
  size_t at = static_cast<size_t>(node.offset_debug());
  if (node.type() == pugi::node_pcdata) {
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n')) ++at;
  }
  return LineAt(bytes, static_cast<ptrdiff_t>(at));
}

// Whether a character may stand in an XML document (XML 1.0's Char).
bool IsXmlCharacter(uint32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return (c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Whether every '&' in `text` (as the file has it, references not replaced)
// starts a reference XML knows without a document type: one of the five
// named ones, or a character reference to a character a document may hold
// (never NUL).
bool ReferencesAreXml(std::string_view text) {
  static constexpr std::string_view kNamed[] = {"lt;", "gt;", "amp;", "apos;", "quot;"};
  for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
    const std::string_view rest = text.substr(at + 1);
    if (std::any_of(std::begin(kNamed), std::end(kNamed), [&](std::string_view n) { return rest.starts_with(n); })) {
      continue;
    }
    if (!rest.starts_with('#')) return false;
    const bool hex = rest.size() > 1 && rest[1] == 'x';
    size_t i = hex ? 2 : 1;
    uint32_t value = 0;
    const size_t digitsFrom = i;
    for (; i < rest.size() && rest[i] != ';'; ++i) {
      const char c = rest[i];
      uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (hex && c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else if (hex && c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
      value = value * (hex ? 16 : 10) + digit;
      if (value > 0x10FFFF) return false;
    }
    if (i == digitsFrom || i == rest.size() || !IsXmlCharacter(value)) return false;
  }
  return true;
}

// What MSXML refuses and pugixml lets pass: a document needs exactly one
// element at its top with nothing but comments, instructions and blanks
// around it, the XML declaration only at its very start, an element names
// each attribute once, and every reference is one XML knows (no NUL or other
// control character among them). `raw` is the document read again without its
// references replaced (nothing when the file holds no '&').
std::optional<NotXml> BeyondTheParser(const pugi::xml_document& doc, const pugi::xml_document* raw,
                                      std::span<const uint8_t> bytes, pugi::xml_encoding encoding) {
  const auto at = [&](const pugi::xml_node& node) { return NotXml{LineOf(node, bytes, encoding)}; };
  size_t topElements = 0;
  bool first = true;
  for (const pugi::xml_node& n : doc.children()) {
    switch (n.type()) {
      case pugi::node_element:
        if (++topElements > 1) return at(n);
        break;
      case pugi::node_declaration:
        // "<?xml" and its name start the file, after a byte order mark.
        if (!first || (encoding == pugi::encoding_utf8 && n.offset_debug() != 2 && n.offset_debug() != 5)) return at(n);
        break;
      case pugi::node_pcdata:
        // Blanks between the top-level nodes, where they are kept.
        if (std::string_view(n.value()).find_first_not_of(" \t\r\n") != std::string_view::npos) return at(n);
        break;
      case pugi::node_cdata: return at(n);
      case pugi::node_null:
      case pugi::node_document:
      case pugi::node_comment:
      case pugi::node_pi:
      case pugi::node_doctype: break;
    }
    first = false;
  }
  // No element at all: the file ended before its top element.
  if (topElements == 0) return NotXml{encoding == pugi::encoding_utf8 ? LineAt(bytes, std::ssize(bytes)) : 0};
  for (pugi::xml_node n = doc.first_child(); n; n = NextInOrder(n, doc)) {
    std::set<std::string_view> names;
    for (const pugi::xml_attribute& a : n.attributes()) {
      if (!names.insert(a.name()).second) return at(n);
    }
  }
  if (raw == nullptr) return std::nullopt;
  for (pugi::xml_node n = raw->first_child(); n; n = NextInOrder(n, *raw)) {
    if (n.type() == pugi::node_pcdata && !ReferencesAreXml(n.value())) return at(n);
    for (const pugi::xml_attribute& a : n.attributes()) {
      if (!ReferencesAreXml(a.value())) return at(n);
    }
  }
  return std::nullopt;
}

}  // namespace

// ---- XmlWriter --------------------------------------------------------------

struct XmlWriter::Impl {
  pugi::xml_document doc;
  std::vector<pugi::xml_node> elements;
  bool failed = false;

  // Runs one operation; a failure (out of memory) marks the document failed.
  template <class F>
  void Do(F&& operation) {
    if (failed) return;
    try {
      failed = !operation();
    } catch (const std::exception&) {
      failed = true;
    }
  }
  pugi::xml_node Element(XmlElement e) const {
    return e.index < elements.size() ? elements[e.index] : pugi::xml_node();
  }
  XmlElement AppendElement(pugi::xml_node parent, std::wstring_view name) {
    XmlElement made;
    Do([&] {
      pugi::xml_node node = parent.append_child(pugi::node_element);
      if (!node || !node.set_name(Utf8(name).c_str())) return false;
      elements.push_back(node);
      made.index = elements.size() - 1;
      return true;
    });
    return made;
  }
};

XmlWriter::XmlWriter() : impl_(std::make_unique<Impl>()) {}
XmlWriter::~XmlWriter() = default;

void XmlWriter::AppendProcessingInstruction(std::wstring_view target, std::wstring_view data) {
  impl_->Do([&] {
    pugi::xml_node node = impl_->doc.append_child(pugi::node_pi);
    return node && node.set_name(Utf8(target).c_str()) && node.set_value(Utf8(data).c_str());
  });
}

XmlElement XmlWriter::AppendElement(std::wstring_view name) { return impl_->AppendElement(impl_->doc, name); }

XmlElement XmlWriter::AppendElement(XmlElement parent, std::wstring_view name) {
  const pugi::xml_node node = impl_->Element(parent);
  if (!node) {
    impl_->failed = true;
    return {};
  }
  return impl_->AppendElement(node, name);
}

void XmlWriter::SetAttribute(XmlElement element, std::wstring_view name, std::wstring_view value) {
  impl_->Do([&] {
    pugi::xml_node node = impl_->Element(element);
    pugi::xml_attribute attribute = node.attribute(Utf8(name).c_str());
    if (!attribute) attribute = node.append_attribute(Utf8(name).c_str());
    return attribute && attribute.set_value(Utf8(value).c_str());
  });
}

void XmlWriter::AppendText(XmlElement parent, std::wstring_view text) {
  if (text.empty()) return;
  impl_->Do([&] {
    pugi::xml_node node = impl_->Element(parent).append_child(pugi::node_pcdata);
    return node && node.set_value(Utf8(text).c_str());
  });
}

bool XmlWriter::failed() const { return impl_->failed; }

namespace {

// Collects what pugixml writes.
class ByteWriter : public pugi::xml_writer {
 public:
  explicit ByteWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  void write(const void* data, size_t size) override {
    const auto* begin = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), begin, begin + size);
  }

 private:
  std::vector<uint8_t>& bytes_;
};

}  // namespace

XmlSaveResult XmlWriter::Save(std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (impl_->failed) return XmlSaveResult::kError;
  try {
    ByteWriter writer(bytes);
    for (const pugi::xml_node& node : impl_->doc.children()) {
      node.print(writer, PUGIXML_TEXT(""), pugi::format_raw, pugi::encoding_utf8);
      writer.write("\r\n", 2);
    }
    return XmlSaveResult::kSaved;
  } catch (const std::exception&) {
    bytes.clear();
    return XmlSaveResult::kError;
  }
}

// ---- XmlReader --------------------------------------------------------------

struct XmlReader::Impl {
  pugi::xml_document doc;
  bool loaded = false;
  size_t errorLine = 0;
};

XmlReader::XmlReader() : impl_(std::make_unique<Impl>()) {}
XmlReader::~XmlReader() = default;

XmlLoadResult XmlReader::Load(std::span<const uint8_t> bytes, XmlWhitespace whitespace) {
  impl_->loaded = false;
  impl_->errorLine = 0;
  unsigned options = kParseOptions;
  if (whitespace == XmlWhitespace::kKeep) options |= pugi::parse_ws_pcdata;
  try {
    const pugi::xml_parse_result parsed = impl_->doc.load_buffer(bytes.data(), bytes.size(), options);
    if (parsed.status == pugi::status_out_of_memory) return XmlLoadResult::kError;
    // A NUL character ends pugixml's reading wherever it stands, in a text
    // it takes or one it refuses: the NUL is what is no XML.
    if (const std::optional<NotXml> nul = ControlCharacter(bytes, parsed.encoding)) {
      impl_->errorLine = nul->line;
      return XmlLoadResult::kNotLoaded;
    }
    if (!parsed) {
      // The offset counts the text as read in UTF-8: a line only for a file
      // that is UTF-8.
      if (parsed.encoding == pugi::encoding_utf8) impl_->errorLine = LineAt(bytes, parsed.offset);
      return XmlLoadResult::kNotLoaded;
    }
    for (const pugi::xml_node& n : impl_->doc.children()) {
      if (n.type() == pugi::node_doctype) return XmlLoadResult::kDocumentType;
    }
    // The references as the file writes them, where there can be any: a
    // second reading that leaves them as they stand.
    std::optional<pugi::xml_document> raw;
    if (std::find(bytes.begin(), bytes.end(), '&') != bytes.end()) {
      raw.emplace();
      const pugi::xml_parse_result again =
          raw->load_buffer(bytes.data(), bytes.size(), options & ~pugi::parse_escapes, parsed.encoding);
      if (again.status == pugi::status_out_of_memory) return XmlLoadResult::kError;
      if (!again) return XmlLoadResult::kNotLoaded;
    }
    if (const std::optional<NotXml> notXml =
            BeyondTheParser(impl_->doc, raw ? &*raw : nullptr, bytes, parsed.encoding)) {
      impl_->errorLine = notXml->line;
      return XmlLoadResult::kNotLoaded;
    }
  } catch (const std::exception&) {
    return XmlLoadResult::kError;
  }
  impl_->loaded = true;
  return XmlLoadResult::kLoaded;
}

size_t XmlReader::ErrorLine() const { return impl_->errorLine; }

XmlWalkResult XmlReader::Walk(const XmlVisitor& visit) {
  if (!impl_->loaded) return XmlWalkResult::kDone;
  const pugi::xml_node top = impl_->doc;
  try {
    size_t depth = 0;
    for (pugi::xml_node node = top.first_child(); node;) {
      // Whitespace between the top-level nodes is no node of the document,
      // and the XML declaration is none either.
      const bool shown = (depth != 0 || !IsText(node)) && node.type() != pugi::node_declaration;
      if (shown && !visit(PugiNodeView(node, depth))) break;
      if (node.first_child()) {
        node = node.first_child();
        ++depth;
        continue;
      }
      while (node != top && !node.next_sibling()) {
        node = node.parent();
        --depth;
      }
      node = node == top ? pugi::xml_node() : node.next_sibling();
    }
  } catch (const std::exception&) {
    return XmlWalkResult::kError;
  }
  return XmlWalkResult::kDone;
}

}  // namespace vort64
