#include "console/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrick {
namespace {

constexpr const char* k_port_error = "--port phải là số từ 1 đến 65535";

struct OptionsCase {
  std::vector<std::string> args;
  std::uint16_t port;
  std::string source;
  bool set_env;
};

const OptionsCase k_accepted[] = {
    {{}, 7980, "loupedeck", true},                                      // defaults
    {{"--port", "9000"}, 9000, "loupedeck", true},                      // option as first argument
    {{"--no-env", "list"}, 7980, "loupedeck", false},                   // --no-env anywhere
    {{"run", "--port"}, 7980, "loupedeck", true},                       // --port last: default
    {{"run", "--port", "80", "--port", "x"}, 80, "loupedeck", true},    // later --port ignored
    {{"run", "--port", "+7980"}, 7980, "loupedeck", true},              // one leading plus
    {{"run", "--port", "007980"}, 7980, "loupedeck", true},             // leading zeros
    {{"run", "--port", "00000000000000000001"}, 1, "loupedeck", true},  // many leading zeros
    {{"run", "--port", "1"}, 1, "loupedeck", true},                     // lowest port
    {{"run", "--port", "65535"}, 65535, "loupedeck", true},             // highest port
    {{"run", "--source"}, 7980, "loupedeck", true},                     // --source last: default
    {{"run", "--source", ""}, 7980, "", true},                          // empty source is kept
    {{"run", "--source", "-x"}, 7980, "-x", true},                      // value may start with "-"
    {{"--source", "a", "--source", "b"}, 7980, "a", true},              // first --source counts
    {{"--source", "--no-env"}, 7980, "--no-env", false},                // value also seen as option
    {{"--source", "--port", "1"},
     1,
     "--port",
     true},  // the value "--port" is also the first --port
    {{"run", "extra", "words", "--whatever"}, 7980, "loupedeck", true},  // unknown words ignored
    {{"run", "--port=9000"}, 7980, "loupedeck", true},                   // only whole arguments
    {{"run", "--PORT", "0", "--No-Env"}, 7980, "loupedeck", true},       // names are case-sensitive
    {{"--source", "Lộupedeck ✗"}, 7980, "Lộupedeck ✗", true},            // UTF-8 kept verbatim
};

TEST(OptionsTest, AcceptedArgumentLists) {
  for (const auto& c : k_accepted) {
    const auto options = parse_options(c.args);
    ASSERT_TRUE(options.has_value()) << testing::PrintToString(c.args);
    EXPECT_EQ(options->port, c.port) << testing::PrintToString(c.args);
    EXPECT_EQ(options->source, c.source) << testing::PrintToString(c.args);
    EXPECT_EQ(options->set_env, c.set_env) << testing::PrintToString(c.args);
  }
}

const std::vector<std::string> k_rejected[] = {
    {"list", "--port", "0"},                       // zero
    {"run", "--port", "000"},                      // zero with leading zeros
    {"run", "--port", "+"},                        // plus alone
    {"run", "--port", "-"},                        // minus alone
    {"run", "--port", "-1"},                       // negative
    {"run", "--port", "++1"},                      // two plus signs
    {"run", "--port", "65536"},                    // one above the range
    {"run", "--port", "99999999999999999999999"},  // far above, no wrap-around
    {"run", "--port", "1e3"},                      // exponent
    {"run", "--port", ""},                         // empty value
    {"run", "--port", " 80"},                      // white space
    {"run", "--port", "80 "},                      // trailing white space
    {"run", "--port", "0x50"},                     // hexadecimal
    {"run", "--port", "８０"},                     // digits outside ASCII
    {"--port", "--no-env"},                        // the next argument is the value, even an option
    {"--port", "x", "--port", "80"},               // the first --port decides
};

TEST(OptionsTest, BadPortValuesFailWithTheMessage) {
  for (const auto& args : k_rejected) {
    const auto options = parse_options(args);
    ASSERT_FALSE(options.has_value()) << testing::PrintToString(args);
    EXPECT_EQ(options.error(), k_port_error);
  }
}

}  // namespace
}  // namespace tavrick
