// One setting given as a name and a value text, read by the command line's
// own rules: the import applies each Item of a file through it, so that an
// Item means what the same "/set" would.
#ifndef VORT64_BASE_SETTING_PARSER_H_
#define VORT64_BASE_SETTING_PARSER_H_

#include <string_view>

#include "base/parsed_request.h"

namespace vort64 {

struct ParsedSetting {
  enum class Kind {
    kRequest,      // `request` is the "/set" of the setting
    kUnknownName,  // this version has no setting of that name (aliases applied), another one has
    kNoSuchName,   // no interface version has a setting of that name: a typo, not a missing feature
    kRefused,      // the name is known, the value is not taken: see `refusal`
  };
  enum class Refusal {
    kNone,
    kTooLong,           // "name=value" is longer than a command-line argument may be
    kBadValue,          // the value parser refuses the value
    kNotSupportedMark,  // 255 for a plain setting: the firmware's "not supported" mark
  };
  Kind kind = Kind::kRefused;
  Refusal refusal = Refusal::kNone;
  ParsedRequest request;  // kRequest: the request; otherwise its itemName is the normalised name
};

class SettingParser {
 public:
  virtual ~SettingParser() = default;
  // Reads `name` and `value` as "/set name=value" with the run's password.
  virtual ParsedSetting Parse(std::wstring_view name, std::wstring_view value) const = 0;
};

}  // namespace vort64

#endif  // VORT64_BASE_SETTING_PARSER_H_
