// The lines a run says on standard error when it refuses to go on for the
// sake of a fleet's notebooks: no password sent because two were refused
// since the notebook started (or their count cannot be used), and a
// custom-settings file whose supervisor password would strand the notebook.
// Said by the program; read back by vort-sim's rehearsal, which names them.
#ifndef VORT64_BASE_REFUSAL_LINES_H_
#define VORT64_BASE_REFUSAL_LINES_H_

namespace vort64 {

inline constexpr char kLockoutAvoidedLine[] =
    "Error: two passwords were refused since the notebook started: correct the password file or restart the "
    "notebook.\n";
inline constexpr char kCountUnusableLine[] =
    "Error: the count of refused password calls kept between runs cannot be read or written: no password was "
    "sent.\n";
// In the line "Error: the Item "NAME" of FILE names another supervisor
// password than the first line of PASSWORD-FILE: ...".
inline constexpr char kStrandingItemWords[] = " names another supervisor password than the first line of ";

}  // namespace vort64

#endif  // VORT64_BASE_REFUSAL_LINES_H_
