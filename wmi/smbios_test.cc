#include "wmi/smbios.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vort64 {
namespace {

// Appends one structure: type, formatted bytes after the 4-byte header, strings.
void AddStructure(std::vector<uint8_t>& data, uint8_t type, std::vector<uint8_t> body,
                  std::vector<std::string> strings) {
  data.push_back(type);
  data.push_back(static_cast<uint8_t>(4 + body.size()));
  data.push_back(0x34);
  data.push_back(0x12);
  data.insert(data.end(), body.begin(), body.end());
  for (const auto& s : strings) {
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
  }
  if (strings.empty()) data.push_back(0);
  data.push_back(0);
}

// Type 1: byte 5 product name, byte 7 serial number.
std::vector<uint8_t> SystemBody(uint8_t product, uint8_t serial) { return {1, product, 0, serial, 0, 0, 0}; }

RawSmbiosTable Table(std::vector<uint8_t> data, uint8_t entryMajor = 3, uint8_t entryMinor = 4) {
  return RawSmbiosTable{entryMajor, entryMinor, std::move(data)};
}

TEST(SmbiosTest, FirstStructureOfTypeWins) {
  std::vector<uint8_t> data;
  AddStructure(data, 0, {1, 2}, {"vendor", "version"});
  AddStructure(data, 1, SystemBody(1, 2), {"First Model", "SER1"});
  AddStructure(data, 1, SystemBody(1, 2), {"Second Model", "SER2"});
  AddStructure(data, 127, {}, {});
  const RawSmbiosTable table = Table(data);
  SystemInformation info;
  ASSERT_TRUE(ReadSystemInformation(table, info));
  EXPECT_EQ(info.productName, "First Model");
  EXPECT_EQ(info.serialNumber, "SER1");
}

TEST(SmbiosTest, StringNumbersZeroOrPastTheSetGiveEmptyText) {
  std::vector<uint8_t> data;
  AddStructure(data, 1, SystemBody(3, 0), {"a", "b", "Model"});
  RawSmbiosTable table = Table(data);
  SystemInformation info;
  ASSERT_TRUE(ReadSystemInformation(table, info));
  EXPECT_EQ(info.productName, "Model");
  EXPECT_EQ(info.serialNumber, "");

  data.clear();
  AddStructure(data, 1, SystemBody(1, 5), {"Model", "b", "c"});
  table = Table(data);
  ASSERT_TRUE(ReadSystemInformation(table, info));
  EXPECT_EQ(info.productName, "Model");
  EXPECT_EQ(info.serialNumber, "");

  data.clear();
  AddStructure(data, 3, {1, 0, 0, 0, 1}, {});  // asset tag string 1 of an empty set
  ChassisInformation chassis;
  ASSERT_TRUE(ReadChassisInformation(Table(data), chassis));
  EXPECT_EQ(chassis.assetTag, "");
}

TEST(SmbiosTest, StringsAreReadFromSmbios21On) {
  std::vector<uint8_t> data;
  AddStructure(data, 1, SystemBody(1, 2), {"Model", "SER"});
  AddStructure(data, 3, {1, 0, 0, 0, 1}, {"TAG"});
  const struct {
    uint8_t major, minor;
    bool strings;
  } cases[] = {{2, 0, false}, {2, 1, true}, {3, 0, false}, {3, 1, true}, {1, 5, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
    const RawSmbiosTable table = Table(data, c.major, c.minor);
    SystemInformation info;
    ChassisInformation chassis;
    ASSERT_TRUE(ReadSystemInformation(table, info));
    ASSERT_TRUE(ReadChassisInformation(table, chassis));
    EXPECT_EQ(info.productName, c.strings ? "Model" : "");
    EXPECT_EQ(info.serialNumber, c.strings ? "SER" : "");
    EXPECT_EQ(chassis.assetTag, c.strings ? "TAG" : "");
  }
}

TEST(SmbiosTest, MissingStructureIsReported) {
  std::vector<uint8_t> data;
  AddStructure(data, 0, {1}, {"bios"});
  SystemInformation info;
  ChassisInformation chassis;
  EXPECT_FALSE(ReadSystemInformation(Table(data), info));
  EXPECT_FALSE(ReadChassisInformation(Table(data), chassis));
  EXPECT_FALSE(ReadInterfaceVersion(Table({})).has_value());
}

TEST(SmbiosTest, InterfaceVersionComesFromBytesFourAndFive) {
  std::vector<uint8_t> data;
  AddStructure(data, 1, SystemBody(1, 2), {"Model", "SER"});
  AddStructure(data, 172, {2, 79}, {});
  const auto version = ReadInterfaceVersion(Table(data));
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(version->major, 2);
  EXPECT_EQ(version->minor, 79);

  data.clear();
  AddStructure(data, 172, {2}, {});  // too short to hold the minor number
  EXPECT_FALSE(ReadInterfaceVersion(Table(data)).has_value());
}

TEST(SmbiosTest, TruncatedTablesEndTheWalkWithoutReadingPastThem) {
  std::vector<uint8_t> full;
  AddStructure(full, 1, SystemBody(1, 2), {"Model", "SER"});
  AddStructure(full, 172, {2, 90}, {});
  // Every cut of the table, including cuts inside the header, the formatted
  // area and the string set of either structure, must be walked safely.
  for (size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    // A heap copy of exactly `cut` bytes lets the address sanitizer catch
    // any read past the end.
    RawSmbiosTable table = Table(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<long>(cut)));
    EXPECT_FALSE(ReadInterfaceVersion(table).has_value());
    SystemInformation info;
    ReadSystemInformation(table, info);
  }
  EXPECT_TRUE(ReadInterfaceVersion(Table(full)).has_value());
}

TEST(SmbiosTest, BogusFormattedLengthsEndTheWalk) {
  // Lengths below the header size or past the end of the table.
  for (int length : {0, 1, 3, 200}) {
    std::vector<uint8_t> data = {1, static_cast<uint8_t>(length), 0, 0, 0, 0, 172, 6, 0, 0, 2, 90, 0, 0};
    EXPECT_FALSE(ReadInterfaceVersion(Table(data)).has_value()) << length;
  }
  // A string set that never closes.
  std::vector<uint8_t> open = {1, 4, 0, 0, 'a', 0, 'b'};
  EXPECT_FALSE(FindSmbiosStructure(Table(open), 1).has_value());
}

}  // namespace
}  // namespace vort64
