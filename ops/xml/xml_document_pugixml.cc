// The XML document over pugixml (every build but Windows).
#include <algorithm>
#include <exception>
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

// What MSXML refuses and pugixml lets pass: a document needs exactly one
// element at its top, and an element names each attribute once.
bool WellFormedBeyondTheParser(const pugi::xml_document& doc) {
  size_t topElements = 0;
  for (const pugi::xml_node& n : doc.children()) topElements += n.type() == pugi::node_element ? 1u : 0u;
  if (topElements != 1) return false;
  for (pugi::xml_node n = doc.first_child(); n; n = NextInOrder(n, doc)) {
    std::set<std::string_view> names;
    for (const pugi::xml_attribute& a : n.attributes()) {
      if (!names.insert(a.name()).second) return false;
    }
  }
  return true;
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
  // The document type is kept as a node so that it can be refused: pugixml
  // would otherwise skip it and leave its entity references as text.
  unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;
  if (whitespace == XmlWhitespace::kKeep) options |= pugi::parse_ws_pcdata;
  try {
    const pugi::xml_parse_result parsed = impl_->doc.load_buffer(bytes.data(), bytes.size(), options);
    if (parsed.status == pugi::status_out_of_memory) return XmlLoadResult::kError;
    if (!parsed) {
      impl_->errorLine = LineAt(bytes, parsed.offset);
      return XmlLoadResult::kNotLoaded;
    }
    for (const pugi::xml_node& n : impl_->doc.children()) {
      if (n.type() == pugi::node_doctype) return XmlLoadResult::kDocumentType;
    }
    if (!WellFormedBeyondTheParser(impl_->doc)) return XmlLoadResult::kNotLoaded;
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
      // Whitespace between the top-level nodes is no node of the document.
      const bool shown = depth != 0 || !IsText(node);
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
