// The XML document over MSXML 3.0 (Windows): a DOMDocument through COM.
// Each writer and reader initialises COM for its own lifetime and releases
// every reference it took before it uninitialises it.
#include "wmi/windows/com.h"

#include <msxml2.h>

#include <cstring>
#include <exception>
#include <limits>

#include "ops/xml/value_text.h"
#include "ops/xml/xml_document.h"
#include "wmi/windows/bstr.h"
#include "wmi/windows/com_ptr.h"
#include "wmi/windows/variant.h"

namespace vort64 {
namespace {

// MSXML 3.0's DOMDocument, and the document interface asked of it.
constexpr CLSID kDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
constexpr IID kIXMLDOMDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
// The interface that takes the parser's properties ("ProhibitDTD").
constexpr IID kIXMLDOMDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// COM on the calling thread for the lifetime of the object. A thread that
// already has COM in the multithreaded model (the WMI connection's) answers
// RPC_E_CHANGED_MODE: COM is there to use, and is not ours to uninitialise.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT hr_;
};

// A failed DOM or COM call; thrown and caught inside this file only.
struct DomError {};

void Check(HRESULT hr) {
  if (FAILED(hr)) throw DomError{};
}

void Check(const Bstr& text) {
  if (!text) throw DomError{};
}

ComPtr<IXMLDOMDocument> CreateDocument(const ComApartment& com) {
  if (!com.usable()) throw DomError{};
  ComPtr<IUnknown> unknown;
  Check(CoCreateInstance(kDomDocument30, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(unknown.Put())));
  Check(OleRun(unknown.Get()));
  ComPtr<IXMLDOMDocument> doc;
  Check(unknown->QueryInterface(kIXMLDOMDocument, reinterpret_cast<void**>(doc.Put())));
  return doc;
}

// Fills an empty VARIANT with a copy of the text as a BSTR.
void PutString(Variant& v, std::wstring_view text) {
  Bstr copy(text);
  Check(copy);
  VARIANT* out = v.Put();
  V_VT(out) = VT_BSTR;
  V_BSTR(out) = copy.Detach();
}

// Runs `operation`, answering false when a DOM or COM call in it failed (or
// memory ran out).
template <class F>
bool Guarded(F&& operation) {
  try {
    operation();
    return true;
  } catch (const DomError&) {
    return false;
  } catch (const std::exception&) {
    return false;
  }
}

std::wstring StringValue(IXMLDOMNode* node) {
  Variant value;
  Check(node->get_nodeValue(value.Put()));
  if (value.Type() != VT_BSTR || V_BSTR(&value.Get()) == nullptr) return {};
  const BSTR s = V_BSTR(&value.Get());
  return std::wstring(s, SysStringLen(s));
}

DOMNodeType TypeOf(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  Check(node->get_nodeType(&type));
  return type;
}

bool IsText(DOMNodeType type) { return type == NODE_TEXT || type == NODE_CDATA_SECTION; }

// A second counted reference to the same object.
template <class T>
ComPtr<T> Share(T* p) {
  ComPtr<T> shared;
  if (p != nullptr) {
    p->AddRef();
    *shared.Put() = p;
  }
  return shared;
}

// The node after `node` in document order below some top node; `depth`
// counts from that top (its children are at depth 1) and follows the steps.
// Null after the last node below the top.
ComPtr<IXMLDOMNode> NextInOrder(IXMLDOMNode* node, size_t& depth) {
  ComPtr<IXMLDOMNode> next;
  Check(node->get_firstChild(next.Put()));
  if (next) {
    ++depth;
    return next;
  }
  ComPtr<IXMLDOMNode> at = Share(node);
  for (;;) {
    Check(at->get_nextSibling(next.Put()));
    if (next) return next;
    if (depth <= 1) return {};
    ComPtr<IXMLDOMNode> parent;
    Check(at->get_parentNode(parent.Put()));
    if (!parent) return {};
    at = std::move(parent);
    --depth;
  }
}

std::wstring NameOf(IXMLDOMNode* node) {
  Bstr name;
  Check(node->get_nodeName(name.Put()));
  return std::wstring(name.View());
}

// Whether xml:space="preserve" holds for the text nodes of `element`: the
// attribute on it or on the nearest element above it that has one.
bool PreservesWhiteSpace(IXMLDOMNode* element) {
  ComPtr<IXMLDOMNode> at = Share(element);
  const Bstr space(L"xml:space");
  Check(space);
  while (at && TypeOf(at.Get()) == NODE_ELEMENT) {
    ComPtr<IXMLDOMNamedNodeMap> map;
    Check(at->get_attributes(map.Put()));
    ComPtr<IXMLDOMNode> attribute;
    if (map) Check(map->getNamedItem(space.Get(), attribute.Put()));
    if (attribute) {
      const std::wstring value = StringValue(attribute.Get());
      if (value == L"preserve") return true;
      if (value == L"default") return false;
    }
    ComPtr<IXMLDOMNode> parent;
    Check(at->get_parentNode(parent.Put()));
    at = std::move(parent);
  }
  return false;
}

// The text of `node` as its text property reads it with the default
// white-space handling: every text and CDATA node inside it through the one
// rule both builds share (ValueText), not through the DOM's own property,
// whose white space Wine's MSXML does not normalize as the documentation
// says.
std::wstring TextOf(IXMLDOMNode* node) {
  std::vector<std::wstring> texts;
  std::vector<bool> kept;
  size_t depth = 1;
  ComPtr<IXMLDOMNode> n;
  Check(node->get_firstChild(n.Put()));
  while (n) {
    const DOMNodeType type = TypeOf(n.Get());
    if (IsText(type)) {
      texts.push_back(StringValue(n.Get()));
      ComPtr<IXMLDOMNode> parent;
      Check(n->get_parentNode(parent.Put()));
      kept.push_back(type == NODE_CDATA_SECTION || (parent && PreservesWhiteSpace(parent.Get())));
    }
    n = NextInOrder(n.Get(), depth);
  }
  std::vector<TextPiece> pieces;
  for (size_t i = 0; i < texts.size(); ++i) pieces.push_back({texts[i], kept[i]});
  return ValueText(pieces);
}

class MsxmlNodeView final : public XmlNodeView {
 public:
  MsxmlNodeView(IXMLDOMNode* node, DOMNodeType type, size_t depth) : node_(node), type_(type), depth_(depth) {}

  XmlNodeKind Kind() const override {
    if (type_ == NODE_ELEMENT) return XmlNodeKind::kElement;
    return IsText(type_) ? XmlNodeKind::kText : XmlNodeKind::kOther;
  }
  size_t Depth() const override { return depth_; }
  std::wstring Name() const override {
    if (type_ != NODE_ELEMENT) return {};
    return NameOf(node_);
  }
  std::wstring Value() const override { return type_ == NODE_ELEMENT ? std::wstring() : StringValue(node_); }
  std::vector<XmlAttribute> Attributes() const override {
    std::vector<XmlAttribute> attributes;
    ComPtr<IXMLDOMNamedNodeMap> map;
    Check(node_->get_attributes(map.Put()));
    if (!map) return attributes;
    long count = 0;
    Check(map->get_length(&count));
    for (long i = 0; i < count; ++i) {
      ComPtr<IXMLDOMNode> attribute;
      Check(map->get_item(i, attribute.Put()));
      if (!attribute) throw DomError{};
      attributes.push_back({NameOf(attribute.Get()), StringValue(attribute.Get())});
    }
    return attributes;
  }
  std::optional<std::wstring> ChildElementText(std::wstring_view name) const override {
    ComPtr<IXMLDOMNode> child;
    Check(node_->get_firstChild(child.Put()));
    while (child) {
      if (TypeOf(child.Get()) == NODE_ELEMENT && NameOf(child.Get()) == name) return TextOf(child.Get());
      ComPtr<IXMLDOMNode> next;
      Check(child->get_nextSibling(next.Put()));
      child = std::move(next);
    }
    return std::nullopt;
  }

 private:
  IXMLDOMNode* node_;
  DOMNodeType type_;
  size_t depth_;
};

}  // namespace

// ---- XmlWriter --------------------------------------------------------------

struct XmlWriter::Impl {
  ComApartment com;  // first made, last undone
  ComPtr<IXMLDOMDocument> doc;
  std::vector<ComPtr<IXMLDOMElement>> elements;
  bool failed = false;

  template <class F>
  void Do(F&& operation) {
    if (!failed) failed = !Guarded(operation);
  }
  IXMLDOMElement* Element(XmlElement e) const {
    if (e.index >= elements.size()) throw DomError{};
    return elements[e.index].Get();
  }
  XmlElement AppendElement(IXMLDOMNode* parent, std::wstring_view name) {
    XmlElement made;
    Do([&] {
      if (parent == nullptr) throw DomError{};
      const Bstr tag(name);
      Check(tag);
      ComPtr<IXMLDOMElement> element;
      Check(doc->createElement(tag.Get(), element.Put()));
      ComPtr<IXMLDOMNode> added;
      Check(parent->appendChild(element.Get(), added.Put()));
      elements.push_back(std::move(element));
      made.index = elements.size() - 1;
    });
    return made;
  }
};

XmlWriter::XmlWriter() : impl_(std::make_unique<Impl>()) {
  impl_->Do([this] { impl_->doc = CreateDocument(impl_->com); });
}

XmlWriter::~XmlWriter() = default;

void XmlWriter::AppendProcessingInstruction(std::wstring_view target, std::wstring_view data) {
  impl_->Do([&] {
    const Bstr t(target), d(data);
    Check(t);
    Check(d);
    ComPtr<IXMLDOMProcessingInstruction> pi;
    Check(impl_->doc->createProcessingInstruction(t.Get(), d.Get(), pi.Put()));
    ComPtr<IXMLDOMNode> added;
    Check(impl_->doc->appendChild(pi.Get(), added.Put()));
  });
}

XmlElement XmlWriter::AppendElement(std::wstring_view name) { return impl_->AppendElement(impl_->doc.Get(), name); }

XmlElement XmlWriter::AppendElement(XmlElement parent, std::wstring_view name) {
  IXMLDOMNode* node = parent.index < impl_->elements.size() ? impl_->elements[parent.index].Get() : nullptr;
  return impl_->AppendElement(node, name);
}

void XmlWriter::SetAttribute(XmlElement element, std::wstring_view name, std::wstring_view value) {
  impl_->Do([&] {
    const Bstr n(name);
    Check(n);
    Variant v;
    PutString(v, value);
    Check(impl_->Element(element)->setAttribute(n.Get(), *v.Ptr()));
  });
}

void XmlWriter::AppendText(XmlElement parent, std::wstring_view text) {
  if (text.empty()) return;
  impl_->Do([&] {
    IXMLDOMElement* element = impl_->Element(parent);
    const Bstr data(text);
    Check(data);
    ComPtr<IXMLDOMText> node;
    Check(impl_->doc->createTextNode(data.Get(), node.Put()));
    ComPtr<IXMLDOMNode> added;
    Check(element->appendChild(node.Get(), added.Put()));
  });
}

bool XmlWriter::failed() const { return impl_->failed; }

XmlSaveResult XmlWriter::Save(std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (impl_->failed) return XmlSaveResult::kError;
  HRESULT hr = E_FAIL;
  const bool called = Guarded([&] {
    // The document is saved into a stream in memory, so that the file is
    // written by the caller, the safe way.
    ComPtr<IStream> stream;
    Check(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    Variant destination;
    VARIANT* v = destination.Put();
    V_VT(v) = VT_UNKNOWN;
    V_UNKNOWN(v) = stream.Get();
    stream->AddRef();  // released with the VARIANT
    hr = impl_->doc->save(*destination.Ptr());
    if (FAILED(hr)) return;
    STATSTG stat{};
    Check(stream->Stat(&stat, STATFLAG_NONAME));
    if (stat.cbSize.QuadPart > std::numeric_limits<ULONG>::max()) throw DomError{};
    bytes.resize(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    Check(stream->Seek(start, STREAM_SEEK_SET, nullptr));
    ULONG read = 0;
    if (!bytes.empty()) Check(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read));
    if (read != bytes.size()) throw DomError{};
  });
  if (!called || FAILED(hr)) {
    bytes.clear();
    return XmlSaveResult::kError;
  }
  return hr == S_OK ? XmlSaveResult::kSaved : XmlSaveResult::kNotSaved;
}

// ---- XmlReader --------------------------------------------------------------

struct XmlReader::Impl {
  ComApartment com;  // first made, last undone
  ComPtr<IXMLDOMDocument> doc;
  bool loaded = false;
  bool keepBlanks = false;
  size_t errorLine = 0;
};

namespace {

// Asks the parser to refuse a document type declaration, and a nesting of
// elements deeper than kMaxXmlDepth (MSXML 3.0 sets no limit of its own). A
// parser that does not know a property goes on without it: the document type
// is still looked at after the load.
void SetParserLimits(IXMLDOMDocument* doc) {
  ComPtr<IXMLDOMDocument2> doc2;
  if (FAILED(doc->QueryInterface(kIXMLDOMDocument2, reinterpret_cast<void**>(doc2.Put()))) || !doc2) return;
  const Bstr prohibitName(L"ProhibitDTD");
  Check(prohibitName);
  Variant prohibit;
  VARIANT* v = prohibit.Put();
  V_VT(v) = VT_BOOL;
  V_BOOL(v) = VARIANT_TRUE;
  doc2->setProperty(prohibitName.Get(), *prohibit.Ptr());
  const Bstr depthName(L"MaxElementDepth");
  Check(depthName);
  Variant depth;
  VARIANT* d = depth.Put();
  V_VT(d) = VT_I4;
  V_I4(d) = static_cast<LONG>(kMaxXmlDepth);
  doc2->setProperty(depthName.Get(), *depth.Ptr());
}

// The line the parser stopped at; 0 when it does not say.
size_t ParseErrorLine(IXMLDOMDocument* doc) {
  ComPtr<IXMLDOMParseError> error;
  if (FAILED(doc->get_parseError(error.Put())) || !error) return 0;
  long line = 0;
  if (FAILED(error->get_line(&line)) || line < 0) return 0;
  return static_cast<size_t>(line);
}

bool AllWhiteSpace(std::wstring_view text) {
  for (const wchar_t c : text) {
    if (!IsXmlWhiteSpace(c)) return false;
  }
  return true;
}

// The deepest nesting of elements in the document (its top element is at
// level 1).
size_t ElementDepth(IXMLDOMDocument* doc) {
  size_t deepest = 0;
  size_t depth = 1;  // below the document
  ComPtr<IXMLDOMNode> node;
  Check(doc->get_firstChild(node.Put()));
  while (node) {
    if (TypeOf(node.Get()) == NODE_ELEMENT && depth > deepest) deepest = depth;
    node = NextInOrder(node.Get(), depth);
  }
  return deepest;
}

// Whether the text holds a NUL character: a whole character of zeros in
// UTF-16 (a text that starts with a byte order mark, or with "<" beside a
// zero byte), a zero byte otherwise. MSXML refuses it; Wine's takes the text
// before it as the whole file, so it is refused here on every MSXML.
bool HoldsNul(std::span<const uint8_t> bytes) {
  const bool utf16 =
      bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF) ||
                            (bytes[0] == '<' && bytes[1] == 0) || (bytes[0] == 0 && bytes[1] == '<'));
  const size_t unit = utf16 ? 2 : 1;
  for (size_t at = 0; at + unit <= bytes.size(); at += unit) {
    if (bytes[at] == 0 && bytes[at + unit - 1] == 0) return true;
  }
  return false;
}

}  // namespace

XmlReader::XmlReader() : impl_(std::make_unique<Impl>()) {}
XmlReader::~XmlReader() = default;

XmlLoadResult XmlReader::Load(std::span<const uint8_t> bytes, XmlWhitespace whitespace) {
  impl_->loaded = false;
  impl_->errorLine = 0;
  if (HoldsNul(bytes)) return XmlLoadResult::kNotLoaded;
  HRESULT hr = E_FAIL;
  VARIANT_BOOL successful = VARIANT_FALSE;
  const bool called = Guarded([&] {
    impl_->doc = CreateDocument(impl_->com);
    IXMLDOMDocument* doc = impl_->doc.Get();
    Check(doc->put_async(VARIANT_FALSE));
    // A file is data: no document type is fetched or checked.
    Check(doc->put_validateOnParse(VARIANT_FALSE));
    Check(doc->put_resolveExternals(VARIANT_FALSE));
    SetParserLimits(doc);
    // Every text node is kept, so that the text of a Value is read by the
    // one rule of ValueText from all of them, whatever MSXML would drop; the
    // walk leaves out text of white space only when it is not wanted.
    Check(doc->put_preserveWhiteSpace(VARIANT_TRUE));
    impl_->keepBlanks = whitespace == XmlWhitespace::kKeep;
    if (bytes.size() > std::numeric_limits<ULONG>::max()) throw DomError{};
    // The source: the bytes as a VT_ARRAY | VT_UI1 SAFEARRAY.
    Variant source;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) throw DomError{};
    VARIANT* v = source.Put();
    V_VT(v) = VT_ARRAY | VT_UI1;
    V_ARRAY(v) = array;  // cleared with the VARIANT
    if (!bytes.empty()) {
      void* data = nullptr;
      Check(SafeArrayAccessData(array, &data));
      std::memcpy(data, bytes.data(), bytes.size());
      Check(SafeArrayUnaccessData(array));
    }
    hr = doc->load(*source.Ptr(), &successful);
  });
  if (!called || FAILED(hr)) return XmlLoadResult::kError;
  if (hr != S_OK || successful != VARIANT_TRUE) {
    impl_->errorLine = ParseErrorLine(impl_->doc.Get());
    return XmlLoadResult::kNotLoaded;
  }
  ComPtr<IXMLDOMDocumentType> type;
  if (!Guarded([&] { Check(impl_->doc->get_doctype(type.Put())); })) return XmlLoadResult::kError;
  if (type) return XmlLoadResult::kDocumentType;
  // MaxElementDepth is not every MSXML's: Wine's stops at its own limit, a
  // level deeper. The depth is looked at once more, so that every MSXML
  // refuses what the documented limit refuses.
  size_t deepest = 0;
  if (!Guarded([&] { deepest = ElementDepth(impl_->doc.Get()); })) return XmlLoadResult::kError;
  if (deepest > kMaxXmlDepth) return XmlLoadResult::kNotLoaded;
  impl_->loaded = true;
  return XmlLoadResult::kLoaded;
}

size_t XmlReader::ErrorLine() const { return impl_->errorLine; }

XmlWalkResult XmlReader::Walk(const XmlVisitor& visit) {
  if (!impl_->loaded) return XmlWalkResult::kDone;
  const bool walked = Guarded([&] {
    size_t depth = 1;  // below the document
    ComPtr<IXMLDOMNode> node;
    Check(impl_->doc->get_firstChild(node.Put()));
    while (node) {
      const DOMNodeType type = TypeOf(node.Get());
      // The XML declaration and the document type are no content.
      const bool declaration = type == NODE_PROCESSING_INSTRUCTION && NameOf(node.Get()) == L"xml";
      const bool blank = type == NODE_TEXT && !impl_->keepBlanks && AllWhiteSpace(StringValue(node.Get()));
      if (!declaration && !blank && type != NODE_DOCUMENT_TYPE) {
        if (!visit(MsxmlNodeView(node.Get(), type, depth - 1))) return;
      }
      node = NextInOrder(node.Get(), depth);
    }
  });
  return walked ? XmlWalkResult::kDone : XmlWalkResult::kError;
}

}  // namespace vort64
