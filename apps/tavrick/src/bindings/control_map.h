#pragma once
// The lookup map from key text to a row of a binding table.

#include <cstddef>
#include <span>
#include <string_view>
#include <unordered_map>

#include "bindings/binding_table.h"

namespace tavrick {

/// Map from key text to a row of a table; holds references only. Built and used on the
/// event-loop thread.
class ControlMap {
 public:
  /// Builds the map over `table`; when two rows share a key the first one wins.
  [[nodiscard]] static ControlMap build(std::span<const Binding> table);

  /// The row whose key is exactly `key`, or nullptr.
  [[nodiscard]] const Binding* find(std::string_view key) const;

  [[nodiscard]] std::size_t size() const { return m_rows.size(); }

 private:
  std::unordered_map<std::string_view, const Binding*> m_rows;
};

}  // namespace tavrick
