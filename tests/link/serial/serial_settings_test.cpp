#include "link/serial/serial_settings.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "link/serial/port_settings_dialog.h"

namespace kx7 {
namespace {

SerialConfig Config(int baud, SerialParity parity, bool check, int data, int stop) {
  SerialConfig config;
  config.baud = baud;
  config.parity = parity;
  config.parityCheck = check;
  config.dataBits = data;
  config.stopBits = stop;
  config.writeTimeouts = ComputeWriteTimeouts(baud);
  return config;
}

// What a port had before the text is applied, with everything differing from the defaults so
// that a field that is wrongly kept or wrongly reset shows.
// A test name from a settings text: its letters and digits, the rest as underscores.
std::string NameOf(const std::string& text) {
  if (text.empty()) return "Empty";
  std::string name;
  for (char c : text) name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return name;
}

const SerialConfig kPrevious = Config(4800, SerialParity::kOdd, true, 7, 2);

struct SettingsCase {
  const char* text;
  bool accepted;
  SerialConfig expected;  // kPrevious when rejected
  std::uint32_t multiplier;
  std::uint32_t constant;
};

void PrintTo(const SettingsCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class ApplySettingsStringTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(ApplySettingsStringTest, GivesTheLineConfiguration) {
  const SettingsCase& c = GetParam();
  SerialConfig config = kPrevious;
  EXPECT_EQ(ApplySettingsString(c.text, config), c.accepted) << c.text;
  EXPECT_EQ(config, c.expected) << c.text;
  EXPECT_EQ(config.writeTimeouts.multiplierMs, c.multiplier) << c.text;
  EXPECT_EQ(config.writeTimeouts.constantMs, c.constant) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ApplySettingsStringTest,
    ::testing::Values(
        SettingsCase{"19200,e,7,2", true, Config(19200, SerialParity::kEven, true, 7, 2), 1, 100},
        // An unknown letter and stop bits other than 1 and 2 keep what the port had.
        SettingsCase{"9600,X,8,3", true, Config(9600, SerialParity::kOdd, true, 8, 2), 1, 100},
        SettingsCase{"9600,N,8,0", true, Config(9600, SerialParity::kNone, false, 8, 2), 1, 100},
        SettingsCase{"1200,N,8,1", true, Config(1200, SerialParity::kNone, false, 8, 1), 8, 800},
        SettingsCase{"300,N,8,1", true, Config(300, SerialParity::kNone, false, 8, 1), 32, 3200},
        SettingsCase{"4800,o,8,1", true, Config(4800, SerialParity::kOdd, true, 8, 1), 2, 200},
        // 9600 / 6400 = 1.5 rounds up; 9600 / 14400 rounds to 1, and at 115200 the rounded 0
        // becomes the minimum 1.
        SettingsCase{"6400,N,8,1", true, Config(6400, SerialParity::kNone, false, 8, 1), 2, 200},
        SettingsCase{"14400,N,8,1", true, Config(14400, SerialParity::kNone, false, 8, 1), 1, 100},
        SettingsCase{"115200,N,8,1", true, Config(115200, SerialParity::kNone, false, 8, 1), 1, 100},
        SettingsCase{"9600,M,8,1", true, Config(9600, SerialParity::kMark, true, 8, 1), 1, 100},
        SettingsCase{"9600,s,7,1", true, Config(9600, SerialParity::kSpace, true, 7, 1), 1, 100},
        SettingsCase{"57600,N,5,1", true, Config(57600, SerialParity::kNone, false, 5, 1), 1, 100},
        // The empty text is "9600,n,8,1".
        SettingsCase{"", true, Config(9600, SerialParity::kNone, false, 8, 1), 1, 100},
        // What follows the four fields is not looked at.
        SettingsCase{"38400,E,8,1 from the log", true, Config(38400, SerialParity::kEven, true, 8, 1), 1, 100},
        // Texts that cannot describe a line leave the port as it was.
        SettingsCase{"fast", false, kPrevious, 2, 200}, SettingsCase{"9600", false, kPrevious, 2, 200},
        SettingsCase{"9600,N", false, kPrevious, 2, 200}, SettingsCase{"9600,N,8", false, kPrevious, 2, 200},
        SettingsCase{"9600,N,8,", false, kPrevious, 2, 200}, SettingsCase{"9600;N;8;1", false, kPrevious, 2, 200},
        SettingsCase{",N,8,1", false, kPrevious, 2, 200}, SettingsCase{"0,N,8,1", false, kPrevious, 2, 200},
        SettingsCase{"-9600,N,8,1", false, kPrevious, 2, 200}, SettingsCase{"9600,N,9,1", false, kPrevious, 2, 200},
        SettingsCase{"9600,N,4,1", false, kPrevious, 2, 200},
        SettingsCase{"99999999999,N,8,1", false, kPrevious, 2, 200}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return NameOf(info.param.text); });

TEST(ComputeWriteTimeouts, NeverDividesByZero) {
  EXPECT_EQ(ComputeWriteTimeouts(0).multiplierMs, 9600u);
  EXPECT_EQ(ComputeWriteTimeouts(-5).constantMs, 960000u);
  EXPECT_EQ(ComputeWriteTimeouts(9600).TotalMs(4096), 100u + 4096u);
}

TEST(WithFraming, KeepsTheSpeedAndReplacesTheFraming) {
  const std::vector<std::array<const char*, 3>> cases = {
      {"19200,E,7,1", "N,8,1", "19200,N,8,1"}, {"115200,N,8,1", "E,7,2", "115200,E,7,2"}, {"", "N,8,1", "9600,N,8,1"},
      {"38400", "O,8,1", "38400,O,8,1"},       {"9600,", "N,8,2", "9600,N,8,2"},
  };
  for (const auto& [settings, framing, expected] : cases) {
    EXPECT_EQ(WithFraming(settings, framing), expected) << settings << " + " << framing;
  }
}

// The attributes a port is left with must be a raw, flow-control-free line whatever the tty had
// before (a tty starts cooked: echo, line editing, XON/XOFF, CR translation).
TEST(Termios, EncodeMakesARawLineFromACookedOne) {
  TermiosFields fields;
  fields.iflag = ICRNL | IXON | IXOFF | IXANY | BRKINT | ISTRIP | IMAXBEL | INLCR | IGNCR | PARMRK;
  fields.oflag = OPOST | ONLCR;
  fields.lflag = ECHO | ECHOE | ECHOK | ICANON | ISIG | IEXTEN;
  fields.cflag = B38400 | CS7 | CRTSCTS | HUPCL | PARENB;
  fields.vmin = 1;
  fields.vtime = 5;
  EncodeTermios(Config(9600, SerialParity::kNone, false, 8, 1), fields);
  EXPECT_EQ(fields.iflag & (ICRNL | IXON | IXOFF | IXANY | BRKINT | ISTRIP | INLCR | IGNCR | PARMRK | INPCK), 0u);
  EXPECT_EQ(fields.oflag & OPOST, 0u);
  EXPECT_EQ(fields.lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(fields.cflag & (CRTSCTS | PARENB), 0u);
  EXPECT_EQ(fields.cflag & (CREAD | CLOCAL), static_cast<std::uint32_t>(CREAD | CLOCAL));
  EXPECT_EQ(fields.cflag & CBAUD, static_cast<std::uint32_t>(B9600));
  EXPECT_EQ(fields.cflag & CSIZE, static_cast<std::uint32_t>(CS8));
  EXPECT_EQ(fields.vmin, 0);
  EXPECT_EQ(fields.vtime, 0);
}

struct TermiosCase {
  const char* name;
  SerialConfig config;
  std::uint32_t speedCode;
  std::uint32_t frameBits;  // CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
  bool inputCheck;
};

void PrintTo(const TermiosCase& c, std::ostream* out) { *out << c.name; }

class TermiosTest : public ::testing::TestWithParam<TermiosCase> {};

TEST_P(TermiosTest, EncodesTheFramingAndDecodesItBack) {
  const TermiosCase& c = GetParam();
  TermiosFields fields;
  // Leftover speed and framing bits of the previous setting must not survive.
  fields.cflag = B4000000 | CS5 | PARENB | PARODD | CMSPAR | CSTOPB | (B50 << IBSHIFT);
  fields.iflag = INPCK;
  EncodeTermios(c.config, fields);
  EXPECT_EQ(fields.cflag & CBAUD, c.speedCode);
  EXPECT_EQ(fields.cflag & CIBAUD, 0u);
  EXPECT_EQ(fields.cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.frameBits);
  EXPECT_EQ((fields.iflag & INPCK) != 0, c.inputCheck);
  const auto decoded = DecodeTermios(fields);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, c.config);
}

INSTANTIATE_TEST_SUITE_P(
    Framings, TermiosTest,
    ::testing::Values(
        TermiosCase{"N81_9600", Config(9600, SerialParity::kNone, false, 8, 1), B9600, CS8, false},
        TermiosCase{"E72_19200", Config(19200, SerialParity::kEven, true, 7, 2), B19200, CS7 | PARENB | CSTOPB, true},
        TermiosCase{"O81_115200", Config(115200, SerialParity::kOdd, true, 8, 1), B115200, CS8 | PARENB | PARODD, true},
        TermiosCase{"M71_300", Config(300, SerialParity::kMark, true, 7, 1), B300, CS7 | PARENB | CMSPAR | PARODD,
                    true},
        TermiosCase{"S61_1200", Config(1200, SerialParity::kSpace, true, 6, 1), B1200, CS6 | PARENB | CMSPAR, true},
        // Parity generated but not checked: the bit goes out, errors are not looked for.
        TermiosCase{"E52_2400_Unchecked", Config(2400, SerialParity::kEven, false, 5, 2), B2400, CS5 | PARENB | CSTOPB,
                    false},
        // The two rates of the dialog without a speed code of their own.
        TermiosCase{"N81_28800", Config(28800, SerialParity::kNone, false, 8, 1), BOTHER, CS8, false},
        TermiosCase{"N82_56000", Config(56000, SerialParity::kNone, false, 8, 2), BOTHER, CS8 | CSTOPB, false}),
    [](const ::testing::TestParamInfo<TermiosCase>& info) { return std::string(info.param.name); });

TEST(Termios, FreeRatesCarryTheirNumber) {
  TermiosFields fields;
  EncodeTermios(Config(28800, SerialParity::kNone, false, 8, 1), fields);
  EXPECT_EQ(fields.ospeed, 28800u);
  EXPECT_EQ(fields.ispeed, 28800u);
}

TEST(Termios, UnknownSpeedCodeDecodesToNothing) {
  TermiosFields fields;
  fields.cflag = B0 | CS8;
  EXPECT_FALSE(DecodeTermios(fields).has_value());
}

// --- "Port Settings" dialog ---------------------------------------------------------------

using Parity = PortSettingsDialogModel::Parity;

struct DialogCase {
  const char* settings;
  int baud;
  Parity parity;
  int dataBits;
  int stopBits;
  const char* built;  // what OK writes without a change
};

void PrintTo(const DialogCase& c, std::ostream* out) { *out << '"' << c.settings << '"'; }

class PortSettingsDialogTest : public ::testing::TestWithParam<DialogCase> {};

TEST_P(PortSettingsDialogTest, ShowsTheSettingsAndWritesThemBack) {
  const DialogCase& c = GetParam();
  std::vector<std::string> applied;
  PortSettingsDialogModel model(c.settings, true, false, [&](const std::string& text, bool rts, bool dtr) {
    applied.push_back(text);
    EXPECT_TRUE(rts);
    EXPECT_FALSE(dtr);
  });
  ASSERT_GE(model.baudIndex, 0);
  ASSERT_LT(model.baudIndex, static_cast<int>(PortSettingsDialogModel::kBaudRates.size()));
  EXPECT_EQ(PortSettingsDialogModel::kBaudRates[static_cast<std::size_t>(model.baudIndex)], c.baud);
  EXPECT_EQ(model.parity, c.parity);
  EXPECT_EQ(model.dataBits, c.dataBits);
  EXPECT_EQ(model.stopBits, c.stopBits);
  EXPECT_TRUE(model.rts);
  EXPECT_FALSE(model.dtr);
  EXPECT_TRUE(model.OnOk());
  ASSERT_EQ(applied.size(), 1u);
  EXPECT_EQ(applied[0], c.built);
}

INSTANTIATE_TEST_SUITE_P(Settings, PortSettingsDialogTest,
                         ::testing::Values(DialogCase{"", 9600, Parity::kNone, 8, 1, "9600,N,8,1"},
                                           DialogCase{"19200,e,7,2", 19200, Parity::kEven, 7, 2, "19200,E,7,2"},
                                           DialogCase{"115200,O,8,1", 115200, Parity::kOdd, 8, 1, "115200,O,8,1"},
                                           DialogCase{"300,n,7,1", 300, Parity::kNone, 7, 1, "300,N,7,1"},
                                           DialogCase{"56000,E,8,2", 56000, Parity::kEven, 8, 2, "56000,E,8,2"},
                                           // A rate without a button shows 9600.
                                           DialogCase{"12345,E,7,1", 9600, Parity::kEven, 7, 1, "9600,E,7,1"},
                                           DialogCase{"abc,O,7,2", 9600, Parity::kOdd, 7, 2, "9600,O,7,2"},
                                           DialogCase{"99999999999999,E,7,2", 9600, Parity::kEven, 7, 2, "9600,E,7,2"},
                                           // Mark and space have no button; they show as None.
                                           DialogCase{"28800,M,8,1", 28800, Parity::kNone, 8, 1, "28800,N,8,1"},
                                           DialogCase{"38400,s,7,1", 38400, Parity::kNone, 7, 1, "38400,N,7,1"},
                                           // Characters out of range fall back to 8 data bits and one stop bit.
                                           DialogCase{"2400,N,9,3", 2400, Parity::kNone, 8, 1, "2400,N,8,1"},
                                           DialogCase{"2400,N,0,0", 2400, Parity::kNone, 8, 1, "2400,N,8,1"},
                                           // Short texts: what is missing keeps its default.
                                           DialogCase{"4800", 4800, Parity::kNone, 8, 1, "4800,N,8,1"},
                                           DialogCase{"4800,E", 4800, Parity::kEven, 8, 1, "4800,E,8,1"},
                                           DialogCase{"4800,E,7", 4800, Parity::kEven, 7, 1, "4800,E,7,1"}),
                         [](const ::testing::TestParamInfo<DialogCase>& info) { return NameOf(info.param.settings); });

TEST(PortSettingsDialog, BuildsFromTheChoicesAndStaysInRange) {
  PortSettingsDialogModel model("9600,N,8,1", false, true, nullptr);
  model.baudIndex = 7;
  model.parity = Parity::kOdd;
  model.dataBits = 7;
  model.stopBits = 2;
  EXPECT_EQ(model.BuildSettings(), "28800,O,7,2");
  // A view that left a choice out of range still gives a line the port can take.
  model.baudIndex = 12;
  model.dataBits = 3;
  model.stopBits = 0;
  EXPECT_EQ(model.BuildSettings(), "9600,O,8,1");
  model.baudIndex = -1;
  EXPECT_EQ(model.BuildSettings(), "9600,O,8,1");
  EXPECT_TRUE(model.OnOk());  // no apply function: nothing to call
}

}  // namespace
}  // namespace kx7
