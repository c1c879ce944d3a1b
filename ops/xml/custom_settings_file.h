// The custom-settings file: every writable setting with its current value,
// grouped by category, and the boot device table, as XML; and the reading of
// such a file into the (setting, value) pairs to apply.
//
//   <?xml version='1.0' encoding='UTF-8'?>
//   <Root WMI_version="2.90">
//   <Category name="Device Control">
//   	<Item name="3g/lte" Description="0 : Disabled, 1 : Enabled, 255 : Not Supported">
//   		<Value>1</Value></Item>
//   	...
//   </Category>
//   ...
//   <Reference name="Boot device table">
//   	<Meaning name="1st HDD" Value="1"/>
//   	...
//   </Reference>
//   </Root>
#ifndef VORT64_OPS_XML_CUSTOM_SETTINGS_FILE_H_
#define VORT64_OPS_XML_CUSTOM_SETTINGS_FILE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/run_context.h"
#include "catalog/catalog.h"

namespace vort64 {

enum class ExportResult {
  kSaved,
  // Nothing written: "Error: failed to write XML file." was printed; a file
  // that stood at the path is left as it was.
  kNotSaved,
  // A DOM or COM operation failed: "Error message: *** Exception
  // occurred ***" was printed on standard error; the file is left alone.
  kError,
};

// Writes the export rows (CollectExportSettings) and the boot device rows
// (CollectExportBootDevices) of interface `version` to `file`, as
// WriteWholeFile writes: the document replaces the file only once it is
// complete, and nothing is written through a link or into anything else
// than a regular file (a message names the file).
ExportResult ExportCustomSettings(Console& console, const std::filesystem::path& file,
                                  std::span<const SettingExportRow> rows, std::span<const BootDeviceExportRow> bootRows,
                                  const InterfaceVersion& version);

// The most settings one file may carry; a file with more is not imported.
inline constexpr size_t kMaxImportedSettings = 2048;
// The largest file the import reads.
inline constexpr uintmax_t kMaxCustomSettingsFileBytes = 8u << 20;

// Why an imported setting cannot be applied as it stands; the setting's
// result is then "Invalid Parameter".
enum class ImportProblem {
  kNone,
  kNoValue,  // its Item has no element "Value"
  kTooLong,  // "name=value" is longer than a "/set" argument may be
  // its name or value holds a control character (IsControlCharacter): it
  // names no setting, and no such text reaches the firmware
  kControlCharacter,
};

struct ImportedSetting {
  std::wstring name;
  std::wstring value;  // the text inside the Item's first element "Value"
  ImportProblem problem = ImportProblem::kNone;
};

enum class ImportStatus {
  // The file was read: `settings` holds its Items in file order (there may
  // be none). Also after a DOM error during the walk, with the settings
  // found before it ("Error message: *** Exception occurred ***" printed).
  kLoaded,
  // Nothing to apply: the file is missing, no regular file, unreadable, too
  // large, not well-formed XML or declares a document type ("Error: failed
  // to load XML file." and a line with the file and the reason), or holds
  // more than kMaxImportedSettings settings (a message says so).
  kNotLoaded,
};

struct ImportResult {
  ImportStatus status = ImportStatus::kNotLoaded;
  std::vector<ImportedSetting> settings;
};

// Reads the settings of a custom-settings file: one per "Item" element with
// a "name" attribute, wherever it stands in the document.
ImportResult ImportCustomSettings(Console& console, const std::filesystem::path& file);

}  // namespace vort64

#endif  // VORT64_OPS_XML_CUSTOM_SETTINGS_FILE_H_
