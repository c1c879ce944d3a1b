// The WMI firmware over the machine's real COM runtime and WMI service (when
// cross-built, Wine's). Only what holds on every WMI service is checked: the
// connection opens, closes and opens again, a read of the raw SMBIOS tables
// over the open connection either fills the table or leaves it empty (Wine's
// class has the data but not the version properties, so there the read
// fails), and without a connection the read fails.
#include <gtest/gtest.h>

#include <memory>

#include "wmi/wmi_firmware.h"

namespace vort64 {
namespace {

TEST(SystemWmiTest, OpensReadsTheSmbiosTablesAndCloses) {
  const std::unique_ptr<Firmware> firmware = MakeWmiFirmware();
  ASSERT_FALSE(firmware->IsOpen());
  RawSmbiosTable table{9, 9, {1, 2, 3}};
  EXPECT_FALSE(firmware->ReadRawSmbiosTable(table));
  EXPECT_TRUE(table.data.empty());

  ASSERT_TRUE(firmware->Open());
  EXPECT_TRUE(firmware->IsOpen());
  table = {9, 9, {1, 2, 3}};
  if (firmware->ReadRawSmbiosTable(table)) {
    EXPECT_FALSE(table.data.empty());
  } else {
    EXPECT_TRUE(table.data.empty());
    EXPECT_EQ(table.smbiosMajor, 0);
  }
  EXPECT_TRUE(firmware->IsOpen());  // the read leaves the connection open

  firmware->Close();
  EXPECT_FALSE(firmware->IsOpen());
  // Reopening after a close works as the first time.
  ASSERT_TRUE(firmware->Open());
  firmware->Close();
}

}  // namespace
}  // namespace vort64
