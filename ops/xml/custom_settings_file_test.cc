#include "ops/xml/custom_settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "ops/xml/xml_document.h"
#include "ops/xml/xml_test_util.h"

namespace vort64 {
namespace {

using xml_test::ReadAll;
using xml_test::ScratchDir;
using xml_test::WriteAll;

constexpr std::string_view kWriteFailed = "Error: failed to write XML file.\n\n";
constexpr std::string_view kLoadFailed = "Error: failed to load XML file.\n\n";
constexpr std::string_view kDomFailed = "Error message: *** Exception occurred ***\n";

struct Captured {
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err};
};

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path().filename());
  std::sort(files.begin(), files.end());
  return files;
}

// ---- export -----------------------------------------------------------------

// Export rows as the catalog collects them: each says where its group stands.
SettingExportRow Row(ExportGroupPlace place, std::wstring_view category, std::wstring_view name,
                     std::wstring_view meaning, std::wstring value, bool lastInGroup = false) {
  return {.category = category,
          .name = name,
          .meaning = meaning,
          .value = std::move(value),
          .groupPlace = place,
          .lastInGroup = lastInGroup};
}
SettingExportRow InOrder(std::wstring_view category, std::wstring_view name, std::wstring_view meaning,
                         std::wstring value) {
  return Row(ExportGroupPlace::kInOrder, category, name, meaning, std::move(value));
}

#if !defined(_WIN32)
SettingExportRow Security(std::wstring_view name, std::wstring_view meaning, std::wstring value,
                          bool lastInGroup = false) {
  return Row(ExportGroupPlace::kLast, L"Security", name, meaning, std::move(value), lastInGroup);
}

// The bytes the Linux build writes. (MSXML writes the same tree in its own way.)
TEST(ExportCustomSettingsTest, TheBytesOfTheFile) {
  const struct {
    const char* label;
    std::vector<SettingExportRow> rows;
    std::vector<BootDeviceExportRow> bootRows;
    InterfaceVersion version;
    std::string root;  // the file after the declaration line
  } kCases[] = {
      {"every kind of row",
       {
           InOrder(L"Device Control", L"wi-fi", L"0 : Disabled, 1 : Enabled", L"1"),
           Security(L"set supervisor password", L"password, DoNotChange : keep password", L"DoNotChange", true),
           Security(L"clear tpm", L"0 : Do nothing, 1: Clear", L"0"),
           {},
           Row(ExportGroupPlace::kLeftOut, L"Expansion", L"set hdd0 password", L"password", L"DoNotChange"),
           InOrder(L"Device Control", L"audio", L"0 : Off", L"0"),
           Security(L"set user password", L"password", L"DoNotChange"),
           InOrder(L"Date and Time", L"time", L"Hour", L"238:238:238"),
           Row(ExportGroupPlace::kLeftOut, L"SMBIOS information", L"asset tag number", L"Up to 22", L"SIM1"),
           Security(L"clear tpm(tcm)", L"0 : Do nothing", L"0"),
           InOrder(L"Post Behaviors", L"boot priority order", L"1st \u2026 16th & \"last\"", L"19,1,7,255"),
           InOrder(L"System Function", L"asf support", L"0 : <off>", L""),
           InOrder(L"Post Behaviors", L"tag", L"m", L"a<b&c"),
       },
       {
           {L"Boot device table", L"1", L"1st HDD"},
           {},
           {L"Boot device table", L"16", L"USB Other Devices"},
       },
       {2, 90},
       "<Root WMI_version=\"2.90\">\r"
       "<Category name=\"Device Control\">"
       "\r\t<Item name=\"wi-fi\" Description=\"0 : Disabled, 1 : Enabled\">\r\t\t<Value>1</Value></Item>\r\n"
       "\t<Item name=\"audio\" Description=\"0 : Off\">\r\t\t<Value>0</Value></Item>\r\n"
       "</Category>\r\n"
       "<Category name=\"Date and Time\">"
       "\r\t<Item name=\"time\" Description=\"Hour\">\r\t\t<Value>238:238:238</Value></Item>\r\n"
       "</Category>\r\n"
       "<Category name=\"Post Behaviors\">"
       "\r\t<Item name=\"boot priority order\" Description=\"1st \xE2\x80\xA6 16th &amp; &quot;last&quot;\">"
       "\r\t\t<Value>19,1,7,255</Value></Item>\r\n"
       "\t<Item name=\"tag\" Description=\"m\">\r\t\t<Value>a&lt;b&amp;c</Value></Item>\r\n"
       "</Category>\r\n"
       "<Category name=\"System Function\">"
       "\r\t<Item name=\"asf support\" Description=\"0 : &lt;off>\">\r\t\t<Value/></Item>\r\n"
       "</Category>\r\n"
       "<Category name=\"Security\">"
       "\r\t<Item name=\"clear tpm\" Description=\"0 : Do nothing, 1: Clear\">\r\t\t<Value>0</Value></Item>\r\n"
       "\t<Item name=\"set user password\" Description=\"password\">\r\t\t<Value>DoNotChange</Value></Item>\r\n"
       "\t<Item name=\"clear tpm(tcm)\" Description=\"0 : Do nothing\">\r\t\t<Value>0</Value></Item>\r\n"
       "\t<Item name=\"set supervisor password\" Description=\"password, DoNotChange : keep password\">"
       "\r\t\t<Value>DoNotChange</Value></Item>\r\n"
       "</Category>\r\n"
       "\r<Reference name=\"Boot device table\">"
       "\r\t<Meaning name=\"1st HDD\" Value=\"1\"/>\r\n"
       "\t<Meaning name=\"USB Other Devices\" Value=\"16\"/>\r\n"
       "</Reference>\r\n"
       "</Root>\r\n"},
      {"row 0 and boot row 0 empty",
       {{}, InOrder(L"IO Ports", L"usb ports", L"m", L"1")},
       {{}, {L"Boot device table", L"2", L"CD"}},
       {2, 73},
       "<Root WMI_version=\"2.73\"><Category name=\"IO Ports\">"
       "\r\t<Item name=\"usb ports\" Description=\"m\">\r\t\t<Value>1</Value></Item>\r\n"
       "</Category>\r\n"
       "<Reference name=\"Boot device table\">\t<Meaning name=\"CD\" Value=\"2\"/>\r\n</Reference>\r\n"
       "</Root>\r\n"},
      {"row 0 in Security, no boot devices",
       {Security(L"set supervisor password", L"m", L"DoNotChange", true),
        InOrder(L"Device Control", L"wi-fi", L"m", L"0")},
       {},
       {2, 56},
       "<Root WMI_version=\"2.56\"><Category name=\"Device Control\">"
       "\r\t<Item name=\"wi-fi\" Description=\"m\">\r\t\t<Value>0</Value></Item>\r\n"
       "</Category>\r\n"
       "<Category name=\"Security\">"
       "\r\t<Item name=\"set supervisor password\" Description=\"m\">\r\t\t<Value>DoNotChange</Value></Item>\r\n"
       "</Category>\r\n"
       "</Root>\r\n"},
      {"nothing", {}, {}, {2, 5}, "<Root WMI_version=\"2.5\"/>\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    Captured run;
    EXPECT_EQ(ExportCustomSettings(run.console, dir / "out.xml", c.rows, c.bootRows, c.version), ExportResult::kSaved);
    EXPECT_EQ(ReadAll(dir / "out.xml"), "<?xml version='1.0' encoding='UTF-8'?>\r\n" + c.root);
    EXPECT_EQ(run.out.str() + run.err.str(), "");
  }
}
#endif

// One node of a loaded file, as the shape checks look at it.
struct Node {
  size_t depth;
  XmlNodeKind kind;
  std::string name;   // an element's name
  std::string text;   // a text node's characters, line ends as LF
  std::string label;  // an element's "name" attribute
};

std::vector<Node> LoadNodes(const std::filesystem::path& file, XmlWhitespace whitespace) {
  const std::string bytes = ReadAll(file);
  XmlReader reader;
  EXPECT_EQ(reader.Load({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, whitespace),
            XmlLoadResult::kLoaded);
  std::vector<Node> nodes;
  reader.Walk([&](const XmlNodeView& view) {
    Node node{view.Depth(), view.Kind(), WideToUtf8(view.Name()), "", ""};
    for (const char c : WideToUtf8(view.Value())) {
      if (c != '\r') node.text += c;
    }
    for (const XmlAttribute& a : view.Attributes()) {
      if (a.name == L"name") node.label = WideToUtf8(a.value);
    }
    nodes.push_back(node);
    return true;
  });
  return nodes;
}

// The children of nodes[parent], by index.
std::vector<size_t> ChildrenOf(const std::vector<Node>& nodes, size_t parent) {
  std::vector<size_t> children;
  for (size_t i = parent + 1; i < nodes.size() && nodes[i].depth > nodes[parent].depth; ++i) {
    if (nodes[i].depth == nodes[parent].depth + 1) children.push_back(i);
  }
  return children;
}

// Children that alternate between layout text and elements: `first` before
// the first element, `between` between two, `last` after the last.
void ExpectLaidOut(const std::vector<Node>& nodes, size_t parent, const std::string& element, std::string_view first,
                   std::string_view between, std::string_view last) {
  const std::vector<size_t> children = ChildrenOf(nodes, parent);
  ASSERT_GE(children.size(), 3u) << nodes[parent].label;
  ASSERT_EQ(children.size() % 2, 1u) << nodes[parent].label;
  for (size_t k = 0; k < children.size(); ++k) {
    const Node& child = nodes[children[k]];
    if (k % 2 == 1) {
      EXPECT_EQ(child.name, element) << nodes[parent].label << " " << k;
      continue;
    }
    const std::string_view expected = k == 0 ? first : k + 1 == children.size() ? last : between;
    EXPECT_EQ(child.kind, XmlNodeKind::kText) << nodes[parent].label << " " << k;
    EXPECT_EQ(child.text, expected) << nodes[parent].label << " " << k;
  }
}

class ExportOfTheNewestLayoutTest : public ::testing::Test {
 protected:
  ExportOfTheNewestLayoutTest() {
    BuildSettingCatalog(catalog_, 2, 90);
    std::vector<uint8_t> buffer(2048, 1);
    CollectExportSettings(catalog_, rows_, buffer);
    CollectExportBootDevices(catalog_, bootRows_);
    file_ = dir_ / "settings.xml";
    EXPECT_EQ(ExportCustomSettings(run_.console, file_, rows_, bootRows_, {2, 90}), ExportResult::kSaved);
  }

  // The names of the settings the file is to hold: the settable ones of
  // every category but "Expansion" and "SMBIOS information".
  std::set<std::string> ExpectedItems() const {
    std::set<std::string> names;
    for (const SettingExportRow& row : rows_) {
      if (!row.name.empty() && row.category != L"Expansion" && row.category != L"SMBIOS information") {
        names.insert(WideToUtf8(row.name));
      }
    }
    return names;
  }

  SettingCatalog catalog_;
  std::vector<SettingExportRow> rows_;
  std::vector<BootDeviceExportRow> bootRows_;
  ScratchDir dir_;
  Captured run_;
  std::filesystem::path file_;
};

TEST_F(ExportOfTheNewestLayoutTest, CategoriesItemsAndLayoutText) {
  const std::string bytes = ReadAll(file_);
  const std::string declaration = bytes.substr(0, bytes.find("?>") + 2);
  EXPECT_TRUE(declaration.starts_with("<?xml version=")) << declaration;
  EXPECT_NE(declaration.find("UTF-8"), std::string::npos) << declaration;

  const std::vector<Node> nodes = LoadNodes(file_, XmlWhitespace::kKeep);
  ASSERT_FALSE(nodes.empty());
  ASSERT_EQ(nodes[0].name, "Root");
  std::vector<std::string> top;
  for (const size_t i : ChildrenOf(nodes, 0)) top.push_back(nodes[i].name + ":" + nodes[i].label + nodes[i].text);
  // CR before the first Category (row 0 is "3g/lte"), CR LF after each, and
  // CR again before the Reference (read back as LF).
  EXPECT_EQ(top, (std::vector<std::string>{":\n", "Category:Device Control", ":\n", "Category:System Function", ":\n",
                                           "Category:Power and Event Control", ":\n", "Category:Post Behaviors", ":\n",
                                           "Category:Date and Time", ":\n", "Category:IO Ports", ":\n",
                                           "Category:Security", ":\n\n", "Reference:Boot device table", ":\n"}));

  std::set<std::string> items;
  size_t meanings = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].name == "Category") ExpectLaidOut(nodes, i, "Item", "\n\t", "\n\t", "\n");
    if (nodes[i].name == "Reference") ExpectLaidOut(nodes, i, "Meaning", "\n\t", "\n\t", "\n");
    if (nodes[i].name == "Meaning") ++meanings;
    if (nodes[i].name != "Item") continue;
    items.insert(nodes[i].label);
    const std::vector<size_t> children = ChildrenOf(nodes, i);
    ASSERT_EQ(children.size(), 2u) << nodes[i].label;
    EXPECT_EQ(nodes[children[0]].text, "\n\t\t") << nodes[i].label;
    EXPECT_EQ(nodes[children[1]].name, "Value") << nodes[i].label;
  }
  EXPECT_EQ(items, ExpectedItems());
  const auto security = std::find_if(nodes.begin(), nodes.end(), [](const Node& n) { return n.label == "Security"; });
  ASSERT_NE(security, nodes.end());
  const std::vector<size_t> securityChildren = ChildrenOf(nodes, static_cast<size_t>(security - nodes.begin()));
  ASSERT_GE(securityChildren.size(), 2u);
  EXPECT_EQ(nodes[securityChildren[securityChildren.size() - 2]].label, "set supervisor password");
  EXPECT_EQ(meanings, 19u);
}

TEST_F(ExportOfTheNewestLayoutTest, ImportGivesTheItemsInFileOrder) {
  std::vector<std::string> inFile;
  for (const Node& node : LoadNodes(file_, XmlWhitespace::kDrop)) {
    if (node.name == "Item") inFile.push_back(node.label);
  }
  const ImportResult imported = ImportCustomSettings(run_.console, file_);
  ASSERT_EQ(imported.status, ImportStatus::kLoaded);
  std::vector<std::string> names;
  for (const ImportedSetting& s : imported.settings) {
    names.push_back(WideToUtf8(s.name));
    EXPECT_EQ(s.problem, ImportProblem::kNone) << names.back();
    const auto row =
        std::find_if(rows_.begin(), rows_.end(), [&](const SettingExportRow& r) { return r.name == s.name; });
    ASSERT_NE(row, rows_.end()) << names.back();
    EXPECT_EQ(s.value, row->value) << names.back();
  }
  EXPECT_EQ(names, inFile);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.front(), "3g/lte");
  EXPECT_EQ(names.back(), "set supervisor password");
  EXPECT_EQ(imported.settings.back().value, L"DoNotChange");
  const auto value = [&](std::wstring_view name) {
    for (const ImportedSetting& s : imported.settings) {
      if (s.name == name) return WideToUtf8(s.value);
    }
    return std::string("(missing)");
  };
  EXPECT_EQ(value(L"set user password"), "DoNotChange");
  EXPECT_EQ(value(L"time"), "238:238:238");
  EXPECT_EQ(value(L"clear tpm(tcm)"), "0");
  EXPECT_EQ(run_.out.str() + run_.err.str(), "");
}

TEST(ExportCustomSettingsTest, AFailedExportLeavesWhatStoodThere) {
  const std::vector<SettingExportRow> rows = {InOrder(L"Device Control", L"wi-fi", L"m", L"1")};
  ScratchDir dir;

  // A file is replaced once the new one is complete.
  WriteAll(dir / "old.xml", "old");
  Captured replaced;
  EXPECT_EQ(ExportCustomSettings(replaced.console, dir / "old.xml", rows, {}, {2, 90}), ExportResult::kSaved);
  EXPECT_TRUE(ReadAll(dir / "old.xml").starts_with("<?xml"));

  const auto name = [](const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  };
  // A folder in the way: refused, the message names it.
  std::filesystem::create_directory(dir / "taken.xml");
  WriteAll(dir / "taken.xml" / "inside", "kept");
  Captured blocked;
  EXPECT_EQ(ExportCustomSettings(blocked.console, dir / "taken.xml", rows, {}, {2, 90}), ExportResult::kNotSaved);
  EXPECT_EQ(blocked.out.str(), "file: " + name(dir / "taken.xml") +
                                   " is a directory, not a regular file: nothing was written. \n\n" +
                                   std::string(kWriteFailed));
  EXPECT_EQ(blocked.err.str(), "");
  EXPECT_EQ(ReadAll(dir / "taken.xml" / "inside"), "kept");

  // No folder to write in: the file cannot be created.
  Captured missing;
  EXPECT_EQ(ExportCustomSettings(missing.console, dir / "missing" / "new.xml", rows, {}, {2, 90}),
            ExportResult::kNotSaved);
  EXPECT_EQ(missing.out.str(),
            "file: " + name(dir / "missing" / "new.xml") + " open failed. \n\n" + std::string(kWriteFailed));
  EXPECT_EQ(missing.err.str(), "");

  // Nothing is left behind on the way.
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::filesystem::path>{"old.xml", "taken.xml"}));
}

// ---- import -----------------------------------------------------------------

std::string Items(size_t count) {
  std::string items = "<Root>";
  for (size_t i = 0; i < count; ++i) items += "<Item name=\"s" + std::to_string(i) + "\"><Value>1</Value></Item>";
  return items + "</Root>";
}

TEST(ImportCustomSettingsTest, HandWrittenFiles) {
  const std::string tooLong(258, '9');  // "x=" and 258 characters: one more than a "/set" argument takes
  const struct {
    const char* label;
    std::string content;  // "(missing)" for no file, "(folder)" for a directory
    ImportStatus status;
    std::vector<ImportedSetting> settings;
    std::string out;
  } kCases[] = {
      {"missing", "(missing)", ImportStatus::kNotLoaded, {}, "{file}: not found.\n\n"},
      {"a folder", "(folder)", ImportStatus::kNotLoaded, {}, "{file}: not a regular file.\n\n"},
      {"empty", "", ImportStatus::kNotLoaded, {}, "{file}: not XML at line 1.\n\n"},
      {"not well-formed",
       "<Root>\n<Item name=\"wi-fi\"><Value>1</Value></Root>",
       ImportStatus::kNotLoaded,
       {},
       "{file}: not XML at line 2.\n\n"},
      {"cut off", Items(3).substr(0, 60), ImportStatus::kNotLoaded, {}, "{file}: not XML at line 1.\n\n"},
      {"a document type",
       "<?xml version='1.0'?>\n<!DOCTYPE Root [<!ENTITY one \"1\">]>\n"
       "<Root><Item name=\"boot mode\"><Value>&one;</Value></Item></Root>\n",
       ImportStatus::kNotLoaded,
       {},
       "{file}: a document type declaration (<!DOCTYPE>) is not accepted.\n\n"},
      {"no Items",
       "<?xml version='1.0' encoding='UTF-8'?>\r\n<Root WMI_version=\"2.90\"/>\r\n",
       ImportStatus::kLoaded,
       {},
       ""},
      {"Items wherever they stand",
       "<?xml version='1.0' encoding='UTF-8'?>\r\n"
       "<Root WMI_version=\"2.90\">\r\n"
       "<Category name=\"Device Control\">\r\n"
       "\t<Item name=\"wi-fi\" Description=\"0 : Disabled\">\r\n\t\t<Value>1</Value></Item>\r\n"
       "\t<Item Description=\"no name\"><Value>1</Value></Item>\r\n"
       "\t<Meaning name=\"not an item\" Value=\"1\"/>\r\n"
       "\t<Item Description=\"first\" name=\"audio\" other=\"x\"><Value>0</Value></Item>\r\n"
       "\t<Item name=\"no value\"/>\r\n"
       "\t<Item name=\"bare text\">5</Item>\r\n"
       "\t<Item name=\"commented\"><!--1--><?pi 2?>\r\n<Value>0</Value></Item>\r\n"
       "</Category>\r\n"
       "<Item name=\"outside\"><Value>7</Value></Item>\r\n"
       "<Item name=\"nested\"><Value>1<b>2</b>3</Value></Item>\r\n"
       "<Item name=\"Boot Mode \"><Value> a b </Value></Item>\r\n"
       "<Item name=\"x\"><Value>" +
           tooLong +
           "</Value></Item>\r\n"
           "<Item name=\"y\"><Value>" +
           tooLong.substr(1) +
           "</Value></Item>\r\n"
           "</Root>\r\n",
       ImportStatus::kLoaded,
       {{L"wi-fi", L"1", ImportProblem::kNone},
        {L"audio", L"0", ImportProblem::kNone},
        {L"no value", L"", ImportProblem::kNoValue},
        {L"bare text", L"", ImportProblem::kNoValue},
        {L"commented", L"0", ImportProblem::kNone},
        {L"outside", L"7", ImportProblem::kNone},
        {L"nested", L"123", ImportProblem::kNone},
        // The name as it stands; the value as the text property reads it.
        {L"Boot Mode ", L"a b", ImportProblem::kNone},
        {L"x", Utf8ToWide(tooLong), ImportProblem::kTooLong},
        {L"y", Utf8ToWide(tooLong.substr(1)), ImportProblem::kNone}},
       ""},
      {"2048 Items", Items(2048), ImportStatus::kLoaded, {}, ""},
      {"2049 Items",
       Items(2049),
       ImportStatus::kNotLoaded,
       {},
       "Error: the XML file holds more than 2048 settings; none is imported.\n\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    const std::filesystem::path file = dir / "in.xml";
    if (c.content == "(folder)") {
      std::filesystem::create_directory(file);
    } else if (c.content != "(missing)") {
      WriteAll(file, c.content);
    }
    Captured run;
    const ImportResult result = ImportCustomSettings(run.console, file);
    EXPECT_EQ(result.status, c.status);
    std::string expectedOut = c.out;
    if (const size_t at = expectedOut.find("{file}"); at != std::string::npos) {
      expectedOut = std::string(kLoadFailed.substr(0, kLoadFailed.size() - 1)) +
                    expectedOut.replace(at, 6, reinterpret_cast<const char*>(file.u8string().c_str()));
    }
#if defined(_WIN32)
    // MSXML names the line where the text stops being XML; Wine's does not.
    if (const size_t at = expectedOut.find(" at line "); at != std::string::npos && run.out.str() != expectedOut) {
      expectedOut.erase(at, expectedOut.find('.', at) - at);
    }
#endif
    EXPECT_EQ(run.out.str(), expectedOut);
    EXPECT_EQ(run.err.str(), "");
    if (std::string_view(c.label) == "2048 Items") {
      ASSERT_EQ(result.settings.size(), 2048u);
      EXPECT_EQ(result.settings.back().name, L"s2047");
      continue;
    }
    ASSERT_EQ(result.settings.size(), c.settings.size());
    for (size_t i = 0; i < c.settings.size(); ++i) {
      EXPECT_EQ(result.settings[i].name, c.settings[i].name) << i;
      EXPECT_EQ(result.settings[i].value, c.settings[i].value) << i;
      EXPECT_EQ(result.settings[i].problem, c.settings[i].problem) << i;
    }
  }
}

TEST(ImportCustomSettingsTest, AFileLargerThanAnyValidOneIsNotRead) {
  ScratchDir dir;
  std::string content = Items(1);
  content.resize(kMaxCustomSettingsFileBytes + 1, ' ');
  WriteAll(dir / "big.xml", content);
  Captured run;
  const ImportResult result = ImportCustomSettings(run.console, dir / "big.xml");
  EXPECT_EQ(result.status, ImportStatus::kNotLoaded);
  EXPECT_TRUE(result.settings.empty());
  EXPECT_EQ(run.out.str(), std::string(kLoadFailed.substr(0, kLoadFailed.size() - 1)) +
                               reinterpret_cast<const char*>((dir / "big.xml").u8string().c_str()) +
                               ": larger than 8388608 bytes.\n\n");

  content.resize(kMaxCustomSettingsFileBytes);
  WriteAll(dir / "big.xml", content);
  EXPECT_EQ(ImportCustomSettings(run.console, dir / "big.xml").settings.size(), 1u);
}

}  // namespace
}  // namespace vort64
