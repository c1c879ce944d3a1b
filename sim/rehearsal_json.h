// The answer of "vort-sim rehearse --json": one JSON document with what the
// text form says, built from the rehearsal's data (never from its printed
// lines), here and only here. Its schema is the "rehearsal" variant of
// schema/vort64-output.schema.json.
#ifndef VORT64_SIM_REHEARSAL_JSON_H_
#define VORT64_SIM_REHEARSAL_JSON_H_

#include <filesystem>
#include <optional>
#include <string>

#include "sim/rehearsal.h"

namespace vort64::sim {

// How the rehearsal ended beyond its versions: the folder the twins were
// kept in (--keep), what went wrong after the versions ran (empty when
// nothing did) and the exit code.
struct RehearsalEnd {
  std::optional<std::filesystem::path> kept;
  std::string error;
  int exitCode = 0;
};

// The document, UTF-8, with a line break at its end.
std::string RehearsalDocument(const Rehearsal& rehearsal, const RehearsalEnd& end);

}  // namespace vort64::sim

#endif  // VORT64_SIM_REHEARSAL_JSON_H_
