#include "base/interface_version.h"

namespace vort64 {

std::string_view PasswordSlotName(PasswordSlot slot) {
  switch (slot) {
    case PasswordSlot::kSupervisor: return "g_new_supervisor_password";
    case PasswordSlot::kUser: return "g_new_user_password";
    case PasswordSlot::kHdd: return "g_new_hdd_password";
    case PasswordSlot::kOpal: return "g_new_opal_password";
    case PasswordSlot::kHdd0: return "g_new_hdd0_password";
    case PasswordSlot::kHdd1: return "g_new_hdd1_password";
  }
  return "";
}

}  // namespace vort64
