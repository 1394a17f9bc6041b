// Each family must be identified as itself by a host that asks "OI", "UV", "UT", "OS", "NM",
// "-OI" and, for Cedar, the option word. The host's decision list is written out here on its own,
// from what the host does with the replies, so the emulator's defaults are checked against it
// rather than against themselves.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controller_test_support.h"
#include "emulator/controller.h"
#include "emulator/family_profile.h"

namespace kx7::emu {
namespace {

using testing::Command;
using testing::Reply;

// The replies as the host keeps them: a reply of the wrong length becomes 20 zero bytes.
struct StoredReplies {
  std::string oi, uv, ut, os, nm, minusOi, option;
};

std::string Keep(const std::string& reply, std::size_t exactLength) {
  return reply.size() == exactLength ? reply : std::string(20, '\0');
}

StoredReplies Ask(EmulatedDevice& device, const std::string& optionCommand) {
  StoredReplies r;
  std::uint64_t now = 1000;
  r.oi = Keep(Command(device, "OI", now += 10), 8);
  r.uv = Keep(Command(device, "UV", now += 10), 10);
  r.ut = Keep(Command(device, "UT", now += 10), 10);
  r.os = Command(device, "OS", now += 10);
  r.nm = Command(device, "NM", now += 10);
  r.minusOi = Command(device, "-OI", now += 10);
  if (!optionCommand.empty()) r.option = Command(device, optionCommand, now += 10);
  return r;
}

char At(const std::string& reply, std::size_t k) { return k < reply.size() ? reply[k] : '\0'; }
bool Starts(const std::string& reply, const std::string& text) { return reply.compare(1, text.size(), text) == 0; }

struct Decision {
  int type = 32855;
  std::uint32_t features = 0;
  std::vector<std::string> matchedRules;
};

// The decision list. The rules are tried in their order and a later rule that matches replaces
// what an earlier one decided: that is how an OI "A30630" with UV "QM" comes out as OEM Linden
// and an OI "A305.." with only OS as Hazel2D, although both also pass the Birch test. The
// Aspen4 test is the other branch of the Birch test, or a Birch PEN (type letter "P" with NM
// "BZ") could never be reached.
Decision Decide(const StoredReplies& r) {
  Decision d;
  auto rule = [&](const char* name, bool matches, const std::function<void()>& apply) {
    if (!matches) return;
    d.matchedRules.push_back(name);
    apply();
  };
  const auto& oi = r.oi;
  const auto& uv = r.uv;
  const auto& ut = r.ut;

  rule("birch-rom", ut.size() == 10 && Starts(ut, "MF"), [&] {
    d.type = 32856;
    d.features = 0x10;
    if (At(oi, 6) == '9') d.features |= 0x40;
  });
  const bool birch = (At(oi, 1) == 'A' && (At(oi, 2) == '0' || At(oi, 2) == '3')) || Starts(r.nm, "BZ");
  rule("birch", birch, [&] {
    d.features = 0x10;
    if (At(oi, 1) == 'P') {
      d.type = 32864;
      d.features = 0x14;
    } else {
      d.type = 32861;
      if (r.minusOi.size() == 8 && Starts(r.minusOi, "HA")) d.features |= 0x500;
    }
  });
  rule("aspen4", !birch && At(oi, 1) == 'P', [&] {
    d.type = 32863;
    d.features = 4;
  });
  rule("larch", Starts(oi, "AD") || Starts(oi, "DF"), [&] {
    d.type = 32879;
    d.features = Starts(oi, "DF") ? 0x800 : 0;
  });
  auto cedarOption = [&] {
    if (r.option.size() > 5 && r.option.find('?') == std::string::npos &&
        std::stoul(r.option.substr(1, r.option.size() - 2), nullptr, 16) == 2)
      d.features |= 0x1000;
  };
  rule("cedar", Starts(oi, "OS"), [&] {
    d.features = 0;
    if (At(ut, 1) == 'B') {
      d.type = 32875;
      cedarOption();
    } else {
      d.type = 32872;
    }
  });
  rule("cedar-gen4", Starts(oi, "WZ"), [&] {
    d.type = 32882;
    d.features = 0;
    cedarOption();
  });
  auto letters = [&](const std::string& reply) {
    for (std::size_t k = 3; k <= 6; ++k) {
      if (At(reply, k) == 'P') d.features |= 0x1;
      if (At(reply, k) == 'A') d.features |= 0x2;
      if (At(reply, k) == 'R') d.features |= 0x8;
    }
  };
  auto anyO = [&](const std::string& reply) {
    for (std::size_t k = 3; k <= 6; ++k)
      if (At(reply, k) == 'O') return true;
    return false;
  };
  auto oemDigits = [&](const std::vector<std::string>& patterns) {
    for (const std::string& p : patterns)
      if (oi.compare(2, 5, p) == 0) return true;
    return false;
  };
  rule("linden", At(oi, 1) == 'A' && Starts(uv, "QM"), [&] {
    d.type = anyO(uv) || oemDigits({"30630", "30660", "30670"}) ? 32858 : 32852;
    d.features = 0;
    letters(uv);
  });
  rule("poplar", At(oi, 1) == 'Q' && Starts(ut, "QM"), [&] {
    d.type = anyO(uv) || oemDigits({"10630", "10660", "10670"}) ? 32858 : 32852;
    d.features = 0;
    letters(ut);
  });
  rule("juniper", Starts(oi, "KX") && Starts(ut, "KXR"), [&] {
    d.type = 32857;
    d.features = 8;
  });
  rule("resistive", Starts(oi, "YZ") && Starts(ut, "YZR"), [&] {
    if (At(ut, 4) == '4') {
      d.type = 32868;
      d.features = 0x28;
    } else if (At(ut, 4) == '5') {
      d.type = 32870;
      d.features = 8;
    }
  });
  rule("hazel2d", Starts(oi, "A305") && r.os.size() == 4 && At(ut, 1) == '\0' && At(uv, 1) == '\0', [&] {
    d.type = 32862;
    d.features = 0;
  });
  return d;
}

struct IdentityCase {
  const char* label;
  const char* family;
  std::function<void(ControllerOptions&)> configure;
  int type;
  std::uint32_t features;
};

void PrintTo(const IdentityCase& c, std::ostream* os) { *os << c.label; }

class FamilyIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(FamilyIdentity, RepliesLeadTheHostToTheFamily) {
  const IdentityCase& c = GetParam();
  ControllerOptions options;
  if (c.configure) c.configure(options);
  auto controller = EmulatedController::ForFamily(c.family, options);
  ASSERT_TRUE(controller);
  const int option = controller->Profile().optionParameter;
  const bool readsOption =
      controller->Profile().kind == FamilyKind::kCedarGen3 || controller->Profile().kind == FamilyKind::kCedarGen4;
  const StoredReplies replies = Ask(*controller, readsOption ? "Q" + std::to_string(option) : "");
  const Decision d = Decide(replies);
  EXPECT_EQ(d.type, c.type);
  EXPECT_EQ(d.features, c.features);
}

const IdentityCase kDefaults[] = {
    {"cedar_gen2", "cedar-gen2", nullptr, 32872, 0},
    {"cedar_gen3", "cedar-gen3", nullptr, 32875, 0},
    {"cedar_gen4", "cedar-gen4", nullptr, 32882, 0},
    {"birch", "birch", nullptr, 32861, 0x10},
    {"birch_rom", "birch-rom", nullptr, 32856, 0x10},
    {"birch_pen", "birch-pen", nullptr, 32864, 0x14},
    {"aspen4", "aspen4", nullptr, 32863, 4},
    {"larch", "larch", nullptr, 32879, 0},
    {"larch_mt", "larch-mt", nullptr, 32879, 0x800},
    {"hazel3_linden", "hazel3-linden", nullptr, 32852, 0},
    {"oem_linden", "oem-linden", nullptr, 32858, 0},
    {"hazel3_poplar", "hazel3-poplar", nullptr, 32852, 0},
    {"oem_poplar", "oem-poplar", nullptr, 32858, 0},
    {"juniper", "juniper", nullptr, 32857, 8},
    {"resistive_4wire", "resistive-4wire", nullptr, 32868, 0x28},
    {"resistive_5wire", "resistive-5wire", nullptr, 32870, 8},
    {"hazel2d", "hazel2d", nullptr, 32862, 0},
};
INSTANTIATE_TEST_SUITE_P(Defaults, FamilyIdentity, ::testing::ValuesIn(kDefaults),
                         [](const auto& info) { return std::string(info.param.label); });

const IdentityCase kConfigured[] = {
    {"gen4_multi_contact_mode_2", "cedar-gen4", [](ControllerOptions& o) { o.multiContactMode2 = true; }, 32882,
     0x1000},
    {"gen3_multi_contact_mode_2", "cedar-gen3", [](ControllerOptions& o) { o.multiContactMode2 = true; }, 32875,
     0x1000},
    {"gen2_ignores_multi_contact", "cedar-gen2", [](ControllerOptions& o) { o.multiContactMode2 = true; }, 32872, 0},
    {"birch_haptic", "birch", [](ControllerOptions& o) { o.haptic = true; }, 32861, 0x510},
    {"birch_rom_revc", "birch-rom", [](ControllerOptions& o) { o.identity.oi = "R10109"; }, 32856, 0x50},
    {"linden_quince_apac", "hazel3-linden", [](ControllerOptions& o) { o.boardLetters = "PA"; }, 32852, 0x3},
    {"oem_linden_res", "oem-linden", [](ControllerOptions& o) { o.boardLetters = "OR"; }, 32858, 0x8},
    {"oem_linden_letters_replaced", "oem-linden", [](ControllerOptions& o) { o.boardLetters = "R"; }, 32852, 0x8},
    {"linden_oem_digits", "hazel3-linden", [](ControllerOptions& o) { o.identity.oi = "A30630"; }, 32858, 0},
    {"linden_plain_digits", "hazel3-linden", [](ControllerOptions& o) { o.identity.oi = "A30640"; }, 32852, 0},
    {"poplar_oem_letter", "hazel3-poplar", [](ControllerOptions& o) { o.boardLetters = "O"; }, 32858, 0},
    {"poplar_letters_in_ut", "hazel3-poplar", [](ControllerOptions& o) { o.boardLetters = "PAR"; }, 32852, 0xB},
    {"poplar_oem_digits_version", "hazel3-poplar", [](ControllerOptions& o) { o.firmwareVersion = "0660"; }, 32858, 0},
    {"birch_without_nm", "birch", [](ControllerOptions& o) { o.identity.nm = ""; }, 32861, 0x10},
    {"birch_pen_needs_nm", "birch-pen", [](ControllerOptions& o) { o.identity.nm = "Pen"; }, 32863, 4},
    {"silent_oi_is_generic", "cedar-gen4", [](ControllerOptions& o) { o.identity.oi = ""; }, 32855, 0},
};
INSTANTIATE_TEST_SUITE_P(Configured, FamilyIdentity, ::testing::ValuesIn(kConfigured),
                         [](const auto& info) { return std::string(info.param.label); });

// The defaults pass exactly one test of the list, so any reading of it (first match or last
// match) gives the same family. Hazel2D cannot avoid the Birch test: its OI must begin "A3".
TEST(FamilyIdentityDefaults, PassExactlyOneRuleExceptHazel2d) {
  for (const std::string& name : ControllerFamilyNames()) {
    SCOPED_TRACE(name);
    auto controller = EmulatedController::ForFamily(name);
    ASSERT_TRUE(controller);
    const Decision d = Decide(Ask(*controller, ""));
    if (name == "hazel2d")
      EXPECT_EQ(d.matchedRules, (std::vector<std::string>{"birch", "hazel2d"}));
    else
      EXPECT_EQ(d.matchedRules.size(), 1u) << d.matchedRules.size();
  }
}

TEST(FamilyIdentityDefaults, ProfileNamesTheTypeTheHostArrivesAt) {
  for (const std::string& name : ControllerFamilyNames()) {
    SCOPED_TRACE(name);
    auto controller = EmulatedController::ForFamily(name);
    ASSERT_TRUE(controller);
    const Decision d = Decide(Ask(*controller, ""));
    EXPECT_EQ(d.type, controller->Profile().typeId);
  }
}

// Reply lengths the host insists on, for every identity command a family answers; the others
// are refused, never left unanswered.
TEST(FamilyIdentityDefaults, ReplyLengthsOrRefusal) {
  const std::vector<std::pair<std::string, std::size_t>> commands = {{"OI", 8}, {"UV", 10}, {"UT", 10},
                                                                     {"OS", 4}, {"-OI", 8}, {"GF", 51}};
  for (const std::string& name : ControllerFamilyNames()) {
    auto controller = EmulatedController::ForFamily(name);
    std::uint64_t now = 0;
    for (const auto& [command, length] : commands) {
      SCOPED_TRACE(name + " " + command);
      const std::string reply = Command(*controller, command, now += 5);
      if (reply != testing::kRefusal) {
        EXPECT_EQ(reply.size(), length);
        EXPECT_EQ(reply.front(), '\x01');
        EXPECT_EQ(reply.back(), '\r');
        EXPECT_EQ(reply.find('\r'), reply.size() - 1) << "a CR inside would end the reply early";
      }
    }
    const std::string nm = Command(*controller, "NM", now += 5);
    EXPECT_LE(nm.size(), 100u);
    EXPECT_EQ(nm.find('\r'), nm.size() - 1);
  }
}

TEST(FamilyIdentityDefaults, Hazel2dAnswersOnlyOiAndOs) {
  auto controller = EmulatedController::ForFamily("hazel2d");
  std::uint64_t now = 0;
  EXPECT_EQ(Command(*controller, "OI", now += 5).substr(1, 4), "A305");
  EXPECT_EQ(Command(*controller, "OS", now += 5).size(), 4u);
  for (const char* command : {"UV", "UT", "NM", "-OI", "GF", "ID"})
    EXPECT_EQ(Command(*controller, command, now += 5), testing::kRefusal) << command;
}

TEST(FamilyIdentityOptions, StatusPairAndVersionLandInTheirCharacters) {
  ControllerOptions options;
  options.statusPair = "0A";
  options.firmwareVersion = "0999";
  auto controller = EmulatedController::ForFamily("cedar-gen3", options);
  EXPECT_EQ(Command(*controller, "OI", 1), "\x01OS0999\r");
  EXPECT_EQ(Command(*controller, "UV", 2).substr(7, 2), "0A");
  EXPECT_EQ(Command(*controller, "UT", 3).substr(7, 2), "0A");
}

TEST(FamilyIdentityOptions, TextsAreFittedToTheirReplyLength) {
  ControllerOptions options;
  options.identity.oi = "WZ12345678";
  options.identity.uv = "AB";
  options.identity.gf = "short";
  auto controller = EmulatedController::ForFamily("cedar-gen4", options);
  EXPECT_EQ(Command(*controller, "OI", 1), "\x01WZ1234\r");
  EXPECT_EQ(Command(*controller, "UV", 2), Reply("AB000000"));
  EXPECT_EQ(Command(*controller, "GF", 3).size(), 51u);
}

}  // namespace
}  // namespace kx7::emu
