#include "catalog/password_settings.h"

#include <gtest/gtest.h>

#include <string>

namespace vort64 {
namespace {

TEST(PasswordItemTest, NamesMapToKindAndDisk) {
  const struct {
    const wchar_t* name;
    PasswordItem::Kind kind;
    uint32_t disk;
  } cases[] = {
      {L"set supervisor password", PasswordItem::kSupervisor, 0},
      {L"set user password", PasswordItem::kUser, 0},
      {L"set hdd0 password", PasswordItem::kHdd, 0},
      {L"set hdd5 password", PasswordItem::kHdd, 5},
      {L"set hdd0(opal) password", PasswordItem::kHddOpal, 0},
      {L"set hdd4(opal) password", PasswordItem::kHddOpal, 4},
      {L"set hdd1/hdd1(opal) password", PasswordItem::kHddCombined, 1},
      {L"set hdd5/hdd5(opal) password", PasswordItem::kHddCombined, 5},
      {L"set hdd6 password", PasswordItem::kNone, 0},
      {L"set hdd1/hdd2(opal) password", PasswordItem::kNone, 0},
      {L"Set Supervisor Password", PasswordItem::kNone, 0},
      {L"supervisor password", PasswordItem::kNone, 0},
      {L"hdd0/hdd0(opal) password is status", PasswordItem::kNone, 0},
      {L"", PasswordItem::kNone, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    const PasswordItem item = ClassifyPasswordItem(c.name);
    EXPECT_EQ(item.kind, c.kind);
    EXPECT_EQ(item.disk, c.disk);
  }
}

}  // namespace
}  // namespace vort64
