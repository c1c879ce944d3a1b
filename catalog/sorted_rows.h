// A read-only view of (key, value) rows kept sorted by key elsewhere, with
// the lookups of a std::map: what the catalog hands out instead of a map, so
// that its rows can stay in constant tables.
#ifndef VORT64_CATALOG_SORTED_ROWS_H_
#define VORT64_CATALOG_SORTED_ROWS_H_

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <span>
#include <stdexcept>
#include <utility>

namespace vort64 {

template <typename Key, typename Value, typename Less>
class SortedRows {
 public:
  using key_type = Key;
  using mapped_type = Value;
  using value_type = std::pair<Key, Value>;
  using size_type = size_t;
  using const_iterator = const value_type*;
  using iterator = const_iterator;
  using const_reverse_iterator = std::reverse_iterator<const_iterator>;
  using reverse_iterator = const_reverse_iterator;

  SortedRows() = default;
  // `rows` must be sorted by key under Less, each key once, and outlive the view.
  explicit SortedRows(std::span<const value_type> rows) : rows_(rows) {}

  const_iterator begin() const { return rows_.data(); }
  const_iterator end() const { return rows_.data() + rows_.size(); }
  const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
  const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }
  size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }

  // The row of `key`, or end().
  template <typename K>
  const_iterator find(const K& key) const {
    const Less less;
    const auto it = std::lower_bound(begin(), end(), key,
                                     [&less](const value_type& row, const K& k) { return less(row.first, k); });
    return it != end() && !less(key, it->first) ? it : end();
  }
  template <typename K>
  bool contains(const K& key) const {
    return find(key) != end();
  }
  template <typename K>
  size_t count(const K& key) const {
    return contains(key) ? 1 : 0;
  }
  // The value of `key`; throws std::out_of_range when there is none.
  template <typename K>
  const Value& at(const K& key) const {
    const auto it = find(key);
    if (it == end()) throw std::out_of_range("SortedRows::at: no such key");
    return it->second;
  }

 private:
  std::span<const value_type> rows_;
};

}  // namespace vort64

#endif  // VORT64_CATALOG_SORTED_ROWS_H_
