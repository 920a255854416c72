#include <cstdint>
#include <optional>
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

TEST(ControlKeyTest, ParseReadsBackWhatControlKeyWrites) {
  struct Case {
    std::string_view key;
    std::optional<ControlKeyFields> fields;
  };
  const Case k_cases[] = {
      {"loupe/0/r/33", {{Page::loupe, 0, ControlKind::rotation, 33}}},      // a table key
      {"library/1/p/77", {{Page::library, 1, ControlKind::press, 77}}},     // a press
      {"remove/255/p/0", {{Page::remove, 255, ControlKind::press, 0}}},     // widest layer, 0
      {"redEye/3/r/255", {{Page::redEye, 3, ControlKind::rotation, 255}}},  // largest number
      {"loupe/00/r/33", std::nullopt},                                      // leading zero
      {"loupe/0/r/033", std::nullopt},                                      // leading zero
      {"loupe/+0/r/33", std::nullopt},                                      // sign
      {"loupe/0/r/+33", std::nullopt},                                      // sign
      {"loupe/0/r/-1", std::nullopt},                                       // negative
      {"redeye/0/p/1", std::nullopt},                                       // page case
      {"loupe/0/R/33", std::nullopt},                                       // kind case
      {"loupe/0/x/33", std::nullopt},                                       // unknown kind
      {"loupe/0/rp/33", std::nullopt},                                      // kind too long
      {"loupe/256/p/1", std::nullopt},                                      // layer too large
      {"loupe/0/p/256", std::nullopt},                                      // number too large
      {"loupe/0/p/33/", std::nullopt},                                      // trailing slash
      {"loupe/0/p/33/1", std::nullopt},                                     // a fifth field
      {"loupe/0/p/33 ", std::nullopt},                                      // trailing space
      {"loupe/0/p", std::nullopt},                                          // missing number
      {"", std::nullopt},                                                   // nothing
  };
  for (const Case& c : k_cases) {
    const auto parsed = parse_control_key(c.key);
    ASSERT_EQ(parsed.has_value(), c.fields.has_value()) << c.key;
    if (parsed) {
      EXPECT_EQ(parsed->page, c.fields->page) << c.key;
      EXPECT_EQ(parsed->layer, c.fields->layer) << c.key;
      EXPECT_EQ(parsed->kind, c.fields->kind) << c.key;
      EXPECT_EQ(parsed->number, c.fields->number) << c.key;
    }
  }
}

TEST(ControlKeyTest, ReadKeyFieldsReadsEachFieldOnItsOwn) {
  struct Case {
    std::string_view key;
    std::optional<Page> page;
    std::optional<std::uint64_t> layer;
    std::string_view kind;
    std::optional<std::uint8_t> number;
  };
  const Case k_cases[] = {
      {"loupe/0/r/33", Page::loupe, 0, "r", 33},                          // canonical
      {"crop/+1/R/+076", Page::crop, 1, "R", 76},                         // signs, zeros, any kind
      {"wb/18446744073709551615/p/255", Page::wb, UINT64_MAX, "p", 255},  // largest of each
      {"wb/18446744073709551616/p/256", Page::wb, std::nullopt, "p", std::nullopt},  // too large
      {"Loupe/x/p/y", std::nullopt, std::nullopt, "p", std::nullopt},  // no page, no numbers
      {"masking/2/r/5/9", Page::masking, 2, "r", 5},                   // a fifth field is not read
      {"library/1/p/", Page::library, 1, "p", std::nullopt},           // empty number
      {"library/1", Page::library, 1, "", std::nullopt},               // missing fields
      {"loupe/++1/p/-1", Page::loupe, std::nullopt, "p", std::nullopt},  // one plus, no minus
      {"", std::nullopt, std::nullopt, "", std::nullopt},                // nothing
  };
  for (const Case& c : k_cases) {
    const KeyFieldReading reading = read_key_fields(c.key);
    EXPECT_EQ(reading.page, c.page) << c.key;
    EXPECT_EQ(reading.layer, c.layer) << c.key;
    EXPECT_EQ(reading.kind, c.kind) << c.key;
    EXPECT_EQ(reading.number, c.number) << c.key;
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
