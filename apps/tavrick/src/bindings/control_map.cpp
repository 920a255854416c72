#include "bindings/control_map.h"

namespace tavrick {

ControlMap ControlMap::build(std::span<const Binding> table) {
  ControlMap map;
  map.m_rows.reserve(table.size());
  for (const Binding& row : table) {
    // try_emplace leaves an existing entry alone: the first row with a key wins.
    map.m_rows.try_emplace(row.key, &row);
  }
  return map;
}

const Binding* ControlMap::find(std::string_view key) const {
  const auto found = m_rows.find(key);
  return found == m_rows.end() ? nullptr : found->second;
}

}  // namespace tavrick
