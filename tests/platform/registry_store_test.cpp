#include "platform/registry_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace kx7 {
namespace {

namespace fs = std::filesystem;

using Entries = std::vector<std::pair<std::string, RegistryValue>>;

const std::string kPortKey = "System\\CurrentControlSet\\Services\\KxsTch\\Parameters\\0000";
const std::string kPortName = RegistryKey(kPortKey, "PortName");
const std::string kBaudrate = RegistryKey(kPortKey, "Baudrate");
const std::string kInstalled = "System\\CurrentControlSet\\Services\\KxsTch\\Parameters\\TSInstalled";

class RegistryFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kx7-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }

  fs::path File() const { return root_ / "config" / "kx7sdu" / "registry.txt"; }

  static void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
};

TEST(RegistryKey, JoinsPathAndValueName) {
  EXPECT_EQ(RegistryKey("A\\B", "PortName"), "A\\B\\PortName");
  EXPECT_EQ(RegistryKey("A\\B\\", "PortName"), "A\\B\\PortName");
  EXPECT_EQ(RegistryKey("", "PortName"), "PortName");
}

TEST(DefaultRegistryPath, FollowsTheConfigFolderConvention) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* expected;
  };
  for (const Case& c :
       {Case{"/x/config", "/home/u", "/x/config/kx7sdu/registry.txt"},
        Case{nullptr, "/home/u", "/home/u/.config/kx7sdu/registry.txt"},
        Case{"", "/home/u", "/home/u/.config/kx7sdu/registry.txt"},
        Case{"relative/config", "/home/u", "/home/u/.config/kx7sdu/registry.txt"},
        Case{"/x", nullptr, "/x/kx7sdu/registry.txt"}, Case{nullptr, nullptr, ".config/kx7sdu/registry.txt"},
        Case{nullptr, "", ".config/kx7sdu/registry.txt"}}) {
    EXPECT_EQ(DefaultRegistryPath(c.xdg, c.home), fs::path(c.expected))
        << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

TEST(RegistryEscaping, EscapesWhatWouldBreakALineAndNothingElse) {
  struct Case {
    std::string plain;
    std::string escaped;
  };
  for (const Case& c :
       {Case{"", ""}, Case{"COM3", "COM3"}, Case{"System\\CurrentControlSet\\0000", "System\\CurrentControlSet\\0000"},
        Case{"a=b", "a%3Db"}, Case{"100%", "100%25"}, Case{"line\nnext", "line%0Anext"}, Case{"cr\r", "cr%0D"},
        Case{"tab\t", "tab%09"}, Case{std::string("nul\0x", 5), "nul%00x"}, Case{"\x7f", "%7F"},
        Case{"#note", "%23note"}, Case{"a#b", "a#b"}, Case{"type:colon", "type:colon"},
        Case{"caf\xc3\xa9 ", "caf\xc3\xa9 "}}) {
    EXPECT_EQ(EscapeRegistryText(c.plain), c.escaped) << c.plain;
    EXPECT_EQ(UnescapeRegistryText(c.escaped), c.plain) << c.escaped;
  }
  // Lower-case digits and a raw '=' read too.
  EXPECT_EQ(UnescapeRegistryText("%3d%0a="), "=\n=");
  for (const char* broken : {"%", "%4", "abc%", "%G0", "%0G", "%%41"}) {
    EXPECT_EQ(UnescapeRegistryText(broken), std::nullopt) << broken;
  }
}

TEST(RegistryStoreValues, GetSetRemoveByKeyWithoutRegardToCase) {
  RegistryStore store("/nonexistent/registry.txt");
  EXPECT_EQ(store.Get(kPortName), std::nullopt);
  EXPECT_TRUE(store.SetString(kPortName, "COM3"));
  EXPECT_TRUE(store.SetDword(kBaudrate, 9600));
  EXPECT_FALSE(store.SetString("", "nothing"));

  EXPECT_EQ(store.GetString(kPortName), "COM3");
  EXPECT_EQ(store.GetDword(kBaudrate), 9600u);
  EXPECT_EQ(store.Get(kBaudrate), RegistryValue(std::uint32_t{9600}));
  // The other kind of value reads as nothing.
  EXPECT_EQ(store.GetDword(kPortName), std::nullopt);
  EXPECT_EQ(store.GetString(kBaudrate), std::nullopt);

  const std::string shouting = "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\KXSTCH\\PARAMETERS\\0000\\PORTNAME";
  EXPECT_EQ(store.GetString(shouting), "COM3");
  EXPECT_TRUE(store.SetDword(shouting, 4));  // a value may change its kind
  EXPECT_EQ(store.GetDword(kPortName), 4u);
  EXPECT_EQ(store.Entries(), (Entries{{kBaudrate, std::uint32_t{9600}}, {kPortName, std::uint32_t{4}}}));

  EXPECT_TRUE(store.Remove(shouting));
  EXPECT_FALSE(store.Remove(kPortName));
  EXPECT_EQ(store.Get(kPortName), std::nullopt);
  store.Clear();
  EXPECT_TRUE(store.Entries().empty());
}

TEST(RegistryStoreText, SerializesOneLineAValueInKeyOrder) {
  RegistryStore store("/nonexistent/registry.txt");
  store.SetString(kPortName, "COM3");
  store.SetDword(kBaudrate, 115200);
  store.SetDword(kInstalled, 4294967295u);
  store.SetString("Odd\\Key=With\nBreak", "a=b\r\n100%");
  EXPECT_EQ(store.Serialize(),
            "# kx7sdu: the touch drivers' registry values, one key=type:value a line\n"
            "Odd\\Key%3DWith%0ABreak=string:a%3Db%0D%0A100%25\n"
            "System\\CurrentControlSet\\Services\\KxsTch\\Parameters\\0000\\Baudrate=dword:115200\n"
            "System\\CurrentControlSet\\Services\\KxsTch\\Parameters\\0000\\PortName=string:COM3\n"
            "System\\CurrentControlSet\\Services\\KxsTch\\Parameters\\TSInstalled=dword:4294967295\n");
}

struct ParseCase {
  const char* name;
  std::string text;
  Entries expected;
  std::size_t skipped;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class RegistryParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegistryParseTest, KeepsTheGoodLines) {
  RegistryStore store("/nonexistent/registry.txt");
  store.SetString("Left\\Over", "from before");
  EXPECT_EQ(store.Parse(GetParam().text), GetParam().skipped);
  EXPECT_EQ(store.SkippedLines(), GetParam().skipped);
  EXPECT_EQ(store.Entries(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RegistryParseTest,
    ::testing::Values(
        ParseCase{"Empty", "", {}, 0}, ParseCase{"NotesAndBlankLines", "# note\n\n#k=string:v\n\r\n", {}, 0},
        ParseCase{"StringAndDword",
                  "K\\PortName=string:COM7\nK\\Baudrate=dword:9600\n",
                  {{"K\\Baudrate", std::uint32_t{9600}}, {"K\\PortName", std::string("COM7")}},
                  0},
        ParseCase{"NoFinalLineEnd", "K=string:v", {{"K", std::string("v")}}, 0},
        ParseCase{"CrLfLines", "A=string:x\r\nB=dword:1\r\n", {{"A", std::string("x")}, {"B", std::uint32_t{1}}}, 0},
        ParseCase{"TypeWithoutRegardToCase",
                  "A=STRING:x\nB=DWord:2\n",
                  {{"A", std::string("x")}, {"B", std::uint32_t{2}}},
                  0},
        ParseCase{"EmptyStringValue", "A=string:\n", {{"A", std::string()}}, 0},
        ParseCase{"RawEqualsAndColonInValue", "A=string:x=y:z\n", {{"A", std::string("x=y:z")}}, 0},
        ParseCase{"EscapedKeyAndValue", "%23A%3D=string:%0A\n", {{"#A=", std::string("\n")}}, 0},
        ParseCase{"HexadecimalDword",
                  "A=dword:0x1C200\nB=dword:0XffffFFFF\n",
                  {{"A", std::uint32_t{115200}}, {"B", std::uint32_t{0xFFFFFFFF}}},
                  0},
        ParseCase{"LastOfRepeatedKeysWinsFirstSpellingStays",
                  "Port=string:COM1\nPORT=string:COM2\n",
                  {{"Port", std::string("COM2")}},
                  0},
        ParseCase{"DamagedLinesSkipped",
                  "good=string:1\n"
                  "no equals sign\n"
                  "=string:empty key\n"
                  "a=nocolon\n"
                  "b=binary:00\n"
                  "c=dword:\n"
                  "d=dword:-1\n"
                  "e=dword:4294967296\n"
                  "f=dword:12x\n"
                  "g=dword: 5\n"
                  "h=dword:0x\n"
                  "i=string:broken%4\n"
                  "j%zz=string:broken key\n"
                  "k =string:spaced key is a key\n"
                  "also=dword:7\n",
                  {{"also", std::uint32_t{7}}, {"good", std::string("1")}, {"k ", std::string("spaced key is a key")}},
                  12},
        ParseCase{"BytesOfAnotherFile", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), {}, 3}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST_F(RegistryFolder, SavedValuesLoadBackUnchanged) {
  RegistryStore store(File());
  store.SetString(kPortName, "COM3");
  store.SetDword(kBaudrate, 9600);
  store.SetDword(kInstalled, 0);
  store.SetString("Key with = and\nbreak", std::string("value\r\n%=\0end", 12));
  ASSERT_TRUE(store.Save());  // makes the missing folders

  RegistryStore loaded(File());
  EXPECT_EQ(loaded.Load(), RegistryLoadResult::kLoaded);
  EXPECT_EQ(loaded.SkippedLines(), 0u);
  EXPECT_EQ(loaded.Entries(), store.Entries());
  EXPECT_EQ(loaded.Serialize(), Read(File()));
}

TEST_F(RegistryFolder, LoadingADamagedFileKeepsTheGoodValuesAndTheSaveHealsIt) {
  Write(File(), "K\\PortName=string:COM4\ngarbage\nK\\Baudrate=dword:oops\nK\\TSInstalled=dword:2");
  RegistryStore store(File());
  EXPECT_EQ(store.Load(), RegistryLoadResult::kLoaded);
  EXPECT_EQ(store.SkippedLines(), 2u);
  EXPECT_EQ(store.Entries(), (Entries{{"K\\PortName", std::string("COM4")}, {"K\\TSInstalled", std::uint32_t{2}}}));

  ASSERT_TRUE(store.Save());
  RegistryStore again(File());
  EXPECT_EQ(again.Load(), RegistryLoadResult::kLoaded);
  EXPECT_EQ(again.SkippedLines(), 0u);
  EXPECT_EQ(again.Entries(), store.Entries());
}

TEST_F(RegistryFolder, MissingOrUnreadableFileLeavesTheStoreEmpty) {
  RegistryStore store(File());
  store.SetString("stale", "value");
  EXPECT_EQ(store.Load(), RegistryLoadResult::kMissing);
  EXPECT_TRUE(store.Entries().empty());

  fs::create_directories(File());  // a folder under the file's name
  store.SetString("stale", "value");
  EXPECT_EQ(store.Load(), RegistryLoadResult::kUnreadable);
  EXPECT_TRUE(store.Entries().empty());
}

TEST_F(RegistryFolder, SaveLeavesNoTemporaryBehind) {
  RegistryStore store(File());
  store.SetString(kPortName, "COM3");
  ASSERT_TRUE(store.Save());
  store.SetDword(kBaudrate, 115200);
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(Names(File().parent_path()), std::vector<std::string>{"registry.txt"});
  EXPECT_EQ(Read(File()), store.Serialize());
}

TEST_F(RegistryFolder, FailedSaveLeavesNoTemporaryAndTheOldFileAlone) {
  // A folder in the file's place cannot be renamed over.
  fs::create_directories(File() / "inside");
  RegistryStore store(File());
  store.SetString(kPortName, "COM3");
  EXPECT_FALSE(store.Save());
  EXPECT_EQ(Names(File().parent_path()), std::vector<std::string>{"registry.txt"});
  EXPECT_TRUE(fs::is_directory(File() / "inside"));

  // A file in the folder's place.
  Write(root_ / "blocked", "x");
  RegistryStore blocked(root_ / "blocked" / "kx7sdu" / "registry.txt");
  blocked.SetString(kPortName, "COM3");
  EXPECT_FALSE(blocked.Save());
  EXPECT_EQ(Read(root_ / "blocked"), "x");
}

TEST_F(RegistryFolder, FailedSaveInAReadOnlyFolderKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  Write(File(), "K=string:old\n");
  fs::permissions(File().parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
  RegistryStore store(File());
  store.SetString("K", "new");
  EXPECT_FALSE(store.Save());
  fs::permissions(File().parent_path(), fs::perms::owner_all);
  EXPECT_EQ(Read(File()), "K=string:old\n");
  EXPECT_EQ(Names(File().parent_path()), std::vector<std::string>{"registry.txt"});
}

TEST_F(RegistryFolder, SaveKeepsTheFilesPermissionsAndWritesThroughALink) {
  Write(File(), "K=string:old\n");
  fs::permissions(File(), fs::perms::owner_read | fs::perms::owner_write);
  const fs::path link = root_ / "link.txt";
  fs::create_symlink(File(), link);

  RegistryStore store(link);
  EXPECT_EQ(store.Load(), RegistryLoadResult::kLoaded);
  store.SetString("K", "new");
  ASSERT_TRUE(store.Save());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Read(File()), store.Serialize());
  EXPECT_EQ(fs::status(File()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace kx7
