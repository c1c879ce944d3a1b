#include "ops/xml/custom_settings_file.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "base/parsed_request.h"
#include "base/text.h"
#include "ops/file_io.h"
#include "ops/xml/xml_document.h"

namespace vort64 {
namespace {

constexpr std::string_view kWriteFailed = "Error: failed to write XML file.\n\n";
constexpr std::string_view kLoadFailed = "Error: failed to load XML file.\n\n";
constexpr std::string_view kDomFailed = "Error message: *** Exception occurred ***\n";

// The whitespace text nodes that lay the file out in lines.
constexpr std::wstring_view kCr = L"\r";
constexpr std::wstring_view kCrLf = L"\r\n";
constexpr std::wstring_view kTab = L"\t";
constexpr std::wstring_view kCrTab = L"\r\t";
constexpr std::wstring_view kCrTabTab = L"\r\t\t";

// ---- export -----------------------------------------------------------------

struct PlannedItem {
  const SettingExportRow* row;
  std::wstring_view value;
};

struct PlannedCategory {
  std::wstring_view name;
  bool leadingCr = false;  // created for the row at position 0
  std::vector<PlannedItem> items;
};

// The categories in the order they are written, as the rows place them:
// those in order where their first row comes, then the last one, closed by
// its rows that close it. A row's value is written as it stands.
std::vector<PlannedCategory> PlanCategories(std::span<const SettingExportRow> rows) {
  std::vector<PlannedCategory> planned;
  std::optional<PlannedCategory> last;
  std::vector<PlannedItem> closing;
  for (size_t position = 0; position < rows.size(); ++position) {
    const SettingExportRow& row = rows[position];
    if (row.category.empty()) continue;
    switch (row.groupPlace) {
      case ExportGroupPlace::kLeftOut: break;
      case ExportGroupPlace::kInOrder: {
        auto category = std::find_if(planned.begin(), planned.end(),
                                     [&](const PlannedCategory& c) { return c.name == row.category; });
        if (category == planned.end()) {
          planned.push_back({.name = row.category, .leadingCr = position == 0, .items = {}});
          category = planned.end() - 1;
        }
        category->items.push_back({&row, row.value});
        break;
      }
      case ExportGroupPlace::kLast:
        if (!last) last = PlannedCategory{.name = row.category, .leadingCr = false, .items = {}};
        (row.lastInGroup ? closing : last->items).push_back({&row, row.value});
        break;
    }
  }
  if (last) {
    last->items.insert(last->items.end(), closing.begin(), closing.end());
    planned.push_back(std::move(*last));
  }
  return planned;
}

void WriteCategory(XmlWriter& doc, XmlElement root, const PlannedCategory& planned) {
  if (planned.leadingCr) doc.AppendText(root, kCr);
  const XmlElement category = doc.AppendElement(root, L"Category");
  doc.SetAttribute(category, L"name", planned.name);
  doc.AppendText(root, kCrLf);
  bool first = true;
  for (const PlannedItem& entry : planned.items) {
    doc.AppendText(category, first ? kCrTab : kTab);
    first = false;
    const XmlElement item = doc.AppendElement(category, L"Item");
    doc.SetAttribute(item, L"name", entry.row->name);
    doc.SetAttribute(item, L"Description", entry.row->meaning);
    doc.AppendText(category, kCrLf);
    doc.AppendText(item, kCrTabTab);
    const XmlElement value = doc.AppendElement(item, L"Value");
    doc.AppendText(value, entry.value);
  }
}

void WriteBootDevices(XmlWriter& doc, XmlElement root, std::span<const BootDeviceExportRow> bootRows) {
  std::optional<XmlElement> reference;
  for (size_t position = 0; position < bootRows.size(); ++position) {
    const BootDeviceExportRow& row = bootRows[position];
    if (row.category.empty()) continue;
    if (!reference) {
      if (position == 0) doc.AppendText(root, kCr);
      reference = doc.AppendElement(root, L"Reference");
      doc.SetAttribute(*reference, L"name", row.category);
      doc.AppendText(root, kCrLf);
    }
    doc.AppendText(*reference, position == 0 ? kCrTab : kTab);
    const XmlElement meaning = doc.AppendElement(*reference, L"Meaning");
    doc.SetAttribute(meaning, L"name", row.deviceName);
    doc.SetAttribute(meaning, L"Value", row.code);
    doc.AppendText(*reference, kCrLf);
  }
}

// ---- import -----------------------------------------------------------------

ImportProblem ProblemOf(const ImportedSetting& setting, bool hasChild) {
  if (HoldsControlCharacter(setting.name) || HoldsControlCharacter(setting.value)) {
    return ImportProblem::kControlCharacter;
  }
  if (!hasChild) return ImportProblem::kNoValue;
  // The setting is applied as the "/set" argument "name=value".
  if (setting.name.size() + 1 + setting.value.size() > kMaxArgumentLength) return ImportProblem::kTooLong;
  return ImportProblem::kNone;
}

}  // namespace

ExportResult ExportCustomSettings(Console& console, const std::filesystem::path& file,
                                  std::span<const SettingExportRow> rows, std::span<const BootDeviceExportRow> bootRows,
                                  const InterfaceVersion& version) {
  XmlWriter doc;
  doc.AppendProcessingInstruction(L"xml", L"version='1.0' encoding='UTF-8'");
  const XmlElement root = doc.AppendElement(L"Root");
  doc.SetAttribute(root, L"WMI_version", std::to_wstring(version.major) + L"." + std::to_wstring(version.minor));
  for (const PlannedCategory& category : PlanCategories(rows)) WriteCategory(doc, root, category);
  WriteBootDevices(doc, root, bootRows);

  std::vector<uint8_t> bytes;
  const XmlSaveResult saved = doc.Save(bytes);
  if (saved == XmlSaveResult::kError) {
    console.Err(kDomFailed);
    return ExportResult::kError;
  }
  if (saved == XmlSaveResult::kSaved) {
    const std::string name = PathText(file);
    const WriteOutcome written = WriteWholeFile(file, bytes);
    if (written == WriteOutcome::kWritten) return ExportResult::kSaved;
    console.Out(WriteFailureMessage(name, written, file));
  }
  console.Out(kWriteFailed);
  return ExportResult::kNotSaved;
}

ImportResult ImportCustomSettings(Console& console, const std::filesystem::path& file) {
  ImportResult result;
  // "Error: failed to load XML file." and a line with the file and why.
  const auto notLoaded = [&](std::string_view why) {
    console.Out(std::string(kLoadFailed.substr(0, kLoadFailed.size() - 1)) + Printable(PathText(file)) + ": " +
                std::string(why) + ".\n\n");
    return result;
  };
  // One byte more than the largest file shows a file that is too large.
  const ReadOutcome read = ReadFileStart(file, kMaxCustomSettingsFileBytes + 1);
  if (read.kind != ReadOutcome::Kind::kRead) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status)) return notLoaded("not found");
    if (!std::filesystem::is_regular_file(status)) return notLoaded("not a regular file");
    return notLoaded("cannot be read");
  }
  if (read.bytes.size() > kMaxCustomSettingsFileBytes) {
    return notLoaded("larger than " + std::to_string(kMaxCustomSettingsFileBytes) + " bytes");
  }
  const std::vector<uint8_t>& bytes = read.bytes;

  XmlReader doc;
  switch (doc.Load(bytes, XmlWhitespace::kDrop)) {
    case XmlLoadResult::kLoaded: break;
    case XmlLoadResult::kNotLoaded:
      if (doc.ErrorLine() == 0) return notLoaded("not XML");
      return notLoaded("not XML at line " + std::to_string(doc.ErrorLine()));
    case XmlLoadResult::kDocumentType: return notLoaded("a document type declaration (<!DOCTYPE>) is not accepted");
    case XmlLoadResult::kError:
      console.Err(kDomFailed);
      result.status = ImportStatus::kLoaded;
      return result;
  }

  bool tooMany = false;
  const XmlWalkResult walked = doc.Walk([&](const XmlNodeView& node) {
    if (node.Kind() != XmlNodeKind::kElement || node.Name() != L"Item") return true;
    for (const XmlAttribute& attribute : node.Attributes()) {
      if (attribute.name != L"name") continue;
      if (result.settings.size() == kMaxImportedSettings) {
        tooMany = true;
        return false;
      }
      const std::optional<std::wstring> text = node.ChildElementText(L"Value");
      ImportedSetting setting{.name = attribute.value, .value = text.value_or(L""), .problem = {}};
      setting.problem = ProblemOf(setting, text.has_value());
      result.settings.push_back(std::move(setting));
      break;
    }
    return true;
  });
  if (tooMany) {
    console.Out("Error: the XML file holds more than " + std::to_string(kMaxImportedSettings) +
                " settings; none is imported.\n\n");
    result.settings.clear();
    return result;
  }
  if (walked == XmlWalkResult::kError) console.Err(kDomFailed);
  result.status = ImportStatus::kLoaded;
  return result;
}

}  // namespace vort64
