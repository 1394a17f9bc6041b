#include "controller/controller_type_names.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "controller/controller_types.h"

namespace kx7 {
namespace {

TEST(ControllerTypeNames, NamesOnlyTypes) {
  EXPECT_STREQ(ControllerTypeName(32852), "Hazel3x");
  EXPECT_STREQ(ControllerTypeName(32855), "Generic");
  EXPECT_STREQ(ControllerTypeName(32878), "Larch USB");
  EXPECT_STREQ(ControllerTypeName(32881), "Larch USB");
  EXPECT_STREQ(ControllerTypeName(32885), "Other PCAP");
  // Type-menu commands inside the range, unnamed types and numbers outside the range.
  for (std::uint32_t id :
       {0u, 32851u, 32853u, 32854u, 32859u, 32860u, 32877u, 32884u, 32886u, 32887u, 32888u, 32889u, 34000u}) {
    EXPECT_STREQ(ControllerTypeName(id), "") << id;
  }
}

TEST(ControllerTypeNames, StatusPaneText) {
  struct Case {
    std::uint32_t type;
    std::uint32_t features;
    std::uint32_t penMode;
    const char* text;
  };
  const Case cases[] = {
      {0, 0x4, kPenAuto, ""},  // no controller: nothing, not even the pen mode
      {type::kGeneric, 0, kPenAuto, "Generic"},
      {type::kBirch, 0x10, kPenPen, "Birch"},  // not pen-capable: no mode
      {type::kBirchPen, 0x14, kPenAuto, "Birch PEN Auto"},
      {type::kBirchPen, 0x14, kPenFinger, "Birch PEN Finger"},
      {type::kAspen4, 0x4, kPenPen, "Aspen4 Pen"},
      {type::kAspen4, 0x4, 0, "Aspen4"},
      {type::kLarchUsb, 0, kPenAuto, "Larch USB"},
      {type::kLarchUsb, 0x80000, kPenAuto, "Sequoia"},
      {type::kLarchUsb, 0x4000, kPenAuto, "Spruce"},
      {type::kLarchUsb, 0x8000 | 0x10000, kPenAuto, "Larch USB"},  // models 2 and 3 keep the name
      {type::kLarchUsb, 0x4000 | 0x4, kPenFinger, "Spruce Finger"},
      {type::kLarchUsb, 0x80000 | 0x200000, kPenPen, "Sequoia"},  // Larch pen bit is not 0x4
      {type::kLarchUsb0500, 0x80000, kPenAuto, "Larch USB"},      // model names are 32881's only
      {type::kLarch, 0x4000, kPenAuto, "Larch"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ControllerTypeText(c.type, c.features, c.penMode), c.text)
        << c.type << " features " << std::hex << c.features << " pen " << std::dec << c.penMode;
  }
}

}  // namespace
}  // namespace kx7
