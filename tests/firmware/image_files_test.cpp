// The file list behind "<" and ">", and the .out conversion through the outside converter.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "firmware/image_file_list.h"
#include "firmware/out_file_converter.h"
#include "support/temp_folder.h"

namespace kx7::firmware {
namespace {

namespace fs = std::filesystem;

using kx7::testing::TemporaryFolder;

TEST(ImageFileList, StepsThroughTheFilesOfTheChosenKindInNameOrder) {
  TemporaryFolder folder;
  for (const char* name : {"b.hex", "A.HEX", "c.hex", "notes.txt", "d.bin"}) folder.Write(name, "x");
  fs::create_directory(folder.Path() / "sub.hex");
  ImageFileList list;
  list.Choose((folder.Path() / "b.hex").string());
  EXPECT_EQ(list.Names(), (std::vector<std::string>{"A.HEX", "b.hex", "c.hex"}));
  EXPECT_EQ(list.Current(), (folder.Path() / "b.hex").string());
  EXPECT_EQ(list.Previous(), (folder.Path() / "A.HEX").string());
  EXPECT_FALSE(list.Previous());
  EXPECT_EQ(list.Current(), (folder.Path() / "A.HEX").string());
  EXPECT_EQ(list.Next(), (folder.Path() / "b.hex").string());
  EXPECT_EQ(list.Next(), (folder.Path() / "c.hex").string());
  EXPECT_FALSE(list.Next());
  EXPECT_EQ(list.Current(), (folder.Path() / "c.hex").string());
}

TEST(OutFileConverter, TheCommandFileNamesTheOutputByItsBaseNameOnly) {
  struct Case {
    const char* text;
    const char* name;  // nullptr: none
  };
  const Case cases[] = {
      {"-m map.txt\n-o quill.hex\n", "quill.hex"},
      {"  -o  \"quill.hex\" -x\r\n", "quill.hex"},
      {"-o ../../etc/evil.hex\n", "evil.hex"},
      {"-o /tmp/out.hex\n", "out.hex"},
      {"-o quill.bin\n", nullptr},
      {".hex -o x\n", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> name = OutputNameOfCommandFile(c.text);
    EXPECT_EQ(name.value_or("(none)"), c.name == nullptr ? "(none)" : c.name) << c.text;
  }
  EXPECT_TRUE(IsOutFile("code.out"));
  EXPECT_TRUE(IsOutFile("CODE.OUT"));
  EXPECT_FALSE(IsOutFile("code.hex"));
}

TEST(OutFileConverter, RunsTheConverterInItsFolderAndBringsTheHexFileBack) {
  TemporaryFolder program, data;
  const fs::path out = data.Write("code.out", "binary");
  data.Write("adc_hex.cmd", "-o code.hex\n");
  OutFileConverter converter(program.Path().string(), nullptr, 5000);

  // No converter: the message names the folders.
  OutConversion missing = converter.Convert(out.string());
  EXPECT_FALSE(missing.hexPath);
  EXPECT_EQ(missing.message, "Error finding path to outconv.exe from\n" + (program.Path() / "extra").string() + "\n" +
                                 program.Path().string());

  // The converter gets the command file's name as its one argument and runs in its own folder.
  const fs::path script = program.Write("extra/outconv.exe",
                                        "#!/bin/sh\n[ -f \"$1\" ] && [ -f code.out ] && printf ':00000001FF\\r\\n' > code.hex\n");
  fs::permissions(script, fs::perms::owner_all);
  OutConversion converted = converter.Convert(out.string());
  ASSERT_TRUE(converted.hexPath) << converted.message;
  EXPECT_EQ(*converted.hexPath, (data.Path() / "code.hex").string());
  std::ifstream hex(*converted.hexPath);
  std::string line;
  std::getline(hex, line);
  EXPECT_EQ(line, ":00000001FF\r");

  // A converter that fails, and one that never ends.
  program.Write("extra/outconv.exe", "#!/bin/sh\nexit 3\n");
  EXPECT_EQ(converter.Convert(out.string()).message, "Error executing outconv.exe");
  program.Write("extra/outconv.exe", "#!/bin/sh\nsleep 60\n");
  OutFileConverter impatient(program.Path().string(), nullptr, 200);
  EXPECT_EQ(impatient.Convert(out.string()).message, "Error executing outconv.exe");

  // Without a command file beside it the user is asked; cancelling fails without a message.
  fs::remove(data.Path() / "adc_hex.cmd");
  int asked = 0;
  OutFileConverter asking(program.Path().string(), [&asked] {
    ++asked;
    return std::optional<std::string>();
  });
  const OutConversion cancelled = asking.Convert(out.string());
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(cancelled.hexPath);
  EXPECT_EQ(cancelled.message, "");
}

}  // namespace
}  // namespace kx7::firmware
