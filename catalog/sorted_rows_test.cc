#include "catalog/sorted_rows.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace vort64 {
namespace {

using Rows = SortedRows<int, char, std::less<>>;

TEST(SortedRowsTest, LooksUpLikeAMap) {
  const std::vector<Rows::value_type> storage = {{2, 'b'}, {5, 'e'}, {9, 'i'}};
  const Rows rows(storage);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_FALSE(rows.empty());
  EXPECT_EQ(rows.find(5)->second, 'e');
  EXPECT_EQ(rows.find(2), rows.begin());
  EXPECT_EQ(rows.find(9), rows.end() - 1);
  for (const int missing : {0, 3, 6, 10}) {
    SCOPED_TRACE(missing);
    EXPECT_EQ(rows.find(missing), rows.end());
    EXPECT_FALSE(rows.contains(missing));
    EXPECT_EQ(rows.count(missing), 0u);
    EXPECT_THROW(rows.at(missing), std::out_of_range);
  }
  EXPECT_TRUE(rows.contains(9));
  EXPECT_EQ(rows.count(2), 1u);
  EXPECT_EQ(rows.at(2), 'b');
  EXPECT_EQ(rows.rbegin()->first, 9);
  EXPECT_EQ(std::prev(rows.rend())->first, 2);
}

TEST(SortedRowsTest, EmptyViewFindsNothing) {
  const Rows rows;
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(rows.begin(), rows.end());
  EXPECT_FALSE(rows.contains(1));
}

}  // namespace
}  // namespace vort64
