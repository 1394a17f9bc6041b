#include "platform/file_filter.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kx7 {
namespace {

using Filters = std::vector<FileFilter>;

struct ParseCase {
  const char* name;
  std::string filter;
  Filters expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.filter << '"'; }

class ParseFileFilterTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseFileFilterTest, Parses) { EXPECT_EQ(ParseFileFilter(GetParam().filter), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Strings, ParseFileFilterTest,
    ::testing::Values(ParseCase{"Plain",
                                "Log Files (*.log)|*.log|All Files (*.*)|*.*||",
                                {{"Log Files (*.log)", {"*.log"}}, {"All Files (*.*)", {"*.*"}}}},
                      ParseCase{"SeveralPatterns",
                                "Log Files (*.log;*.txt)|*.log*;*.txt|All Files (*.*)|*.*||",
                                {{"Log Files (*.log;*.txt)", {"*.log*", "*.txt"}}, {"All Files (*.*)", {"*.*"}}}},
                      ParseCase{"SpacesAndEmptyPatternsDropped",
                                "Data | *.dat ; ;*.bad |Any|*||",
                                {{"Data", {"*.dat", "*.bad"}}, {"Any", {"*"}}}},
                      ParseCase{"NoTerminatorKeepsCompletePairs",
                                "Hex (*.hex)|*.hex|Bin (*.bin)|*.bin",
                                {{"Hex (*.hex)", {"*.hex"}}, {"Bin (*.bin)", {"*.bin"}}}},
                      ParseCase{"OddPartDropped", "Hex (*.hex)|*.hex|Bin (*.bin)||", {{"Hex (*.hex)", {"*.hex"}}}},
                      ParseCase{"TextAfterTerminatorIgnored", "A|*.a||B|*.b||", {{"A", {"*.a"}}}},
                      ParseCase{"PairWithoutPatternsDropped", "A| ;|B|*.b||", {{"B", {"*.b"}}}},
                      ParseCase{"Empty", "", {}}, ParseCase{"OnlyTerminator", "||", {}}, ParseCase{"Single", "|", {}},
                      ParseCase{"DescriptionOnly", "Log Files", {}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(NameFilters, UseTheRealPatternsAndListFilesWithoutExtension) {
  const Filters filters = ParseFileFilter("Log Files (*.log;*.txt)|*.log*;*.txt|All Files (*.*)|*.*||");
  EXPECT_EQ(NameFilters(filters), (std::vector<std::string>{"Log Files (*.log* *.txt)", "All Files (*)"}));
  EXPECT_EQ(JoinedNameFilters(filters), "Log Files (*.log* *.txt);;All Files (*)");
}

TEST(NameFilters, DescriptionsWithoutPatternListOrWithoutText) {
  EXPECT_EQ(NameFilters({{"Firmware", {"*.hex", "*.s19"}}}), std::vector<std::string>{"Firmware (*.hex *.s19)"});
  EXPECT_EQ(NameFilters({{"Text (UTF-8) files", {"*.txt"}}}), std::vector<std::string>{"Text (UTF-8) files (*.txt)"});
  EXPECT_EQ(NameFilters({{"", {"*.dat"}}}), std::vector<std::string>{"(*.dat)"});
  EXPECT_EQ(NameFilters({{"Nothing", {}}}), std::vector<std::string>{});
  EXPECT_EQ(JoinedNameFilters({}), "");
}

TEST(WithDefaultExtension, AppendsOnlyWhenTheNameHasNone) {
  const struct {
    const char* path;
    const char* extension;
    const char* expected;
  } cases[] = {
      {"/tmp/run", "log", "/tmp/run.log"},
      {"/tmp/run", ".log", "/tmp/run.log"},
      {"/tmp/run.txt", "log", "/tmp/run.txt"},
      {"/tmp/run.", "log", "/tmp/run."},
      {"/tmp.d/run", "log", "/tmp.d/run.log"},  // a dot in the folder is not the file's extension
      {"/tmp/.hidden", "log", "/tmp/.hidden.log"},
      {"run", "dat", "run.dat"},
      {"/tmp/run", "", "/tmp/run"},
      {"/tmp/run", ".", "/tmp/run"},
      {"/tmp/", "log", "/tmp/"},
      {"", "log", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WithDefaultExtension(c.path, c.extension), c.expected) << c.path << " + " << c.extension;
}

TEST(FolderOf, FolderOfTheChosenFile) {
  const struct {
    std::string path;
    std::string expected;
  } cases[] = {
      {"/home/op/logs/run.log", "/home/op/logs"},
      {"/home/op//run.log", "/home/op"},
      {"/run.log", "/"},
      {"logs/run.log", "logs"},
      {"run.log", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderOf(c.path), c.expected) << c.path;
}

TEST(FolderOf, FoldersThatDoNotFitTheSettingAreNotRecorded) {
  const std::string fits = "/" + std::string(kMaxFolderLength - 1, 'a');
  ASSERT_EQ(fits.size(), 255u);
  EXPECT_EQ(FolderOf(fits + "/run.log"), fits);
  const std::string tooLong = fits + "b";
  EXPECT_EQ(FolderOf(tooLong + "/run.log"), "");
}

}  // namespace
}  // namespace kx7
