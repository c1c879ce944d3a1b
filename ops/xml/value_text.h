// The text of a Value element, as MSXML 3.0's `text` property gives it with
// the document's default white-space handling (preserveWhiteSpace false):
// the characters of every text and CDATA node inside the element, in
// document order (comments and processing instructions add nothing), with
// the white space of the text nodes normalized: none at the start or the
// end, and each run of it between other characters one blank (U+0020).
// A CDATA section's characters are kept as they are, and so are those of a
// text node inside an element that xml:space="preserve" covers.
//
// Both builds read a Value through this one function, so that a file gives
// the same value on each, whatever the XML library beneath.
#ifndef VORT64_OPS_XML_VALUE_TEXT_H_
#define VORT64_OPS_XML_VALUE_TEXT_H_

#include <span>
#include <string>
#include <string_view>

namespace vort64 {

// One text or CDATA node inside the element, as the parser gives it (line
// ends already LF, references replaced).
struct TextPiece {
  std::wstring_view text;
  // A CDATA section, or text where xml:space="preserve" holds: kept as is.
  bool kept = false;
};

// XML's white space: blank, tab, line feed, carriage return.
bool IsXmlWhiteSpace(wchar_t c);

std::wstring ValueText(std::span<const TextPiece> pieces);

}  // namespace vort64

#endif  // VORT64_OPS_XML_VALUE_TEXT_H_
