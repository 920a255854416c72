#include <string_view>

#include <gtest/gtest.h>

#include "bindings/binding_table.h"
#include "bindings/control_map.h"

namespace tavrick {
namespace {

TEST(ControlMapTest, EveryRowOfTheTableIsReachable) {
  const std::span<const Binding> table = binding_table();
  const ControlMap map = ControlMap::build(table);
  EXPECT_EQ(map.size(), 421u);
  for (const Binding& row : table) {
    EXPECT_EQ(map.find(row.key), &row) << row.key;
  }
}

TEST(ControlMapTest, FindMatchesExactly) {
  const ControlMap map = ControlMap::build(binding_table());
  ASSERT_NE(map.find("redEye/0/p/48"), nullptr);
  ASSERT_NE(map.find("loupe/0/r/33"), nullptr);
  constexpr std::string_view k_missing[] = {
      "crop/0/r/33",     // bound only in loupe: the engine falls back, the map does not
      "redeye/0/p/48",   // other letter case of redEye
      "loupe/00/r/33",   // layer with a leading zero
      "loupe/0/r/033",   // number with a leading zero
      "loupe/0/R/33",    // kind in capitals
      "loupe/0/r/33/",   // trailing separator
      "loupe/0/r",       // key without its number
      "library/1/p/95",  // not in the library page with Fn
      "loupe/0/r/43",    // knob 43 is bound nowhere
      "",                // empty text
  };
  for (std::string_view key : k_missing) {
    EXPECT_EQ(map.find(key), nullptr) << key;
  }
}

TEST(ControlMapTest, FirstRowWithAKeyWins) {
  const Binding rows[] = {
      {"loupe/0/p/1", "First", Action{Command{"first", ""}}},
      {"loupe/0/p/2", "Other", Action{FocusApp{}}},
      {"loupe/0/p/1", "Second", Action{Command{"second", ""}}},
  };
  const ControlMap map = ControlMap::build(rows);
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.find("loupe/0/p/1"), &rows[0]);
  EXPECT_EQ(map.find("loupe/0/p/2"), &rows[1]);
}

TEST(ControlMapTest, EmptyTableFindsNothing) {
  const ControlMap map = ControlMap::build({});
  EXPECT_EQ(map.size(), 0u);
  EXPECT_EQ(map.find("loupe/0/r/33"), nullptr);
}

}  // namespace
}  // namespace tavrick
