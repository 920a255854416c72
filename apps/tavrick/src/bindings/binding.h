#pragma once
// Rows of the binding table and the lookup map built from them.

#include <span>
#include <string_view>
#include <unordered_map>

#include "bindings/action.h"

namespace tavrick {

/// One row of the binding table.
struct Binding {
  std::string_view key;            ///< the row's control key, e.g. "loupe/0/r/33"
  std::string_view device_action;  ///< the control's function name on the surface side
  Action action;
};

/// The 421 rows, static and immutable, in table order. Any thread may read them.
[[nodiscard]] std::span<const Binding> binding_table();

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
