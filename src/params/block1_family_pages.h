// The Block1 sheet's pages of the controller families, each a list of fields over the bytes of
// Block1 (Binary Edit, the first page of every sheet, is block1_binary_page.h).
#pragma once

#include <cstdint>

#include "params/block1_page.h"

namespace kx7 {

// Hazel3/Hornbeam: report format and mode, thresholds, filter, drive frequency, integration.
class CBlock1Page2 : public Block1Page {
 public:
  explicit CBlock1Page2(bool usb1);
  std::string Title() const override { return "Hazel3/Hornbeam"; }
};

// More Hazel3/Hornbeam: update time, the stray tracking, the CommByte at byte 10, auto baud.
class CBlock1Page3 : public Block1Page {
 public:
  CBlock1Page3();
  std::string Title() const override { return "More Hazel3/Hornbeam"; }
};

// Spindle (Aspen4): thresholds, filter, integration and sample times, speed, power-up mode.
class CBlock1Page4 : public Block1Page {
 public:
  CBlock1Page4();
  std::string Title() const override { return "Spindle"; }
};

// More Spindle: frequency, stray tracking, drive, gain and phase.
class CBlock1Page5 : public Block1Page {
 public:
  CBlock1Page5();
  std::string Title() const override { return "More Spindle"; }
};

// Hawthorn: the orientation in byte 20 bits 4 and 5.
class CBlock1Page6 : public Block1Page {
 public:
  CBlock1Page6();
  std::string Title() const override { return "Hawthorn"; }
};

// Juniper: orientation, debounce, filter, velocity and acceleration limits.
class CBlock1Page7 : public Block1Page {
 public:
  CBlock1Page7();
  std::string Title() const override { return "Juniper"; }
};

// More Juniper: the speed in byte 10.
class CBlock1Page8 : public Block1Page {
 public:
  CBlock1Page8();
  std::string Title() const override { return "More Juniper"; }
};

// Birch2 Olive (Hazel4): speed and framing in byte 10.
class CBlock1Page9 : public Block1Page {
 public:
  CBlock1Page9();
  std::string Title() const override { return "Birch2 Olive (Hazel4)"; }
};

// Birch2 (Aspen5): the speed in the high half of byte 16.
class CBlock1Page10 : public Block1Page {
 public:
  CBlock1Page10();
  std::string Title() const override { return "Birch2 (Aspen5)"; }
};

// Whitebeam (the resistive controllers): axes, thresholds, filters.
class CBlock1Page11 : public Block1Page {
 public:
  CBlock1Page11();
  std::string Title() const override { return "Whitebeam"; }
};

// More Whitebeam: the speed in byte 10 and the legend of the flag bits.
class CBlock1Page12 : public Block1Page {
 public:
  CBlock1Page12();
  std::string Title() const override { return "More Whitebeam"; }
};

// Larch: liftoff threshold, hysteresis, skip count, bias and the flags.
class CBlock1Page15 : public Block1Page {
 public:
  // The model code 4 controllers have no VBias.
  explicit CBlock1Page15(bool model4);
  std::string Title() const override { return "Larch"; }
};

}  // namespace kx7
