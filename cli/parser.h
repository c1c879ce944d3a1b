// The command line: which arguments form a request, the item-name aliases
// and the function words.
//
//   program /password PASSWORD                                  check the password
//   program /password PASSWORD /load-factory-default            (or /load-user-default, /show-settings)
//   program /? | /h | -h | --help | /help | -?                  the usage
//   program --version | /version                                the program's version
//   program /json ...                                           any of these, answered in JSON
//   program /password PASSWORD /FUNCTION "ITEM=VALUE"           one setting or one file
//   program /password PASSWORD /import-custom-settings FILE.xml /result-file PATH
//                                                               the import's result file at PATH
//
// position 0 is the program, 1 the password switch, 2 the current password,
// 3 the function switch, 4 the item argument or file name.
#ifndef VORT64_CLI_PARSER_H_
#define VORT64_CLI_PARSER_H_

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/parsed_request.h"
#include "base/run_context.h"
#include "base/setting_parser.h"
#include "catalog/catalog.h"

namespace vort64 {

// "/json" (in any case) as the first argument asks for the run's answer as
// one JSON document on standard output. Answers the arguments without it
// (the rest is read as if it had not been typed) and whether it was there.
struct JsonSwitch {
  bool given = false;
  std::vector<std::wstring> args;
};
JsonSwitch TakeJsonSwitch(std::span<const std::wstring> args);

// Whether the command line asks for the program's version alone:
// "--version" or "/version" as the only argument. It is answered before the
// firmware is reached.
bool AsksForVersion(std::span<const std::wstring> args);

// Whether the command line asks for the usage by one of the words other
// programs answer with: "-h", "--help", "/help" or "-?" as the first
// argument. It is answered before the machine is locked or the firmware
// read; "/?" and "/h" are answered after the version line, as ever.
bool AsksForUsageBeforeFirmware(std::span<const std::wstring> args);

// Whether the first argument asks for the usage by any of its words ("/?"
// and "/h" included): the parse of such a command line shows the usage.
bool AsksForUsage(std::span<const std::wstring> args);

// How many of the arguments the parser is to see: a sixth argument
// "/ignore_precheck" or "/i" (any case) is dropped; otherwise all of them.
size_t EffectiveArgumentCount(std::span<const std::wstring> args);

// Parses `args` (args[0] is the program) into `out`, which should be freshly
// made. "/result-file PATH" after the import's file is taken out first
// (refused with the usage anywhere else, for another function or twice),
// then a "/ignore_precheck" that is left as the sixth argument is dropped. `ctx` must carry the accepted interface
// version and the catalog must be complete. Returns true for a request the run can carry out; on false the parser has
// written its messages and the run ends with exit code 101. Asks for quiet output (`out.quietOutput`) for
// "import-custom-settings"; a parse on a quiet console withholds its messages as well.
bool ParseCommandLine(const RunContext& ctx, const SettingCatalog& catalog, std::span<const std::wstring> args,
                      ParsedRequest& out);

// Reads one setting as "/set NAME=VALUE" would: the aliases, the length
// limit of an argument, the catalog and the value parsers of the command
// line, with the current password of `run` (the run's own request). The
// parsers' messages go to the console as they do for "/set" (withheld while
// it is quiet). The custom-settings import applies each Item through it.
ParsedSetting ParseSetting(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& run,
                           std::wstring_view name, std::wstring_view value);

// ParseSetting behind the interface the import is given.
class CommandLineSettings final : public SettingParser {
 public:
  CommandLineSettings(const RunContext& ctx, const SettingCatalog& catalog, const ParsedRequest& run)
      : ctx_(ctx), catalog_(catalog), run_(run) {}
  ParsedSetting Parse(std::wstring_view name, std::wstring_view value) const override {
    return ParseSetting(ctx_, catalog_, run_, name, value);
  }

 private:
  const RunContext& ctx_;
  const SettingCatalog& catalog_;
  const ParsedRequest& run_;
};

// The function of a five-argument command line: "get", "set",
// "export-raw-settings", "import-raw-settings", "export-custom-settings",
// "import-custom-settings", "get-default" and "set-default"; nothing for
// any other word.
std::optional<Function> ItemFunction(std::wstring_view functionWord);

}  // namespace vort64

#endif  // VORT64_CLI_PARSER_H_
