// kx7cli image info and image convert, run in-process: what they print for good and refused files,
// the files they write, and srec_cat as the yardstick of the readers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "commands/command_groups.h"

namespace kx7::cli {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

Outcome Execute(const std::vector<std::string>& arguments) {
  std::istringstream in;
  std::ostringstream out, err;
  CliApp cli(in, out, err);
  AddCommandGroups(cli);
  Outcome outcome;
  outcome.exitCode = cli.Execute(arguments);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

class ImageCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kx7-image-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    return (folder_ / name).string();
  }
  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
  }
  fs::path folder_;
};

TEST_F(ImageCommands, InfoSaysWhatAFileHoldsOrWhyItIsRefused) {
  const std::string hex = Write("a.hex", ":0400100001020304E2\r\n:00000001FF\r\n");
  const Outcome loaded = Execute({"image", "info", hex, "--json"});
  EXPECT_EQ(loaded.exitCode, 0) << loaded.err;
  EXPECT_EQ(loaded.out,
            "{\"profile\":\"hex\",\"format\":\"intel-hex\",\"ok\":true,\"count\":4,\"start\":16,\"end\":19,\"length\":20,"
            "\"data_sum\":10,\"image_sum\":4090,"
            "\"sha256\":\"8d197c63f626b5a45f8e0c62808fee83a4b95da3fdb07cbc3891de654023624b\"}\n");
  const Outcome lines = Execute({"image", "info", hex});
  EXPECT_EQ(lines.out,
            "profile: hex\nformat: intel-hex\nok: yes\ncount: 4\nstart: 16\nend: 19\nlength: 20\ndata_sum: 000A\n"
            "image_sum: 0FFA\nsha256: 8d197c63f626b5a45f8e0c62808fee83a4b95da3fdb07cbc3891de654023624b\n");

  struct Case {
    std::string file;
    std::vector<std::string> options;
    int exitCode;
    std::string json;
    std::string err;
  };
  const Case cases[] = {
      {Write("sum.hex", ":0400100001020304E3\r\n"), {}, 5,
       "{\"profile\":\"hex\",\"format\":\"intel-hex\",\"ok\":false,\"error\":\"checksum\",\"message\":\"File Checksum Error\"}\n",
       "KX7SDU: File Checksum Error\n"},
      {Write("text.hex", "hello"), {}, 5,
       "{\"profile\":\"hex\",\"format\":null,\"ok\":false,\"error\":\"format\",\"message\":\"Unknown File Format\"}\n",
       "KX7SDU: Unknown File Format\n"},
      {Write("cut.hex", ":04001000010203"), {}, 5,
       "{\"profile\":\"hex\",\"format\":\"intel-hex\",\"ok\":false,\"error\":\"read\",\"message\":null}\n", ""},
      {Write("s.hex", "S1040000AA51\r\n"), {"--profile", "birch2"}, 5,
       "{\"profile\":\"birch2\",\"format\":null,\"ok\":false,\"error\":\"format\",\"message\":\"Unknown File Format\"}\n",
       "KX7SDU: Unknown File Format\n"},
      {Write("big.bin", std::string(131073, 'x')), {"--profile", "cedar-gen3"}, 5,
       "{\"profile\":\"cedar-gen3\",\"format\":\"binary\",\"ok\":false,\"error\":\"size\",\"message\":null}\n", ""},
      {(folder_ / "missing.hex").string(), {}, 4,
       "{\"profile\":\"hex\",\"format\":null,\"ok\":false,\"error\":\"open\",\"message\":\"Failed to open file!\"}\n",
       "KX7SDU: Failed to open file!\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::string> arguments = {"image", "info", c.file, "--json"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const Outcome outcome = Execute(arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(outcome.out, c.json);
    EXPECT_EQ(outcome.err, c.err);
  }
}

TEST_F(ImageCommands, InfoOfTheProfilesWithTextsOfTheirOwn) {
  const Outcome bin = Execute({"image", "info", Write("code.BIN", "\x01\x02\x03\x04"), "--json"});
  EXPECT_EQ(bin.exitCode, 0);
  EXPECT_EQ(bin.out,
            "{\"profile\":\"bin\",\"format\":\"binary\",\"ok\":true,\"count\":4,\"start\":0,\"end\":3,\"length\":4,"
            "\"data_sum\":10,\"image_sum\":10,"
            "\"sha256\":\"9f64a747e1b97f131fabb6b447296c9b6f0201e79fb3c5356e6c77e89b6a806a\","
            "\"display\":\"Size: 0004\\nFileSum: 000A\"}\n");
  const Outcome cedar = Execute({"image", "info", Write("e.bin", "\x01\x02\x03\x04"), "--profile", "cedar-eeprom", "--json"});
  EXPECT_EQ(cedar.exitCode, 0);
  EXPECT_NE(cedar.out.find("\"fill_offered\":true,\"display\":\"File Size: 4   Sum (if filled to 256MB with FFs): "),
            std::string::npos)
      << cedar.out;

  // A blank 32 K image through the strict reader: its summary says so.
  std::string blank = ":020000020000FC\r\n";
  for (unsigned offset = 0; offset < 0x8000; offset += 16) {
    char head[16];
    std::snprintf(head, sizeof head, ":10%04X00", offset);
    char sum[8];
    std::snprintf(sum, sizeof sum, "%02X\r\n", (0x100 - ((16 + (offset >> 8) + (offset & 0xFF) + 16 * 0xFF) & 0xFF)) & 0xFF);
    blank += head + std::string(32, 'F') + sum;
  }
  blank += ":00000001FF\r\n";
  const Outcome birch2 = Execute({"image", "info", Write("blank.hex", blank), "--profile", "birch2"});
  EXPECT_EQ(birch2.exitCode, 0) << birch2.err;
  EXPECT_NE(birch2.out.find("interface: -\ntarget: ?\n"), std::string::npos) << birch2.out;
  EXPECT_NE(birch2.out.find("summary:\nChecksum = 8000\nHex File Target: unknown\nBlank File\n"), std::string::npos)
      << birch2.out;
}

TEST_F(ImageCommands, ConvertWritesHexOrRawBytesAndNamesAFileInAFolderBySum) {
  const std::string hex = Write("a.hex", ":0400100001020304E2\r\n:00000001FF\r\n");
  const std::string raw = (folder_ / "a.raw").string();
  const Outcome toRaw = Execute({"image", "convert", hex, raw, "--fill", "32"});
  EXPECT_EQ(toRaw.exitCode, 0) << toRaw.err;
  EXPECT_EQ(toRaw.out, raw + "\n");
  EXPECT_EQ(Read(raw), std::string(16, '\xFF') + "\x01\x02\x03\x04" + std::string(12, '\xFF'));

  // A folder: the 32 K hex image, named by the sum of its 32,768 bytes.
  fs::create_directory(folder_ / "out");
  const Outcome toFolder = Execute({"image", "convert", raw, (folder_ / "out").string(), "--profile", "bin"});
  EXPECT_EQ(toFolder.exitCode, 0) << toFolder.err;
  // 32,764 bytes of 0xFF and 1+2+3+4, modulo 65,536.
  const std::string named = (folder_ / "out" / "7C0E.hex").string();
  EXPECT_EQ(toFolder.out, named + "\n");
  const Outcome back = Execute({"image", "info", named, "--profile", "birch2", "--json"});
  EXPECT_EQ(back.exitCode, 0) << back.err;
  EXPECT_NE(back.out.find("\"count\":32768"), std::string::npos) << back.out;

  struct Refusal {
    std::vector<std::string> arguments;
    int exitCode;
    const char* says;
  };
  const Refusal refusals[] = {
      {{"image", "convert", hex, raw, "--fill", "8"}, 5, "KX7SDU: File Size Error\n"},
      {{"image", "convert", Write("big.bin", std::string(40000, 'x')), (folder_ / "x.hex").string()}, 5,
       "longer than the 32,768 bytes"},
      {{"image", "convert", hex, (folder_ / "none" / "x.bin").string()}, 4, "KX7SDU: Failed to open file!\n"},
      {{"image", "convert", hex, raw, "--to", "hex", "--fill", "8"}, 64, "--fill pads raw bytes"},
      {{"image", "info", hex, "--profile", "birch2", "--size", "100"}, 64, "by its own rules"},
      {{"image", "info", hex, "--profile", "bin", "--word"}, 64, "raw bytes"},
      {{"image", "info", hex, "--profile", "hex2"}, 64, "not hex, cedar-gen2"},
      {{"image"}, 64, "needs one of its commands: info, convert"},
  };
  for (const Refusal& refusal : refusals) {
    const Outcome outcome = Execute(refusal.arguments);
    EXPECT_EQ(outcome.exitCode, refusal.exitCode) << refusal.arguments.back();
    EXPECT_NE(outcome.err.find(refusal.says), std::string::npos) << outcome.err;
  }
}

// srec_cat is the yardstick: random Intel hex and S-record files read by both give the same bytes.
TEST_F(ImageCommands, TheReaderAgreesWithSrecCat) {
  if (std::system("command -v srec_cat >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat is not installed";
  std::mt19937 random(7);
  for (int file = 0; file < 8; ++file) {
    const bool srecords = file % 2 == 1;
    std::string text;
    // Records that do not overlap (srec_cat refuses contradicting bytes), with gaps of fill.
    unsigned next = 0;
    for (int record = 0; record < 40; ++record) {
      const unsigned count = random() % 33;
      const unsigned address = next + random() % 1500;
      next = address + count;
      std::vector<unsigned> data(count);
      for (unsigned& byte : data) byte = random() % 256;
      char field[16];
      if (srecords) {
        unsigned sum = count + 3 + (address >> 8) + (address & 0xFF);
        std::snprintf(field, sizeof field, "S1%02X%04X", count + 3, address);
        text += field;
        for (unsigned byte : data) {
          std::snprintf(field, sizeof field, "%02X", byte);
          text += field;
          sum += byte;
        }
        std::snprintf(field, sizeof field, "%02X\n", ~sum & 0xFF);
      } else {
        unsigned sum = count + (address >> 8) + (address & 0xFF);
        std::snprintf(field, sizeof field, ":%02X%04X00", count, address);
        text += field;
        for (unsigned byte : data) {
          std::snprintf(field, sizeof field, "%02X", byte);
          text += field;
          sum += byte;
        }
        std::snprintf(field, sizeof field, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
      }
      text += field;
    }
    text += srecords ? "S9030000FC\n" : ":00000001FF\r\n";
    const std::string input = Write("r" + std::to_string(file) + ".hex", text);
    const std::string ours = (folder_ / "ours.bin").string();
    const Outcome converted = Execute({"image", "convert", input, ours, "--to", "bin", "--fill", "65536"});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    const std::string theirs = (folder_ / "theirs.bin").string();
    const std::string command = "srec_cat '" + input + "' " + (srecords ? "-Motorola" : "-Intel") +
                                " -fill 0xFF 0 0x10000 -o '" + theirs + "' -Binary 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(Read(ours), Read(theirs)) << input;
  }
}

}  // namespace
}  // namespace kx7::cli
