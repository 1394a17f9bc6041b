// The controller with the touch side attached: report commands reach it, reports reach the wire,
// and reports pause while the controller is busy elsewhere.
#include <gtest/gtest.h>

#include <string>

#include "controller_test_support.h"
#include "emulator/controller.h"
#include "emulator/touch_report_generator.h"

namespace kx7::emu {
namespace {

using testing::Command;
using testing::Drain;
using testing::kOk;
using testing::kRefusal;

std::unique_ptr<EmulatedController> WithTouches(const std::string& family) {
  auto controller = EmulatedController::ForFamily(family);
  controller->SetReportGenerator(std::make_unique<TouchReportGenerator>());
  return controller;
}

// Reports over a stretch of time, pumping the way a transport does.
std::string Reports(EmulatedController& controller, std::uint64_t from, std::uint64_t to) {
  std::string all;
  for (std::uint64_t t = from; t <= to; t += 5) all += Drain(controller, t);
  return all;
}

TEST(ControllerWithTouches, ReportCommandsGoToTheTouchSideAndReportsFlow) {
  auto controller = WithTouches("cedar-gen4");
  EXPECT_EQ(Command(*controller, "FT", 10), kOk);
  EXPECT_EQ(Command(*controller, "MS", 20), kOk);
  EXPECT_EQ(Command(*controller, "NOPE", 30), kRefusal);
  EXPECT_FALSE(Reports(*controller, 40, 20000).empty()) << "the random stroke touches the screen";
}

TEST(ControllerWithTouches, NoReportsDuringPassThroughOrWhileRebooting) {
  auto controller = WithTouches("cedar-gen3");
  Command(*controller, "FT", 10);
  EXPECT_EQ(Command(*controller, "MPD9", 20), kOk);
  EXPECT_EQ(Reports(*controller, 25, 20000), "");
  testing::SendRaw(*controller, "\x10\x04", 20001);
  EXPECT_EQ(Command(*controller, "RE3", 20010), kOk);
  EXPECT_EQ(Reports(*controller, 20015, 20000 + controller->Profile().dropOff.rebootEeprom - 5), "");
  EXPECT_EQ(Command(*controller, "Z", 22000).substr(0, 3), kOk) << "reports may follow: touching goes on";
}

}  // namespace
}  // namespace kx7::emu
