// The XML document over expat (every build but Windows). Expat checks that a
// text is well-formed XML 1.0 as MSXML 3.0 does; on top of it the reader
// refuses what MSXML also refuses and expat lets pass (a version other than
// 1.0) and stops at the depth the Windows build allows, and keeps the nodes
// in one array in document order, their texts in one pool: a file of the
// largest size costs a bounded amount of memory and time. The writer writes
// the tree itself.
#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "ops/xml/value_text.h"
#include "ops/xml/xml_document.h"

namespace vort64 {

// ---- XmlWriter --------------------------------------------------------------

namespace {

enum class WrittenKind { kElement, kText, kInstruction };

struct WrittenNode {
  WrittenKind kind = WrittenKind::kText;
  std::string name = {};   // element name, instruction target
  std::string value = {};  // text, instruction data
  std::vector<std::pair<std::string, std::string>> attributes = {};
  std::vector<size_t> children = {};
};

// Text as an element's content: markup characters and the control
// characters XML keeps only as references escaped.
void EscapeText(std::string& out, std::string_view text, bool attribute) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += attribute ? ">" : "&gt;"; break;
      case '"': out += attribute ? "&quot;" : "\""; break;
      default:
        if (u < 0x20 && (attribute || (c != '\t' && c != '\n' && c != '\r'))) {
          out += "&#" + std::to_string(u / 10) + std::to_string(u % 10) + ";";
        } else {
          out += c;
        }
    }
  }
}

}  // namespace

struct XmlWriter::Impl {
  std::vector<WrittenNode> nodes;
  std::vector<size_t> top;       // the document's children
  std::vector<size_t> elements;  // XmlElement index -> node
  bool failed = false;

  template <class F>
  void Do(F&& operation) {
    if (failed) return;
    try {
      failed = !operation();
    } catch (const std::exception&) {
      failed = true;
    }
  }
  // Appends a node below `parent` (SIZE_MAX: the document).
  size_t Append(size_t parent, WrittenNode node) {
    nodes.push_back(std::move(node));
    (parent == SIZE_MAX ? top : nodes[parent].children).push_back(nodes.size() - 1);
    return nodes.size() - 1;
  }
  XmlElement AppendElement(size_t parent, std::wstring_view name) {
    XmlElement made;
    Do([&] {
      const size_t node = Append(parent, {.kind = WrittenKind::kElement, .name = WideToUtf8(name)});
      elements.push_back(node);
      made.index = elements.size() - 1;
      return true;
    });
    return made;
  }
  void Print(std::string& out, size_t index) const {
    const WrittenNode& node = nodes[index];
    switch (node.kind) {
      case WrittenKind::kText: EscapeText(out, node.value, false); return;
      case WrittenKind::kInstruction:
        out += "<?" + node.name;
        if (!node.value.empty()) out += " " + node.value;
        out += "?>";
        return;
      case WrittenKind::kElement: break;
    }
    out += "<" + node.name;
    for (const auto& [name, value] : node.attributes) {
      out += " " + name + "=\"";
      EscapeText(out, value, true);
      out += "\"";
    }
    if (node.children.empty()) {
      out += "/>";
      return;
    }
    out += ">";
    for (const size_t child : node.children) Print(out, child);
    out += "</" + node.name + ">";
  }
};

XmlWriter::XmlWriter() : impl_(std::make_unique<Impl>()) {}
XmlWriter::~XmlWriter() = default;

void XmlWriter::AppendProcessingInstruction(std::wstring_view target, std::wstring_view data) {
  impl_->Do([&] {
    impl_->Append(SIZE_MAX, {.kind = WrittenKind::kInstruction, .name = WideToUtf8(target), .value = WideToUtf8(data)});
    return true;
  });
}

XmlElement XmlWriter::AppendElement(std::wstring_view name) { return impl_->AppendElement(SIZE_MAX, name); }

XmlElement XmlWriter::AppendElement(XmlElement parent, std::wstring_view name) {
  if (parent.index >= impl_->elements.size()) {
    impl_->failed = true;
    return {};
  }
  return impl_->AppendElement(impl_->elements[parent.index], name);
}

void XmlWriter::SetAttribute(XmlElement element, std::wstring_view name, std::wstring_view value) {
  impl_->Do([&] {
    if (element.index >= impl_->elements.size()) return false;
    auto& attributes = impl_->nodes[impl_->elements[element.index]].attributes;
    const std::string n = WideToUtf8(name);
    auto found = std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == n; });
    if (found == attributes.end()) {
      attributes.emplace_back(n, WideToUtf8(value));
    } else {
      found->second = WideToUtf8(value);
    }
    return true;
  });
}

void XmlWriter::AppendText(XmlElement parent, std::wstring_view text) {
  if (text.empty()) return;
  impl_->Do([&] {
    if (parent.index >= impl_->elements.size()) return false;
    impl_->Append(impl_->elements[parent.index], {.kind = WrittenKind::kText, .value = WideToUtf8(text)});
    return true;
  });
}

bool XmlWriter::failed() const { return impl_->failed; }

XmlSaveResult XmlWriter::Save(std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (impl_->failed) return XmlSaveResult::kError;
  try {
    std::string out;
    for (const size_t node : impl_->top) {
      impl_->Print(out, node);
      out += "\r\n";
    }
    bytes.assign(out.begin(), out.end());
    return XmlSaveResult::kSaved;
  } catch (const std::exception&) {
    bytes.clear();
    return XmlSaveResult::kError;
  }
}

// ---- XmlReader --------------------------------------------------------------

namespace {

constexpr uint32_t kNoNode = UINT32_MAX;

// A node of the loaded document; its texts are ranges of the pool.
struct Node {
  XmlNodeKind kind = XmlNodeKind::kOther;
  bool cdata = false;     // a text node that is a CDATA section
  bool preserve = false;  // an element xml:space="preserve" covers
  uint32_t depth = 0;
  uint32_t nextSibling = kNoNode;
  uint32_t nameAt = 0, nameSize = 0;    // element name, instruction target
  uint32_t valueAt = 0, valueSize = 0;  // text, comment, instruction data
  uint32_t firstAttribute = 0, attributeCount = 0;
};

struct Range {
  uint32_t at = 0, size = 0;
};

struct Attribute {
  Range name, value;
};

// Why a parse was stopped from a handler.
enum class Stop { kNone, kDocumentType, kNotXml, kNoMemory };

// The nodes of a loaded document in document order, and their texts.
struct LoadedDocument {
  std::vector<Node> nodes;
  std::vector<Attribute> attributes;
  std::string pool;

  std::string_view Text(uint32_t at, uint32_t size) const { return std::string_view(pool).substr(at, size); }
  std::string_view Text(Range r) const { return Text(r.at, r.size); }
  std::string_view Name(const Node& n) const { return Text(n.nameAt, n.nameSize); }
  std::string_view Value(const Node& n) const { return Text(n.valueAt, n.valueSize); }
};

}  // namespace

struct XmlReader::Impl : LoadedDocument {
  bool loaded = false;
  bool keepBlanks = false;
  size_t errorLine = 0;

  // While parsing.
  XML_Parser parser = nullptr;
  Stop stop = Stop::kNone;
  std::vector<uint32_t> open;       // the elements open, outermost first
  std::vector<uint32_t> lastChild;  // per depth: the last node at it, or kNoNode
  uint32_t openText = kNoNode;      // the text node character data goes on
  bool inCdata = false;

  Range Keep(std::string_view text) {
    if (pool.size() + text.size() > UINT32_MAX) throw std::bad_alloc();
    const Range r{static_cast<uint32_t>(pool.size()), static_cast<uint32_t>(text.size())};
    pool.append(text);
    return r;
  }
  // Adds a node at the current depth, after its last sibling.
  uint32_t Add(Node node) {
    if (nodes.size() >= kNoNode) throw std::bad_alloc();
    const auto index = static_cast<uint32_t>(nodes.size());
    node.depth = static_cast<uint32_t>(open.size());
    // A text node keeps its white space where its element does.
    if (node.kind == XmlNodeKind::kText && !open.empty()) node.preserve = nodes[open.back()].preserve;
    if (lastChild.size() <= node.depth) lastChild.resize(node.depth + 1, kNoNode);
    if (lastChild[node.depth] != kNoNode) nodes[lastChild[node.depth]].nextSibling = index;
    lastChild[node.depth] = index;
    nodes.push_back(node);
    openText = kNoNode;
    return index;
  }
  void Halt(Stop why) {
    if (stop == Stop::kNone) {
      stop = why;
      errorLine = XML_GetCurrentLineNumber(parser);
    }
    XML_StopParser(parser, XML_FALSE);
  }
  // Runs a handler's work; memory running out stops the parse.
  template <class F>
  void Guard(F&& work) {
    if (stop != Stop::kNone) return;
    try {
      work();
    } catch (const std::exception&) {
      Halt(Stop::kNoMemory);
    }
  }

  static Impl& Of(void* data) { return *static_cast<Impl*>(data); }

  static void OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
    Impl& self = Of(data);
    self.Guard([&] {
      if (self.open.size() >= kMaxXmlDepth) {
        self.Halt(Stop::kNotXml);
        return;
      }
      Node node{.kind = XmlNodeKind::kElement};
      node.preserve = !self.open.empty() && self.nodes[self.open.back()].preserve;
      const Range n = self.Keep(name);
      node.nameAt = n.at;
      node.nameSize = n.size;
      node.firstAttribute = static_cast<uint32_t>(self.attributes.size());
      for (const XML_Char** a = atts; *a != nullptr; a += 2) {
        const std::string_view attributeName = a[0], value = a[1];
        if (attributeName == "xml:space") node.preserve = value == "preserve" || (value != "default" && node.preserve);
        self.attributes.push_back({self.Keep(attributeName), self.Keep(value)});
        ++node.attributeCount;
      }
      const uint32_t index = self.Add(node);
      self.open.push_back(index);
      if (self.lastChild.size() > self.open.size()) self.lastChild[self.open.size()] = kNoNode;
    });
  }
  static void OnEnd(void* data, const XML_Char*) {
    Impl& self = Of(data);
    self.Guard([&] {
      self.open.pop_back();
      self.openText = kNoNode;
    });
  }
  static void OnCharacters(void* data, const XML_Char* text, int size) {
    Impl& self = Of(data);
    self.Guard([&] {
      const std::string_view chars(text, static_cast<size_t>(size));
      if (self.openText != kNoNode) {
        self.Keep(chars);
        self.nodes[self.openText].valueSize += static_cast<uint32_t>(size);
        return;
      }
      const Range r = self.Keep(chars);
      const uint32_t index =
          self.Add({.kind = XmlNodeKind::kText, .cdata = self.inCdata, .valueAt = r.at, .valueSize = r.size});
      self.openText = index;
    });
  }
  static void OnCdataStart(void* data) {
    Impl& self = Of(data);
    self.Guard([&] {
      // A CDATA section is a node of its own, an empty one too.
      const uint32_t index =
          self.Add({.kind = XmlNodeKind::kText, .cdata = true, .valueAt = static_cast<uint32_t>(self.pool.size())});
      self.openText = index;
      self.inCdata = true;
    });
  }
  static void OnCdataEnd(void* data) {
    Impl& self = Of(data);
    self.inCdata = false;
    self.openText = kNoNode;
  }
  static void OnComment(void* data, const XML_Char* text) {
    Impl& self = Of(data);
    self.Guard([&] {
      const Range r = self.Keep(text);
      self.Add({.valueAt = r.at, .valueSize = r.size});
    });
  }
  static void OnInstruction(void* data, const XML_Char* target, const XML_Char* text) {
    Impl& self = Of(data);
    self.Guard([&] {
      const Range t = self.Keep(target), r = self.Keep(text);
      self.Add({.nameAt = t.at, .nameSize = t.size, .valueAt = r.at, .valueSize = r.size});
    });
  }
  static void OnDeclaration(void* data, const XML_Char* version, const XML_Char*, int) {
    // MSXML reads XML 1.0 only.
    Impl& self = Of(data);
    if (version != nullptr && std::strcmp(version, "1.0") != 0) self.Halt(Stop::kNotXml);
  }
  static void OnDocumentType(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Of(data).Halt(Stop::kDocumentType);
  }
};

namespace {

class ExpatNodeView final : public XmlNodeView {
 public:
  ExpatNodeView(const LoadedDocument& doc, uint32_t index) : doc_(doc), index_(index) {}

  XmlNodeKind Kind() const override { return node().kind; }
  size_t Depth() const override { return node().depth; }
  std::wstring Name() const override {
    return node().kind == XmlNodeKind::kElement ? Utf8ToWide(doc_.Name(node())) : std::wstring();
  }
  std::wstring Value() const override { return Utf8ToWide(doc_.Value(node())); }
  std::vector<XmlAttribute> Attributes() const override {
    std::vector<XmlAttribute> attributes;
    for (uint32_t i = 0; i < node().attributeCount; ++i) {
      const Attribute& a = doc_.attributes[node().firstAttribute + i];
      attributes.push_back({Utf8ToWide(doc_.Text(a.name)), Utf8ToWide(doc_.Text(a.value))});
    }
    return attributes;
  }
  std::optional<std::wstring> ChildElementText(std::wstring_view name) const override {
    const std::string wanted = WideToUtf8(name);
    const uint32_t first = index_ + 1;
    if (first >= doc_.nodes.size() || doc_.nodes[first].depth != node().depth + 1) return std::nullopt;
    for (uint32_t child = first; child != kNoNode; child = doc_.nodes[child].nextSibling) {
      const Node& c = doc_.nodes[child];
      if (c.kind != XmlNodeKind::kElement || doc_.Name(c) != wanted) continue;
      // Every text node inside it, as its text property reads them.
      std::vector<std::wstring> texts;
      std::vector<bool> kept;
      for (uint32_t i = child + 1; i < doc_.nodes.size() && doc_.nodes[i].depth > c.depth; ++i) {
        const Node& n = doc_.nodes[i];
        if (n.kind != XmlNodeKind::kText) continue;
        texts.push_back(Utf8ToWide(doc_.Value(n)));
        kept.push_back(n.cdata || n.preserve);
      }
      std::vector<TextPiece> pieces;
      for (size_t i = 0; i < texts.size(); ++i) pieces.push_back({texts[i], kept[i]});
      return ValueText(pieces);
    }
    return std::nullopt;
  }

 private:
  const Node& node() const { return doc_.nodes[index_]; }

  const LoadedDocument& doc_;
  uint32_t index_;
};

bool AllWhiteSpace(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return IsXmlWhiteSpace(static_cast<wchar_t>(c)); });
}

}  // namespace

XmlReader::XmlReader() : impl_(std::make_unique<Impl>()) {}
XmlReader::~XmlReader() = default;

XmlLoadResult XmlReader::Load(std::span<const uint8_t> bytes, XmlWhitespace whitespace) {
  Impl& d = *impl_;
  d.nodes.clear();
  d.attributes.clear();
  d.pool.clear();
  d.open.clear();
  d.lastChild.clear();
  d.openText = kNoNode;
  d.inCdata = false;
  d.stop = Stop::kNone;
  d.loaded = false;
  d.errorLine = 0;
  d.keepBlanks = whitespace == XmlWhitespace::kKeep;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return XmlLoadResult::kError;
  try {
    // Room for every node at once, so that the array is never moved while it
    // grows: each '<' starts at most one node, with at most one text node
    // after it. Pages that stay unused cost no memory.
    const size_t markup = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '<'));
    d.nodes.reserve(std::min<size_t>(2 * markup + 1, kNoNode));
    d.pool.reserve(bytes.size());
  } catch (const std::exception&) {
    return XmlLoadResult::kError;
  }
  const XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) return XmlLoadResult::kError;
  d.parser = parser;
  XML_SetUserData(parser, &d);
  XML_SetElementHandler(parser, &Impl::OnStart, &Impl::OnEnd);
  XML_SetCharacterDataHandler(parser, &Impl::OnCharacters);
  XML_SetCdataSectionHandler(parser, &Impl::OnCdataStart, &Impl::OnCdataEnd);
  XML_SetCommentHandler(parser, &Impl::OnComment);
  XML_SetProcessingInstructionHandler(parser, &Impl::OnInstruction);
  XML_SetXmlDeclHandler(parser, &Impl::OnDeclaration);
  XML_SetStartDoctypeDeclHandler(parser, &Impl::OnDocumentType);
  XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  const XML_Status status =
      XML_Parse(parser, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), XML_TRUE);
  XmlLoadResult result = XmlLoadResult::kLoaded;
  if (d.stop == Stop::kDocumentType) {
    result = XmlLoadResult::kDocumentType;
  } else if (d.stop == Stop::kNoMemory ||
             (status != XML_STATUS_OK && XML_GetErrorCode(parser) == XML_ERROR_NO_MEMORY)) {
    result = XmlLoadResult::kError;
  } else if (d.stop == Stop::kNotXml) {
    result = XmlLoadResult::kNotLoaded;
  } else if (status != XML_STATUS_OK) {
    d.errorLine = XML_GetCurrentLineNumber(parser);
    result = XmlLoadResult::kNotLoaded;
  }
  XML_ParserFree(parser);
  d.parser = nullptr;
  d.open.clear();
  d.lastChild.clear();
  d.open.shrink_to_fit();
  if (result != XmlLoadResult::kLoaded) {
    if (result != XmlLoadResult::kNotLoaded) d.errorLine = 0;
    d.nodes.clear();
    d.attributes.clear();
    d.pool.clear();
    return result;
  }
  d.loaded = true;
  return result;
}

size_t XmlReader::ErrorLine() const { return impl_->errorLine; }

XmlWalkResult XmlReader::Walk(const XmlVisitor& visit) {
  const Impl& d = *impl_;
  if (!d.loaded) return XmlWalkResult::kDone;
  try {
    for (uint32_t i = 0; i < d.nodes.size(); ++i) {
      const Node& n = d.nodes[i];
      // Text of white space only is dropped as MSXML drops it when it does
      // not preserve white space (the text of a Value reads it all).
      if (n.kind == XmlNodeKind::kText && !n.cdata && !d.keepBlanks && AllWhiteSpace(d.Value(n))) continue;
      if (!visit(ExpatNodeView(d, i))) break;
    }
  } catch (const std::exception&) {
    return XmlWalkResult::kError;
  }
  return XmlWalkResult::kDone;
}

}  // namespace vort64
