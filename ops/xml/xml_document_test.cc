// What the program needs of an XML document, checked the same way on every
// build: expat here, MSXML on Windows. The saved bytes differ between the
// two; what a document reads back as does not, apart from line ends, which
// XML turns into LF when it is read anyway.
#include "ops/xml/xml_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "ops/xml/xml_test_util.h"

namespace vort64 {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Text with its line ends as LF and its control characters visible.
std::string Shown(std::wstring_view text) {
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
    if (text[i] == L'\r' || text[i] == L'\n') {
      shown += "\\n";
    } else if (text[i] == L'\t') {
      shown += "\\t";
    } else {
      shown += WideToUtf8(text.substr(i, 1));
    }
  }
  return shown;
}

// One line per node: indented by depth, elements with their attributes,
// text in quotes, anything else after "#".
std::string Dump(XmlReader& reader) {
  std::string dump;
  const XmlWalkResult walked = reader.Walk([&](const XmlNodeView& node) {
    dump += std::string(node.Depth(), ' ');
    switch (node.Kind()) {
      case XmlNodeKind::kElement:
        dump.append("<").append(WideToUtf8(node.Name()));
        for (const XmlAttribute& a : node.Attributes()) {
          dump.append(" ").append(WideToUtf8(a.name)).append("=").append(Shown(a.value));
        }
        dump += ">";
        break;
      case XmlNodeKind::kText: dump.append("\"").append(Shown(node.Value())).append("\""); break;
      case XmlNodeKind::kOther: dump.append("#").append(Shown(node.Value())); break;
    }
    dump += "\n";
    return true;
  });
  EXPECT_EQ(walked, XmlWalkResult::kDone);
  return dump;
}

TEST(XmlDocumentTest, ASavedDocumentReadsBackAsBuilt) {
  XmlWriter doc;
  doc.AppendProcessingInstruction(L"xml", L"version='1.0' encoding='UTF-8'");
  const XmlElement root = doc.AppendElement(L"Root");
  doc.SetAttribute(root, L"WMI_version", L"2.90");
  doc.AppendText(root, L"\r");
  const XmlElement a = doc.AppendElement(root, L"A");
  doc.SetAttribute(a, L"name", L"Disabled & Deactive <x> \"q\" 'a' \u2026");
  doc.SetAttribute(a, L"Description", L"first");
  doc.SetAttribute(a, L"Description", L"second");  // replaces the value in its place
  doc.AppendText(root, L"\r\n");
  doc.AppendText(a, L"\r\t");
  doc.AppendText(doc.AppendElement(a, L"B"), L"1,2 & <3> \"\u00e9\"");
  doc.AppendText(a, L"\r\n");
  doc.AppendText(a, L"\t");
  doc.AppendText(doc.AppendElement(a, L"Empty"), L"");
  doc.AppendText(root, L"\r\n");
  EXPECT_FALSE(doc.failed());
  std::vector<uint8_t> saved;
  ASSERT_EQ(doc.Save(saved), XmlSaveResult::kSaved);

  const std::string bytes(saved.begin(), saved.end());
  const struct {
    XmlWhitespace whitespace;
    std::string dump;
  } kCases[] = {
      {XmlWhitespace::kKeep,
       "<Root WMI_version=2.90>\n"
       " \"\\n\"\n"
       " <A name=Disabled & Deactive <x> \"q\" 'a' \u2026 Description=second>\n"
       "  \"\\n\\t\"\n"
       "  <B>\n"
       "   \"1,2 & <3> \"\u00e9\"\"\n"
       "  \"\\n\\t\"\n"
       "  <Empty>\n"
       " \"\\n\\n\"\n"},
      {XmlWhitespace::kDrop,
       "<Root WMI_version=2.90>\n"
       " <A name=Disabled & Deactive <x> \"q\" 'a' \u2026 Description=second>\n"
       "  <B>\n"
       "   \"1,2 & <3> \"\u00e9\"\"\n"
       "  <Empty>\n"},
  };
  for (const auto& c : kCases) {
    XmlReader reader;
    ASSERT_EQ(reader.Load(Bytes(bytes), c.whitespace), XmlLoadResult::kLoaded);
    EXPECT_EQ(Dump(reader), c.dump);
  }
}

TEST(XmlDocumentTest, OnlyWellFormedTextLoads) {
  const struct {
    std::string_view bytes;
    XmlLoadResult result;
  } kCases[] = {
      {"<Root/>", XmlLoadResult::kLoaded},
      {"\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\r\n<Root>\r\n</Root>\r\n", XmlLoadResult::kLoaded},
      {"<!-- before --><Root/><!-- after -->", XmlLoadResult::kLoaded},
      {"", XmlLoadResult::kNotLoaded},
      {"   \r\n", XmlLoadResult::kNotLoaded},
      {"not XML at all", XmlLoadResult::kNotLoaded},
      {"<Root>", XmlLoadResult::kNotLoaded},
      {"<Root><Item></Root>", XmlLoadResult::kNotLoaded},
      {"<Root/><Root/>", XmlLoadResult::kNotLoaded},
      {"<Root name='a' name='b'/>", XmlLoadResult::kNotLoaded},
      {"<Root a='1></Root>", XmlLoadResult::kNotLoaded},
  };
  for (const auto& c : kCases) {
    XmlReader reader;
    EXPECT_EQ(reader.Load(Bytes(c.bytes), XmlWhitespace::kDrop), c.result) << c.bytes;
  }
}

// One element at the top, with nothing but comments, instructions and blanks
// around it; no NUL or other control character, typed or referred to; only references XML
// knows. Both builds take and refuse the same texts, with the line of what
// is refused (where the parser tells it: Wine's MSXML does not).
TEST(XmlDocumentTest, BothBuildsRefuseTheSameTextsAtTheirLine) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view bytes;
    size_t line;  // 0: loaded
  } kCases[] = {
      {"<?xml version='1.0'?>\r\n<!-- c -->\r\n<Root/>\r\n<?pi x?>\r\n  \r\n", 0},
      {"<Root>&#x41;&#65;&lt;&gt;&amp;&apos;&quot;&#x10FFFF;</Root>", 0},
      {"<Root a='&#9;&#xA;&#13;'>x &amp; y</Root>", 0},
      {"<Root>\n</Root>\njunk", 3},
      {"junk\n<Root/>", 1},
      {"<Root/>\n\n&amp;", 3},
      {"<Root/>\n<![CDATA[x]]>", 2},
      {"<Root/>\n<Root/>", 2},
      {"<Root/>\n<?xml version='1.0'?>", 2},
      {"\n<?xml version='1.0'?><Root/>", 2},
      {"<Root>\n<Value>&#x0;XY</Value></Root>", 2},
      {"<Root>\n\n<Value>1&#0000;junk</Value></Root>", 3},
      {"<Root>\n<Item name='a&#x00;b'/></Root>", 2},
      {"<Root>\n<Value>&#xD800;</Value></Root>", 2},
      {"<Root>\n<Value>&#x1;</Value></Root>", 2},
      {"<Root>\n<Value>&#x;</Value></Root>", 2},
      {"<Root>\n<Value>&#12</Value></Root>", 2},
      {"<Root>\n<Value>&unknown;</Value></Root>", 2},
      {"<Root>\n<Value>a & b</Value></Root>", 2},
      {"<Root>\n<Value>1\0junk</Value></Root>"sv, 2},
      {"<Root/>\n\0junk"sv, 2},
      {"<Root>\n<Value a='1\0'/></Root>"sv, 2},
      {"<Root>\n<Value>1\x01</Value></Root>", 2},
      {"<Root>\n\n<Value a='\x1F'/></Root>", 3},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.bytes);
    XmlReader reader;
    const XmlLoadResult loaded = reader.Load(Bytes(c.bytes), XmlWhitespace::kDrop);
    if (c.line == 0) {
      EXPECT_EQ(loaded, XmlLoadResult::kLoaded);
      continue;
    }
    EXPECT_EQ(loaded, XmlLoadResult::kNotLoaded);
#if defined(_WIN32)
    EXPECT_TRUE(reader.ErrorLine() == c.line || reader.ErrorLine() == 0u) << reader.ErrorLine();
#else
    EXPECT_EQ(reader.ErrorLine(), c.line);
#endif
    size_t visited = 0;
    reader.Walk([&](const XmlNodeView&) { return ++visited, true; });
    EXPECT_EQ(visited, 0u);
  }
}

TEST(XmlDocumentTest, ANulCharacterInUtf16IsRefusedAtItsLine) {
  // "<Root>\n<V>1 NUL 2</V></Root>" in UTF-16LE and UTF-16BE with their byte
  // order marks: the NUL is a whole character of zeros.
  for (const bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "UTF-16BE" : "UTF-16LE");
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t c : std::wstring_view(L"<Root>\n<V>1\0\x0100</V></Root>", 24)) {
      const char low = static_cast<char>(c & 0xFF), high = static_cast<char>((c >> 8) & 0xFF);
      bytes += bigEndian ? high : low;
      bytes += bigEndian ? low : high;
    }
    XmlReader reader;
    EXPECT_EQ(reader.Load(Bytes(bytes), XmlWhitespace::kDrop), XmlLoadResult::kNotLoaded);
#if defined(_WIN32)
    EXPECT_TRUE(reader.ErrorLine() == 2u || reader.ErrorLine() == 0u) << reader.ErrorLine();
#else
    EXPECT_EQ(reader.ErrorLine(), 2u);
#endif
  }
  // The same text with U+0100 (a zero byte in one half) in place of NUL loads.
  std::string bytes = "\xFF\xFE";
  for (const wchar_t c : std::wstring_view(L"<Root>\n<V>1\x0100</V></Root>")) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  XmlReader reader;
  EXPECT_EQ(reader.Load(Bytes(bytes), XmlWhitespace::kDrop), XmlLoadResult::kLoaded);
}

TEST(XmlDocumentTest, ADocumentTypeIsRefusedAndAnErrorHasItsLine) {
  for (const std::string_view bytes : {
           "<!DOCTYPE Root>\n<Root/>",
           "<?xml version='1.0'?>\n<!DOCTYPE Root [<!ENTITY one \"1\">]>\n<Root><Item name='a'><Value>&one;</Value>"
           "</Item></Root>",
           "<!DOCTYPE Root SYSTEM \"file:///etc/passwd\">\n<Root/>",
       }) {
    XmlReader reader;
    EXPECT_EQ(reader.Load(Bytes(bytes), XmlWhitespace::kDrop), XmlLoadResult::kDocumentType) << bytes;
    size_t visited = 0;
    reader.Walk([&](const XmlNodeView&) { return ++visited, true; });
    EXPECT_EQ(visited, 0u);
  }
  XmlReader reader;
  EXPECT_EQ(reader.Load(Bytes("<Root>\n<Item>\n</Root>\n"), XmlWhitespace::kDrop), XmlLoadResult::kNotLoaded);
#if defined(_WIN32)
  // MSXML names the line; Wine's does not (0).
  EXPECT_TRUE(reader.ErrorLine() == 3u || reader.ErrorLine() == 0u) << reader.ErrorLine();
#else
  EXPECT_EQ(reader.ErrorLine(), 3u);
#endif
}

TEST(XmlDocumentTest, NodesInDocumentOrderWithTheTextOfTheirValueElement) {
  XmlReader reader;
  ASSERT_EQ(reader.Load(Bytes("<?xml version='1.0'?>\n"
                              "<Root>\n"
                              "  <Item name='a'><Value>1<b>2<c>3</c></b>4</Value><Other>5</Other></Item>\n"
                              "  <Item name='b'>6</Item>\n"
                              "  <Item name='c'/>\n"
                              "  <Item name='d'><![CDATA[<7>]]></Item>\n"
                              "  <Item name='e'><!--8--><Value>9</Value></Item>\n"
                              "  <Item name='f'><Value/></Item>\n"
                              "  <Item name='g'><?pi 1?> <Other/><Value>10</Value><Value>11</Value></Item>\n"
                              "</Root>\n"),
                        XmlWhitespace::kDrop),
            XmlLoadResult::kLoaded);
  std::vector<std::string> seen;
  EXPECT_EQ(reader.Walk([&](const XmlNodeView& node) {
    if (node.Kind() == XmlNodeKind::kElement && node.Name() == L"Item") {
      const auto text = node.ChildElementText(L"Value");
      std::string line = WideToUtf8(node.Attributes().at(0).value);
      line.append(":").append(text ? "\"" : "").append(text ? WideToUtf8(*text) : "none");
      seen.push_back(line.append(text ? "\"" : ""));
    }
    return true;
  }),
            XmlWalkResult::kDone);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"a:\"1234\"", "b:none", "c:none", "d:none", "e:\"9\"", "f:\"\"", "g:\"10\""}));
}

TEST(XmlDocumentTest, TheVisitorEndsTheWalk) {
  XmlReader reader;
  ASSERT_EQ(reader.Load(Bytes("<a><b/><c/><d/></a>"), XmlWhitespace::kDrop), XmlLoadResult::kLoaded);
  std::string names;
  EXPECT_EQ(reader.Walk([&](const XmlNodeView& node) {
    names += WideToUtf8(node.Name());
    return node.Name() != L"c";
  }),
            XmlWalkResult::kDone);
  EXPECT_EQ(names, "abc");

  XmlReader unloaded;
  EXPECT_EQ(unloaded.Walk([](const XmlNodeView&) {
    ADD_FAILURE() << "a reader that loaded nothing has no nodes";
    return true;
  }),
            XmlWalkResult::kDone);
}

TEST(XmlDocumentTest, AFileInUtf16ReadsAsTheSameText) {
  // "<Root name='é'/>" in UTF-16LE with its byte order mark.
  std::string bytes = "\xFF\xFE";
  for (const wchar_t c : std::wstring_view(L"<Root name='\u00e9'/>")) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  XmlReader reader;
  ASSERT_EQ(reader.Load(Bytes(bytes), XmlWhitespace::kDrop), XmlLoadResult::kLoaded);
  EXPECT_EQ(Dump(reader), "<Root name=\u00e9>\n");
}

TEST(XmlDocumentTest, AnUnknownElementFailsTheDocument) {
  XmlWriter doc;
  const XmlElement root = doc.AppendElement(L"Root");
  doc.AppendText(XmlElement{}, L"x");
  EXPECT_TRUE(doc.failed());
  doc.AppendElement(root, L"After");  // does nothing more
  std::vector<uint8_t> saved = {1};
  EXPECT_EQ(doc.Save(saved), XmlSaveResult::kError);
  EXPECT_TRUE(saved.empty());
}

}  // namespace
}  // namespace vort64
