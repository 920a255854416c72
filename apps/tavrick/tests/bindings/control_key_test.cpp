#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "bindings/binding_table.h"
#include "bindings/control_key.h"

namespace tavrick {
namespace {

TEST(ControlKeyTest, FormatsTheFourFields) {
  struct Case {
    Page page;
    Layer layer;
    ControlKind kind;
    std::uint8_t number;
    std::string_view expected;
  };
  constexpr Case k_cases[] = {
      {Page::loupe, 0, ControlKind::rotation, 33, "loupe/0/r/33"},          // two-digit number
      {Page::library, 1, ControlKind::press, 77, "library/1/p/77"},         // longest page name
      {Page::redEye, 3, ControlKind::press, 116, "redEye/3/p/116"},         // case kept, 3 digits
      {Page::crop, 2, ControlKind::rotation, 0, "crop/2/r/0"},              // zero is one digit
      {Page::wb, 0, ControlKind::press, 5, "wb/0/p/5"},                     // one digit, no padding
      {Page::masking, 10, ControlKind::rotation, 255, "masking/10/r/255"},  // wide layer
      {Page::remove, 255, ControlKind::press, 9, "remove/255/p/9"},         // largest layer
  };
  for (const Case& c : k_cases) {
    EXPECT_EQ(control_key(c.page, c.layer, c.kind, c.number), c.expected);
  }
}

TEST(ControlKeyTest, PageNamesRoundTripInTableOrder) {
  constexpr std::string_view k_names[] = {"loupe",   "crop", "remove", "redEye",
                                          "masking", "wb",   "library"};
  for (std::size_t i = 0; i < std::size(k_names); ++i) {
    const auto page = static_cast<Page>(i);
    EXPECT_EQ(page_name(page), k_names[i]);
    EXPECT_EQ(page_from_name(k_names[i]), page);
  }
}

TEST(ControlKeyTest, PageFromNameIsExact) {
  for (std::string_view name : {"redeye", "Loupe", "LIBRARY", "", "loupe ", " crop", "wb/"}) {
    EXPECT_EQ(page_from_name(name), std::nullopt) << name;
  }
}

TEST(ControlKeyTest, TableKeysFitTheSmallStringBuffer) {
  // Keys are built for every lookup of every surface event; they must not allocate.
  const std::size_t inline_capacity = std::string().capacity();
  for (const Binding& row : binding_table()) {
    EXPECT_LE(row.key.size(), inline_capacity) << row.key;
  }
  EXPECT_LE(control_key(Page::library, 3, ControlKind::press, 255).size(), inline_capacity);
}

}  // namespace
}  // namespace tavrick
