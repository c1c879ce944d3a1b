// The XML document the custom-settings file is made of, behind one small
// interface with two implementations: expat everywhere but Windows, the
// MSXML 3.0 DOM (DOMDocument through COM) on Windows.
//
// A failing DOM or COM operation is reported as kError by the call that
// contains it (the writer remembers it until Save); nothing is thrown out of
// these classes and no message is written: the caller decides what to say.
#ifndef VORT64_OPS_XML_XML_DOCUMENT_H_
#define VORT64_OPS_XML_XML_DOCUMENT_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vort64 {

// An element of a document under construction, as the writer hands it out.
struct XmlElement {
  size_t index = SIZE_MAX;
};

enum class XmlSaveResult {
  kSaved,
  kNotSaved,  // the DOM wrote nothing, but reported no error either
  kError,     // a DOM or COM operation failed, now or while building
};

// A document built by appending: every node goes after the last child of its
// parent (or of the document). After the first failing operation the writer
// does nothing more and Save answers kError.
class XmlWriter {
 public:
  XmlWriter();
  ~XmlWriter();
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  void AppendProcessingInstruction(std::wstring_view target, std::wstring_view data);
  // An element at the top of the document.
  XmlElement AppendElement(std::wstring_view name);
  XmlElement AppendElement(XmlElement parent, std::wstring_view name);
  void SetAttribute(XmlElement element, std::wstring_view name, std::wstring_view value);
  // A text node (whitespace or not); an empty text adds no node.
  void AppendText(XmlElement parent, std::wstring_view text);

  bool failed() const;
  // The document's bytes in UTF-8, as a file holds them: the top-level
  // nodes each end a line (CR LF). `bytes` is empty unless kSaved.
  XmlSaveResult Save(std::vector<uint8_t>& bytes);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The deepest nesting of elements a document may have: the top element is
// at level 1. Both builds refuse a deeper document as not XML (MSXML through
// its MaxElementDepth, which 3.0 leaves unlimited unless told).
inline constexpr size_t kMaxXmlDepth = 256;

enum class XmlLoadResult {
  kLoaded,
  kNotLoaded,  // not well-formed XML (an empty text included)
  // The document declares a document type. It is refused, so that no entity
  // and no outside file ever reaches what is read from it.
  kDocumentType,
  kError,  // a DOM or COM operation failed
};

// Whether text nodes of whitespace only are kept when loading. The
// custom-settings file drops them; a test keeps them to see where they were.
enum class XmlWhitespace { kDrop, kKeep };

enum class XmlNodeKind {
  kElement,
  kText,   // character data, CDATA sections included
  kOther,  // comments and processing instructions
};

struct XmlAttribute {
  std::wstring name;
  std::wstring value;
};

// One node met on a walk through a loaded document; valid during the visit only.
class XmlNodeView {
 public:
  virtual XmlNodeKind Kind() const = 0;
  // 0 for a node at the top of the document, 1 for its children and so on.
  virtual size_t Depth() const = 0;
  // The element's name; for other nodes empty.
  virtual std::wstring Name() const = 0;
  // A text node's characters; the comment's or instruction's text; for an
  // element empty.
  virtual std::wstring Value() const = 0;
  // An element's attributes in document order.
  virtual std::vector<XmlAttribute> Attributes() const = 0;
  // The text of the first child element named `name`, whatever other nodes
  // (comments, instructions, text) come before it, as MSXML 3.0's text
  // property reads it with the default white-space handling (ValueText in
  // ops/xml/value_text.h). Nothing when the node has no such child element.
  virtual std::optional<std::wstring> ChildElementText(std::wstring_view name) const = 0;

 protected:
  ~XmlNodeView() = default;
};

// Returns false to end the walk early.
using XmlVisitor = std::function<bool(const XmlNodeView&)>;

enum class XmlWalkResult {
  kDone,   // every node was visited, or the visitor ended the walk
  kError,  // a DOM operation failed on the way; the nodes before were visited
};

class XmlReader {
 public:
  XmlReader();
  ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Parses the bytes of a file (UTF-8 unless the text declares otherwise).
  // Line ends become LF as XML requires.
  XmlLoadResult Load(std::span<const uint8_t> bytes, XmlWhitespace whitespace);
  // After a load that answered kNotLoaded: the line (from 1) where the text
  // stops being XML; 0 when the parser does not tell.
  size_t ErrorLine() const;
  // Visits every node of the loaded document below the document itself, in
  // document order (nothing when no document was loaded). The XML
  // declaration and the document type are not visited.
  XmlWalkResult Walk(const XmlVisitor& visit);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vort64

#endif  // VORT64_OPS_XML_XML_DOCUMENT_H_
