// The text of a Value as both builds read it: the rule of MSXML 3.0's text
// property with the default white-space handling. The table is read through
// the build's own XML document (expat here, MSXML on Windows, where the
// Windows tests run it under Wine), so each case covers the parser's part
// (line ends, references, CDATA) as well as the rule.
#include "ops/xml/value_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "ops/xml/xml_document.h"

namespace vort64 {
namespace {

// The Value text of the first Item of a file whose Item holds `inside`.
std::optional<std::wstring> ValueOf(const std::string& item) {
  const std::string file =
      "<?xml version='1.0' encoding='UTF-8'?>\r\n<Root><Category name=\"c\">" + item + "</Category></Root>\r\n";
  XmlReader reader;
  const XmlLoadResult loaded =
      reader.Load({reinterpret_cast<const uint8_t*>(file.data()), file.size()}, XmlWhitespace::kDrop);
  EXPECT_EQ(loaded, XmlLoadResult::kLoaded) << item;
  std::optional<std::wstring> value;
  bool found = false;
  reader.Walk([&](const XmlNodeView& node) {
    if (found || node.Kind() != XmlNodeKind::kElement || node.Name() != L"Item") return true;
    found = true;
    value = node.ChildElementText(L"Value");
    return false;
  });
  EXPECT_TRUE(found) << item;
  return value;
}

TEST(ValueTextTest, TheTextPropertyRuleOnEveryBuild) {
  const struct {
    const char* item;
    std::wstring text;
  } kCases[] = {
      {"<Item name=\"a\"><Value>1</Value></Item>", L"1"},
      // White space at either end goes, typed or referred to.
      {"<Item name=\"a\"><Value>Zq9#Pw,set supervisor password=N3w#Kk\n</Value></Item>",
       L"Zq9#Pw,set supervisor password=N3w#Kk"},
      {"<Item name=\"a\"><Value>Zq9#Pw,set supervisor password=N3w#Kk\r\n</Value></Item>",
       L"Zq9#Pw,set supervisor password=N3w#Kk"},
      {"<Item name=\"a\"><Value>1&#xD;</Value></Item>", L"1"},
      {"<Item name=\"a\"><Value>1&#xA;</Value></Item>", L"1"},
      {"<Item name=\"a\"><Value>1&#x9;</Value></Item>", L"1"},
      {"<Item name=\"a\"><Value>&#x20;\t 1 \t</Value></Item>", L"1"},
      {"<Item name=\"a\"><Value>\r\n\t\tIT0815\r\n\t</Value></Item>", L"IT0815"},
      // A run of it between other characters is one blank.
      {"<Item name=\"a\"><Value>2026,  12,\t10</Value></Item>", L"2026, 12, 10"},
      {"<Item name=\"a\"><Value>a&#x9;b</Value></Item>", L"a b"},
      {"<Item name=\"a\"><Value>a\r\n\r\nb</Value></Item>", L"a b"},
      // Only XML's four white-space characters count.
      {"<Item name=\"a\"><Value>&#xA0;1&#x3000;</Value></Item>", L"\u00A01\u3000"},
      // Nothing but white space is nothing.
      {"<Item name=\"a\"><Value> \t\r\n </Value></Item>", L""},
      {"<Item name=\"a\"><Value/></Item>", L""},
      // A CDATA section is taken as it is; the text around it is not.
      {"<Item name=\"a\"><Value><![CDATA[ 1\t]]></Value></Item>", L" 1\t"},
      {"<Item name=\"a\"><Value> a <![CDATA[ b ]]> c </Value></Item>", L"a  b  c"},
      {"<Item name=\"a\"><Value>\n<![CDATA[<x>]]>\n</Value></Item>", L"<x>"},
      // Comments and instructions add nothing; the text around them joins.
      {"<Item name=\"a\"><Value>1<!-- c -->0</Value></Item>", L"10"},
      {"<Item name=\"a\"><Value>1<?pi x?>0</Value></Item>", L"10"},
      // Elements inside give their text, normalized with the rest.
      {"<Item name=\"a\"><Value><x>1</x><y>2</y></Value></Item>", L"12"},
      {"<Item name=\"a\"><Value><x>1</x><y> 2 </y></Value></Item>", L"1 2"},
      // xml:space="preserve" keeps the white space it covers.
      {"<Item name=\"a\"><Value xml:space=\"preserve\"> 1\t</Value></Item>", L" 1\t"},
      {"<Item name=\"a\" xml:space=\"preserve\"><Value> 1 </Value></Item>", L" 1 "},
      {"<Item name=\"a\" xml:space=\"preserve\"><Value xml:space=\"default\"> 1 </Value></Item>", L"1"},
      // The first Value counts, whatever stands before it.
      {"<Item name=\"a\">x<!-- c --><Other>2</Other><Value> 3 </Value><Value>4</Value></Item>", L"3"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.item);
    const std::optional<std::wstring> value = ValueOf(c.item);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(WideToUtf8(*value), WideToUtf8(c.text));
  }
  EXPECT_EQ(ValueOf("<Item name=\"a\"><Other>1</Other></Item>"), std::nullopt);
}

// The rule on its own: text pieces kept or normalized.
TEST(ValueTextTest, KeptPiecesAreNotNormalized) {
  const TextPiece pieces[] = {{L"  a  ", false}, {L" ", true}, {L"\t", false}, {L"b \n", false}};
  EXPECT_EQ(ValueText(pieces), L"a   b");
  EXPECT_EQ(ValueText({}), L"");
  const TextPiece onlyKept[] = {{L"\n", true}};
  EXPECT_EQ(ValueText(onlyKept), L"\n");
}

}  // namespace
}  // namespace vort64
