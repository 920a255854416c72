// Moving and resizing the crop rectangle: the rectangle read from the application, the limits
// that keep it inside the image and above its smallest size, and the rectangle sent back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/action_fixture.h"

namespace tavrick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using CropActionsTest = ActionTest;

// A develop.get result holding the crop rectangle whose edges x0, y0, x1, y1 are the JSON
// numbers of `edges`, e.g. "0.25,0,1,0.5".
Json crop_result(std::string_view edges) {
  const Json numbers = *parse_json(std::string("[").append(edges).append("]"));
  Json rect = Json::object();
  rect["x0"] = numbers.at(0);
  rect["y0"] = numbers.at(1);
  rect["x1"] = numbers.at(2);
  rect["y1"] = numbers.at(3);
  Json result = Json::object();
  result["crop"]["geometry"]["rect"] = std::move(rect);
  return result;
}

struct CropCase {
  Action action;
  std::int32_t detents;
  const char* rect_in;   // x0, y0, x1, y1 as JSON numbers
  const char* rect_out;  // the rect parameter of crop.set
};

const CropCase k_crop_cases[] = {
    // Moved right until the right edge meets the image's: the shift is cut to 0.0078125.
    {Action{CropMove{0.01, 0.0}}, 0, "0.25,0.125,0.9921875,0.875", "[0.2578125,0.125,1.0,0.875]"},
    // Moved left at the left edge: the rectangle is sent unchanged.
    {Action{CropMove{-0.01, 0.0}}, 0, "0.0,0.25,0.5,0.75", "[0.0,0.25,0.5,0.75]"},
    // Moved down freely; detents do not matter.
    {Action{CropMove{0.0, 0.125}}, 5, "0.25,0.25,0.75,0.5", "[0.25,0.375,0.75,0.625]"},
    // Moved up past the top edge: stops at 0.
    {Action{CropMove{0.0, -0.5}}, 0, "0.25,0.125,0.75,0.5", "[0.25,0.0,0.75,0.375]"},
    // Integer edges are numbers too and come back as floats.
    {Action{CropMove{0.01, 0.01}}, 0, "0,0,1,1", "[0.0,0.0,1.0,1.0]"},
    // Grown by 1 %: f = 1.01 inside lo = 0.2 and hi = 2.
    {Action{CropScale{0.01}}, 1, "0.25,0.25,0.75,0.75", "[0.2475,0.2475,0.7525,0.7525]"},
    // Halved: g = 0.5 is above lo = 0.4.
    {Action{CropScale{0.01}}, -50, "0.375,0.25,0.625,0.75", "[0.4375,0.375,0.5625,0.625]"},
    // Shrunk too far: held at lo = 0.4, the shorter side stays 0.1.
    {Action{CropScale{0.01}}, -80, "0.375,0.25,0.625,0.75", "[0.45,0.4,0.55,0.6]"},
    // Grown too far: held at hi = 2, where the top and bottom edges meet the image's.
    {Action{CropScale{0.01}}, 150, "0.5,0.25,0.75,0.75", "[0.375,0.0,0.875,1.0]"},
    // Against the left edge and narrower than the smallest size: lo = 1.6 exceeds hi = 1 and
    // the image edge wins.
    {Action{CropScale{0.01}}, -10, "0.0,0.25,0.0625,0.75", "[0.0,0.25,0.0625,0.75]"},
    // No width: sent back as read.
    {Action{CropScale{0.01}}, 10, "0.5,0.25,0.5,0.75", "[0.5,0.25,0.5,0.75]"},
    // No height: sent back as read.
    {Action{CropScale{0.01}}, -10, "0.25,0.5,0.75,0.5", "[0.25,0.5,0.75,0.5]"},
};

TEST_F(CropActionsTest, SendsTheRectangleKeptInsideTheImage) {
  for (const CropCase& c : k_crop_cases) {
    SCOPED_TRACE(std::string(c.rect_in) + " → " + c.rect_out);
    fresh_state();
    sim->set_develop_result(crop_result(c.rect_in));
    run(c.action, c.detents);
    EXPECT_THAT(sent(), ElementsAre(command_line(2, "develop.get"),
                                    command_line(3, "crop.set",
                                                 std::string(R"({"rect":)") + c.rect_out + "}")));
  }
}

TEST_F(CropActionsTest, EndsTheRunningInteractionFirst) {
  sim->set_develop_result(crop_result("0.25,0.25,0.75,0.75"));
  run(Action{Adjust{"light.exposure", 0.05}}, 1, "Exposure");
  run(Action{CropMove{0.0, 0.0}}, 0);
  EXPECT_FALSE(state.interaction);
  EXPECT_THAT(
      sent(),
      ElementsAre(command_line(2, "develop.beginInteraction", R"({"label":"Exposure"})"),
                  command_line(3, "develop.adjust", R"({"control":"light.exposure","delta":0.05})"),
                  command_line(4, "develop.endInteraction"),  //
                  command_line(5, "develop.get"),
                  command_line(6, "crop.set", R"({"rect":[0.25,0.25,0.75,0.75]})")));
}

TEST_F(CropActionsTest, SendsNothingWithoutAUsableRectangle) {
  const char* const results[] = {
      // No crop member.
      R"({"masks":[]})",
      // An edge is missing.
      R"({"crop":{"geometry":{"rect":{"x0":0.1,"y0":0.1,"x1":0.9}}}})",
      // An edge is a text.
      R"({"crop":{"geometry":{"rect":{"x0":0.1,"y0":"0.1","x1":0.9,"y1":0.9}}}})",
      // An edge is null.
      R"({"crop":{"geometry":{"rect":{"x0":0.1,"y0":0.1,"x1":null,"y1":0.9}}}})",
      // The rectangle is an array, not an object.
      R"({"crop":{"geometry":{"rect":[0.1,0.1,0.9,0.9]}}})",
      // geometry is missing.
      R"({"crop":{"rect":{"x0":0.1,"y0":0.1,"x1":0.9,"y1":0.9}}})",
      // The result is not an object.
      R"([1,2,3])",
  };
  for (const char* result : results) {
    SCOPED_TRACE(result);
    fresh_state();
    sim->set_develop_result(*parse_json(result));
    run(Action{CropMove{0.01, 0.0}}, 0);
    run(Action{CropScale{0.01}}, 1);
    EXPECT_THAT(sent(),
                ElementsAre(command_line(2, "develop.get"), command_line(3, "develop.get")));
    EXPECT_THAT(log.lines(), IsEmpty());
  }
}

TEST_F(CropActionsTest, SendsNothingWhenTheApplicationRefusesOrIsSilent) {
  struct Case {
    const char* name;
    sorvic_sim::Responder responder;
  };
  const Case cases[] = {
      // A refusal: the link reports it, the action adds nothing.
      {"refusal", answer(R"("ok":false,"error":"no photo")")},
      // No reply at all within the call's time-out.
      {"silence", silence()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fresh_state();
    sim->set_responder("develop.get", c.responder);
    run(Action{CropScale{0.01}}, 1);
    EXPECT_THAT(sent(), ElementsAre(command_line(2, "develop.get")));
  }
  sim->set_responder("develop.get", {});
  EXPECT_THAT(log.lines(), IsEmpty());  // the last case logged nothing
}

}  // namespace
}  // namespace tavrick::test
