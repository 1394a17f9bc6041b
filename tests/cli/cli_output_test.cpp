// What kx7cli prints: replies, the report of find and identify, and JSON.
#include "cli_output.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kx7::cli {
namespace {

TEST(CliOutput, ShowsRepliesWithoutSohAndTheClosingCr) {
  struct Case {
    std::vector<std::uint8_t> reply;
    const char* shown;
  };
  const Case cases[] = {
      {{0x01, '0', 0x0D}, "0"},
      {{}, ""},
      {{0x0D}, ""},
      {{'Z'}, "Z"},
      {{0x01, 'A', 0x07, 'B', 0x0D}, "A<07>B"},
      // Only the CR that ends the reply goes.
      {{0x01, 'A', 0x0D, 0x0D}, "A<0D>"},
      {{0x01, 0x7F, 0x80, 0xFF, 0x0D}, "<7F><80><FF>"},
      {{0x01, 'x', 0x01, 'y', 0x0D}, "xy"},
  };
  for (const Case& c : cases) EXPECT_EQ(ShowableReply(c.reply), c.shown);
}

std::string Dumped(const Json& json) {
  std::ostringstream out;
  PrintJson(out, json);
  return out.str();
}

TEST(CliOutput, JsonTextsStayAsciiWithEachByteTheCharacterOfItsNumber) {
  struct Case {
    std::string bytes;
    const char* printed;
  };
  const Case cases[] = {
      {"", "\"\"\n"},
      {"COM1,9600,N,8,1", "\"COM1,9600,N,8,1\"\n"},
      {"a\"b\\c", "\"a\\\"b\\\\c\"\n"},
      {std::string("\x01\r\n\x1F", 4), "\"\\u0001\\r\\n\\u001f\"\n"},
      {std::string(1, '\0'), "\"\\u0000\"\n"},
      // Bytes above 7F are not UTF-8 from a controller: each is the character of its number.
      {"\xE9\xFF\x80", "\"\\u00e9\\u00ff\\u0080\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Dumped(JsonText(c.bytes)), c.printed) << c.printed;
}

ControllerReport SampleReport() {
  ControllerReport report;
  report.info = {"OI:   WZ0401", "UV: ", "UT: B4\r", "NM: Cedar", "COM1,9600,N,8,1", "Found", "", "Cedar GEN4"};
  report.linkKind = 1;
  report.portSettings = "9600,N,8,1";
  report.controllerType = 32882;
  report.typeName = "Cedar GEN4";
  report.controllerFeatures = 0x1000;
  report.penMode = 32853;
  report.multiTouchMode = 2;
  return report;
}

TEST(CliOutput, ReportTextHasOneLineForEachInfoLineThenTheState) {
  EXPECT_EQ(ReportText(SampleReport()),
            "OI:   WZ0401\n"
            "UV: \n"
            "UT: B4<0D>\n"
            "NM: Cedar\n"
            "COM1,9600,N,8,1\n"
            "Found\n"
            "\n"
            "Cedar GEN4\n"
            "LinkKind: 1\n"
            "PortSettings: 9600,N,8,1\n"
            "ControllerType: 32882 Cedar GEN4\n"
            "ControllerFeatures: 0x00001000\n");
  ControllerReport unnamed;
  unnamed.controllerType = 32884;
  const std::string text = ReportText(unnamed);
  EXPECT_NE(text.find("\nControllerType: 32884\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nControllerFeatures: 0x00000000\n"), std::string::npos) << text;
}

TEST(CliOutput, ReportJsonIsOneObjectOnOneLine) {
  EXPECT_EQ(Dumped(ReportJson(SampleReport())),
            "{\"LinkKind\":1,\"PortSettings\":\"9600,N,8,1\",\"ControllerType\":32882,\"TypeName\":\"Cedar GEN4\","
            "\"ControllerFeatures\":4096,\"PenMode\":32853,\"MultiTouchMode\":2,\"Info\":{\"OI\":\"OI:   WZ0401\","
            "\"UV\":\"UV: \",\"UT\":\"UT: B4\\r\",\"NM\":\"NM: Cedar\",\"Port\":\"COM1,9600,N,8,1\","
            "\"Status\":\"Found\",\"Errors\":\"\",\"BaseType\":\"Cedar GEN4\"}}\n");
}

TEST(CliOutput, BlockAndReplyJson) {
  EXPECT_EQ(Dumped(BlockJson(1, 'A', "00FF")), "{\"Block\":1,\"Status\":\"A\",\"Hex\":\"00FF\"}\n");
  EXPECT_EQ(Dumped(BlockJson(5, 0, "0001E240")), "{\"Block\":5,\"Status\":\"\",\"Hex\":\"0001E240\"}\n");
  EXPECT_EQ(Dumped(ReplyJson({0x01, '0', 0x0D})), "{\"Reply\":\"0\",\"Bytes\":\"01300D\"}\n");
  EXPECT_EQ(Dumped(ReplyJson({0x01, '"', 0x07, 0x0D})), "{\"Reply\":\"\\\"<07>\",\"Bytes\":\"0122070D\"}\n");
}

}  // namespace
}  // namespace kx7::cli
