#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kx7 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The tests build expected bytes from the values in memory.
static_assert(std::endian::native == std::endian::little);

// A writer of our own for expected files, so the record layout is checked against the format
// rather than against the code under test.
struct Expected {
  Bytes bytes;
  Expected& Raw(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return *this;
  }
  Expected& I(int value) { return Raw(&value, 4); }
  Expected& F(float value) { return Raw(&value, 4); }
  Expected& D(double value) { return Raw(&value, 8); }
  Expected& S(const std::string& text) {
    Raw(LengthPrefix(text.size()).data(), LengthPrefix(text.size()).size());
    return Raw(text.data(), text.size());
  }
  Expected& Zeros(std::size_t count) {
    bytes.insert(bytes.end(), count, 0);
    return *this;
  }
  static Bytes LengthPrefix(std::size_t length) {
    if (length < 255) return {static_cast<std::uint8_t>(length)};
    if (length < 65534) return {0xFF, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8)};
    return {0xFF,
            0xFF,
            0xFF,
            static_cast<std::uint8_t>(length),
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 24)};
  }
};

// Every field of the file in file order, with where it lives in the record.
enum class Kind { kInt, kFloat, kDouble, kString, kFolder };
struct Field {
  int number;
  const char* name;
  Kind kind;
  void* (*at)(SettingsFile&);

  const void* In(const SettingsFile& s) const { return at(const_cast<SettingsFile&>(s)); }
  const std::string& Text(const SettingsFile& s) const { return *static_cast<const std::string*>(In(s)); }
  std::size_t ValueSize() const {
    switch (kind) {
      case Kind::kInt:
      case Kind::kFloat:
        return 4;
      case Kind::kDouble:
        return 8;
      case Kind::kFolder:
        return 256;
      case Kind::kString:
        break;
    }
    return 0;
  }
  std::size_t FileSize(const SettingsFile& s) const {
    if (kind != Kind::kString) return ValueSize();
    return Expected::LengthPrefix(Text(s).size()).size() + Text(s).size();
  }
  Bytes Encoded(const SettingsFile& s) const {
    Expected e;
    if (kind == Kind::kString) return e.S(Text(s)).bytes;
    return e.Raw(In(s), ValueSize()).bytes;
  }
  bool Same(const SettingsFile& a, const SettingsFile& b) const {
    if (kind == Kind::kString) return Text(a) == Text(b);
    return std::memcmp(In(a), In(b), ValueSize()) == 0;
  }
};

#define KX7_FIELD(number, kind, member)                                             \
  Field {                                                                           \
    number, #member, Kind::kind, [](SettingsFile& s) -> void* { return &s.member; } \
  }

const std::vector<Field>& FileFields() {
  static const std::vector<Field> fields = {
      KX7_FIELD(1, kInt, SettingsVersion),
      KX7_FIELD(2, kInt, SavedLinkKind),
      KX7_FIELD(3, kInt, ScannerPort),
      KX7_FIELD(4, kString, MainPortSettings),
      KX7_FIELD(5, kString, ScannerPortSettings),
      KX7_FIELD(6, kString, RobotPortSettings),
      KX7_FIELD(7, kInt, Options.ShowGrid),
      KX7_FIELD(8, kInt, Options.Show16ptTargets),
      KX7_FIELD(9, kInt, Options.Show25ptTargets),
      KX7_FIELD(10, kInt, Options.DrawDots),
      KX7_FIELD(11, kInt, Options.ForceCaps),
      KX7_FIELD(12, kInt, Options.FindOnLaunch),
      KX7_FIELD(13, kInt, Options.TrackMouse),
      KX7_FIELD(14, kInt, Options.LoopbackSentChars),
      KX7_FIELD(15, kInt, Options.KeepTerminalWithScope),
      KX7_FIELD(16, kInt, Options.WrapOnCR),
      KX7_FIELD(17, kInt, Options.WrapOnBit7),
      KX7_FIELD(18, kInt, Options.SkipDriverSetup),
      KX7_FIELD(19, kInt, Options.Ext16ptTargets),
      KX7_FIELD(20, kInt, Options.GridMode),
      KX7_FIELD(21, kInt, Options.Theme),
      KX7_FIELD(22, kInt, Options.ExtTargets),
      KX7_FIELD(23, kInt, Options.SuppressCornerOptimization),
      KX7_FIELD(24, kInt, Options.FullDuplex),
      KX7_FIELD(25, kFolder, Options.LastFolder),
      KX7_FIELD(26, kInt, Options.LogLinefeeds),
      KX7_FIELD(27, kInt, Options.ShowCursor),
      KX7_FIELD(28, kDouble, Options.ProveAccuracyPercent),
      KX7_FIELD(29, kInt, Options.TouchMarkerStyle),
      KX7_FIELD(30, kDouble, Options.Reserved30),
      KX7_FIELD(31, kInt, Options.ConfirmOnClose),
      KX7_FIELD(32, kInt, Options.Reserved32),
      KX7_FIELD(33, kInt, Options.Tablet2ptOnToolbar),
      KX7_FIELD(34, kInt, Options.ShowLimitLines),
      KX7_FIELD(35, kDouble, Options.CalEdit1801),
      KX7_FIELD(36, kDouble, Options.CalEdit1800),
      KX7_FIELD(37, kInt, Options.XSineMethod),
      KX7_FIELD(38, kInt, Options.FullBirch2Resolution),
      KX7_FIELD(39, kFloat, Options.CalFloat1824),
      KX7_FIELD(40, kFloat, Options.CalFloat1825),
      KX7_FIELD(41, kDouble, Options.Reserved41),
      KX7_FIELD(42, kDouble, Options.Reserved42),
      KX7_FIELD(43, kDouble, Options.Reserved43),
      KX7_FIELD(44, kDouble, Options.Reserved44),
      KX7_FIELD(45, kInt, Options.LabelPrintMode),
      KX7_FIELD(46, kDouble, Options.Reserved46),
      KX7_FIELD(47, kDouble, Options.Reserved47),
      KX7_FIELD(48, kDouble, Options.Reserved48),
      KX7_FIELD(49, kInt, Options.Reserved49),
      KX7_FIELD(50, kInt, Options.TimeDisplay),
      KX7_FIELD(51, kInt, Options.DrawFlag2399),
      KX7_FIELD(52, kInt, Options.Reserved52),
      KX7_FIELD(53, kInt, Options.PctClear),
      KX7_FIELD(54, kInt, Options.CircleLoop),
      KX7_FIELD(55, kInt, Options.ClassicToolbar),
      KX7_FIELD(56, kInt, Options.ShowTextLabels),
      KX7_FIELD(57, kInt, Options.ScannerToBlock4),
      KX7_FIELD(58, kInt, Options.DevelopmentToolbar),
      KX7_FIELD(59, kInt, Options.AllowNoisySample),
      KX7_FIELD(60, kInt, Options.AsymtekToolbar),
      KX7_FIELD(61, kInt, Options.Reserved61),
      KX7_FIELD(62, kInt, Options.CircleSize),
      KX7_FIELD(63, kInt, Options.CircleSeconds),
      KX7_FIELD(64, kInt, Options.ShowLiftoffsOnly),
      KX7_FIELD(65, kInt, Options.ZLow),
      KX7_FIELD(66, kInt, Options.ZHigh),
      KX7_FIELD(67, kInt, Options.ZMaxSize),
      KX7_FIELD(68, kInt, Options.Reserved68),
      KX7_FIELD(69, kInt, ScopeSettings[0]),
      KX7_FIELD(70, kInt, ScopeSettings[1]),
      KX7_FIELD(71, kInt, ScopeSettings[2]),
      KX7_FIELD(72, kInt, ScopeSettings[3]),
      KX7_FIELD(73, kInt, ScopeSettings[4]),
      KX7_FIELD(74, kInt, ScopeSettings[5]),
      KX7_FIELD(75, kInt, ScopeSettings[6]),
      KX7_FIELD(76, kInt, ScopeSettings[7]),
      KX7_FIELD(77, kInt, Options.DebugRateIndex),
      KX7_FIELD(78, kInt, Options.MultigraphBar),
      KX7_FIELD(79, kInt, Options.NoUsbThread),
      KX7_FIELD(80, kInt, Options.ShowZ),
      KX7_FIELD(81, kInt, Options.Show25Diagonals),
      KX7_FIELD(82, kInt, Options.HapticDemo),
  };
  return fields;
}

#undef KX7_FIELD

std::string Pattern(std::size_t length, unsigned seed) {
  std::string text(length, '\0');
  // All byte values, NUL and 0xFF included: the strings are counted, not terminated.
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>((i * 31 + seed) & 0xFF);
  return text;
}

// A record in which every field differs from its default and from every other field.
SettingsFile EveryFieldChanged() {
  SettingsFile s;
  int index = 0;
  for (const Field& field : FileFields()) {
    ++index;
    void* at = field.at(s);
    switch (field.kind) {
      case Kind::kInt:
        *static_cast<int*>(at) = (index % 2 ? 1000 : -1000) - index * 7;
        break;
      case Kind::kFloat:
        *static_cast<float*>(at) = static_cast<float>(index) + 0.5f;
        break;
      case Kind::kDouble:
        *static_cast<double*>(at) = -static_cast<double>(index) - 0.125;
        break;
      case Kind::kString:
        break;
      case Kind::kFolder:
        break;
    }
  }
  s.SettingsVersion = kSettingsVersion;  // always written as such
  s.MainPortSettings = Pattern(254, 1);
  s.ScannerPortSettings = Pattern(255, 2);
  s.RobotPortSettings = Pattern(300, 3);
  // Bytes after the terminator are part of the 256 the file holds and come back unchanged.
  std::memset(s.Options.LastFolder, 'z', sizeof s.Options.LastFolder);
  std::strcpy(s.Options.LastFolder, "/home/operator/calibration");
  return s;
}

std::string FieldList(const SettingsFile& a, const SettingsFile& b) {
  std::string names;
  for (const Field& field : FileFields()) {
    if (!field.Same(a, b)) names += std::string(field.name) + " ";
  }
  return names;
}

TEST(SettingsFileFormat, DefaultRecordIsTheDocumentedFile) {
  Expected e;
  e.I(106).I(0).I(0).S("9600,N,8,1").S("9600,N,8,1").S("9600,E,7,1");
  e.I(1).I(1).I(1).I(0).I(1);                                // 7 to 11
  e.I(1).I(0);                                               // 12 FindOnLaunch, 13 TrackMouse
  e.I(1).I(0).I(1).I(1).I(1).I(0).I(0).I(0).I(0).I(0).I(0);  // 14 to 24
  e.Zeros(256).I(0).I(0).D(1.09).I(0);                       // 25 to 29
  e.D(0).I(0).I(0).I(0).I(0).D(0).D(1.5).I(0).I(0);          // 30 to 38
  e.F(193.0f).F(469.0f).D(0).D(0).D(0).D(0).I(0);            // 39 to 45
  e.D(0).D(0).D(0).I(0).I(0).I(0).I(0).I(1).I(0).I(0).I(1);  // 46 to 56
  e.I(0).I(0).I(0).I(0).I(0).I(50).I(8).I(0);                // 57 to 64
  e.I(3).I(180).I(9).I(0);                                   // 65 to 68
  e.I(0).I(0).I(0).I(0).I(0).I(0).I(0).I(6);                 // 69 to 76
  e.I(0).I(1).I(0).I(0).I(0).I(0);                           // 77 to 82

  const Bytes file = SerializeSettingsFile(SettingsFile{});
  ASSERT_EQ(file.size(), 645u);
  EXPECT_EQ(file, e.bytes);

  // A few landmarks by offset, as someone with a hex viewer would look for them.
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{106, 0, 0, 0}));
  EXPECT_EQ(file[12], 10);
  EXPECT_EQ(std::string(file.begin() + 13, file.begin() + 23), "9600,N,8,1");
  EXPECT_EQ(file[34], 10);
  EXPECT_EQ(std::string(file.begin() + 35, file.begin() + 45), "9600,E,7,1");
  std::uint64_t prove = 0;
  std::memcpy(&prove, file.data() + 381, 8);
  EXPECT_EQ(prove, std::bit_cast<std::uint64_t>(1.09));
  EXPECT_EQ(Bytes(file.begin() + 617, file.begin() + 621), (Bytes{6, 0, 0, 0}));  // ScopeSettings 8
  EXPECT_EQ(Bytes(file.begin() + 621, file.begin() + 625), (Bytes{0, 0, 0, 0}));  // DebugRateIndex
  EXPECT_EQ(Bytes(file.begin() + 625, file.begin() + 629), (Bytes{1, 0, 0, 0}));  // MultigraphBar
  EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0, 0, 0, 0}));              // HapticDemo

  SettingsFile noStrings;
  noStrings.MainPortSettings.clear();
  noStrings.ScannerPortSettings.clear();
  noStrings.RobotPortSettings.clear();
  // Empty strings still take their one-byte prefixes.
  EXPECT_EQ(SerializeSettingsFile(noStrings).size(), kSettingsFixedBytes + 3);
  EXPECT_EQ(kSettingsFixedBytes, 612u);
}

TEST(SettingsFileFormat, EveryFieldSitsAtItsPlaceInFileOrder) {
  ASSERT_EQ(FileFields().size(), 82u);
  const SettingsFile record = EveryFieldChanged();
  const Bytes file = SerializeSettingsFile(record);

  std::size_t offset = 0;
  for (const Field& field : FileFields()) {
    const Bytes encoded = field.Encoded(record);
    ASSERT_LE(offset + encoded.size(), file.size()) << field.name;
    EXPECT_EQ(Bytes(file.begin() + offset, file.begin() + offset + encoded.size()), encoded)
        << "field " << field.number << " " << field.name << " at " << offset;
    offset += encoded.size();
  }
  EXPECT_EQ(offset, file.size());

  SettingsFile read;
  ASSERT_TRUE(ParseSettingsFile(file, read));
  EXPECT_TRUE(read == record) << FieldList(read, record);
}

TEST(SettingsFileFormat, FindOnLaunchPrecedesTrackMouseOnlyInTheFile) {
  SettingsFile record;
  record.Options.FindOnLaunch = 0x11;
  record.Options.TrackMouse = 0x22;

  int words[kOptionsBlockWords];
  std::memcpy(words, &record.Options, sizeof words);
  EXPECT_EQ(words[5], 0x22);
  EXPECT_EQ(words[6], 0x11);

  // Header 12, strings 33, fields 7 to 11 take 20 bytes.
  const Bytes file = SerializeSettingsFile(record);
  EXPECT_EQ(file[65], 0x11);
  EXPECT_EQ(file[69], 0x22);

  SettingsFile read;
  ASSERT_TRUE(ParseSettingsFile(file, read));
  EXPECT_EQ(read.Options.FindOnLaunch, 0x11);
  EXPECT_EQ(read.Options.TrackMouse, 0x22);
}

TEST(SettingsFileFormat, GapWordsAreNotStored) {
  SettingsFile record;
  record.Options.Gap29 = 77;
  record.Options.Gap45 = 78;
  const Bytes file = SerializeSettingsFile(record);
  EXPECT_EQ(file, SerializeSettingsFile(SettingsFile{}));
  SettingsFile read;
  ASSERT_TRUE(ParseSettingsFile(file, read));
  EXPECT_EQ(read.Options.Gap29, 0);
  EXPECT_EQ(read.Options.Gap45, 0);
}

TEST(SettingsFileFormat, VersionIsAlwaysWrittenAs106AndReadUnchecked) {
  SettingsFile record;
  record.SettingsVersion = 3;
  Bytes file = SerializeSettingsFile(record);
  EXPECT_EQ(file[0], 106);

  file[0] = 55;
  SettingsFile read;
  EXPECT_TRUE(ParseSettingsFile(file, read));
  EXPECT_EQ(read.SettingsVersion, 55);
}

struct StringCase {
  std::size_t length;
  Bytes prefix;
};

class SettingsFileStrings : public ::testing::TestWithParam<StringCase> {};

TEST_P(SettingsFileStrings, LengthPrefixFormAndRoundTrip) {
  const StringCase& c = GetParam();
  SettingsFile record = EveryFieldChanged();
  record.ScannerPortSettings = Pattern(c.length, 7);
  const Bytes file = SerializeSettingsFile(record);

  const std::size_t at = 12 + 1 + record.MainPortSettings.size();
  ASSERT_GE(file.size(), at + c.prefix.size());
  EXPECT_EQ(Bytes(file.begin() + at, file.begin() + at + c.prefix.size()), c.prefix);
  // kSettingsFixedBytes leaves out the three strings with their prefixes.
  EXPECT_EQ(file.size(), kSettingsFixedBytes + 1 + 254 + c.prefix.size() + c.length + 3 + 300);

  SettingsFile read;
  ASSERT_TRUE(ParseSettingsFile(file, read));
  EXPECT_TRUE(read == record) << FieldList(read, record);
}

INSTANTIATE_TEST_SUITE_P(AllPrefixForms, SettingsFileStrings,
                         ::testing::Values(StringCase{0, {0x00}}, StringCase{10, {0x0A}}, StringCase{254, {0xFE}},
                                           StringCase{255, {0xFF, 0xFF, 0x00}}, StringCase{300, {0xFF, 0x2C, 0x01}},
                                           StringCase{65533, {0xFF, 0xFD, 0xFF}},
                                           StringCase{65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
                                           StringCase{70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}}));

// A cut anywhere keeps exactly the fields that were complete before it.
void ExpectEveryCutKeepsCompleteFields(const SettingsFile& source) {
  const Bytes file = SerializeSettingsFile(source);
  const SettingsFile defaults;
  int failures = 0;
  for (std::size_t cut = 0; cut < file.size() && failures < 5; ++cut) {
    SettingsFile read = source;  // the parser must start from the defaults, not from what it is given
    const bool whole = ParseSettingsFile(std::span(file.data(), cut), read);
    std::string wrong;
    std::size_t end = 0;
    for (const Field& field : FileFields()) {
      end += field.FileSize(source);
      const SettingsFile& expected = end <= cut ? source : defaults;
      if (!field.Same(read, expected)) wrong += std::string(field.name) + " ";
    }
    if (read.Options.Gap29 != 0 || read.Options.Gap45 != 0) wrong += "gap words ";
    if (whole || !wrong.empty()) {
      ++failures;
      ADD_FAILURE() << "cut at " << cut << " of " << file.size() << (whole ? ": not reported as damaged " : ": ")
                    << wrong;
    }
  }
}

TEST(SettingsFileDamage, EveryCutOfTheDefaultFile) { ExpectEveryCutKeepsCompleteFields(SettingsFile{}); }

TEST(SettingsFileDamage, EveryCutOfAChangedFile) { ExpectEveryCutKeepsCompleteFields(EveryFieldChanged()); }

TEST(SettingsFileDamage, CutsInsideTheLongestLengthPrefix) {
  SettingsFile source;
  source.SavedLinkKind = 2;
  source.ScannerPort = 5;
  source.MainPortSettings = Pattern(65534, 9);
  const Bytes file = SerializeSettingsFile(source);
  // Offsets 12 to 18 hold the prefix; 19 + 65533 is one byte short of the string.
  for (std::size_t cut : {12u, 13u, 14u, 15u, 16u, 17u, 18u, 19u, 19u + 65533u}) {
    SettingsFile read;
    EXPECT_FALSE(ParseSettingsFile(std::span(file.data(), cut), read)) << cut;
    EXPECT_EQ(read.SavedLinkKind, 2) << cut;
    EXPECT_EQ(read.ScannerPort, 5) << cut;
    EXPECT_EQ(read.MainPortSettings, SettingsFile{}.MainPortSettings) << cut;
  }
  SettingsFile read;
  EXPECT_TRUE(ParseSettingsFile(file, read));
  EXPECT_TRUE(read == source);
}

struct PrefixCase {
  const char* what;
  Bytes prefix;
};

class SettingsFileBadLength : public ::testing::TestWithParam<PrefixCase> {};

// The first string's prefix claims more than the file holds: the ten characters and the whole
// rest of the file are there, but not enough of them.
TEST_P(SettingsFileBadLength, LengthBeyondTheEndIsDamage) {
  SCOPED_TRACE(GetParam().what);
  SettingsFile source = EveryFieldChanged();
  source.MainPortSettings = "9600,N,8,1";
  const Bytes good = SerializeSettingsFile(source);
  Bytes file(good.begin(), good.begin() + 12);
  file.insert(file.end(), GetParam().prefix.begin(), GetParam().prefix.end());
  file.insert(file.end(), good.begin() + 13, good.end());

  SettingsFile read;
  EXPECT_FALSE(ParseSettingsFile(file, read));
  EXPECT_EQ(read.SavedLinkKind, source.SavedLinkKind);
  EXPECT_EQ(read.ScannerPort, source.ScannerPort);
  SettingsFile expected;
  expected.SavedLinkKind = source.SavedLinkKind;
  expected.ScannerPort = source.ScannerPort;
  EXPECT_TRUE(read == expected) << FieldList(read, expected);
}

INSTANTIATE_TEST_SUITE_P(Prefixes, SettingsFileBadLength,
                         ::testing::Values(PrefixCase{"16-bit 4000", {0xFF, 0xA0, 0x0F}},
                                           PrefixCase{"16-bit 65533", {0xFF, 0xFD, 0xFF}},
                                           PrefixCase{"32-bit 65534", {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
                                           PrefixCase{"32-bit largest", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}),
                         [](const ::testing::TestParamInfo<PrefixCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

TEST(SettingsFileDamage, LengthExactlyToTheEndReadsTheStringThenStopsShort) {
  // The last string swallows everything after it: a well-formed string, then nothing left.
  const Bytes good = SerializeSettingsFile(SettingsFile{});
  Bytes file(good.begin(), good.begin() + 34);
  const std::size_t rest = good.size() - 35;
  file.push_back(0xFF);
  file.push_back(static_cast<std::uint8_t>(rest));
  file.push_back(static_cast<std::uint8_t>(rest >> 8));
  file.insert(file.end(), good.begin() + 35, good.end());

  SettingsFile read;
  EXPECT_FALSE(ParseSettingsFile(file, read));
  EXPECT_EQ(read.RobotPortSettings.size(), rest);
  EXPECT_TRUE(read.Options == OptionsBlock{});
}

TEST(SettingsFileFormat, LastFolderWithoutTerminatorIsCutTo255) {
  Bytes file = SerializeSettingsFile(SettingsFile{});
  const std::size_t folderAt = 45 + 18 * 4;
  std::memset(file.data() + folderAt, 'A', 256);
  // The field after the folder must still be read from its own place.
  file[folderAt + 256] = 0x5A;

  SettingsFile read;
  ASSERT_TRUE(ParseSettingsFile(file, read));
  EXPECT_EQ(std::string(read.Options.LastFolder), std::string(255, 'A'));
  EXPECT_EQ(read.Options.LastFolder[255], '\0');
  EXPECT_EQ(read.Options.LogLinefeeds, 0x5A);
}

TEST(SettingsFileFormat, BytesAfterTheLastFieldAreIgnored) {
  const SettingsFile source = EveryFieldChanged();
  Bytes file = SerializeSettingsFile(source);
  file.insert(file.end(), {1, 2, 3, 0xFF, 0xFF});

  SettingsFile read;
  EXPECT_TRUE(ParseSettingsFile(file, read));
  EXPECT_TRUE(read == source) << FieldList(read, source);
}

TEST(SettingsFileFormat, LongerPrefixFormsOfShortLengthsAreRead) {
  // Our writer never uses them, but they say plainly what the length is.
  const Bytes good = SerializeSettingsFile(SettingsFile{});
  for (const Bytes& prefix : {Bytes{0xFF, 0x0A, 0x00}, Bytes{0xFF, 0xFF, 0xFF, 0x0A, 0x00, 0x00, 0x00}}) {
    Bytes file(good.begin(), good.begin() + 12);
    file.insert(file.end(), prefix.begin(), prefix.end());
    file.insert(file.end(), good.begin() + 13, good.end());
    SettingsFile read;
    EXPECT_TRUE(ParseSettingsFile(file, read));
    EXPECT_TRUE(read == SettingsFile{});
  }
}

TEST(SettingsFileFormat, NanInAReservedDoubleSurvivesTheRoundTrip) {
  SettingsFile record;
  record.Options.Reserved43 = std::bit_cast<double>(std::uint64_t{0x7FF8DEADBEEF0001});
  SettingsFile read;
  ASSERT_TRUE(ParseSettingsFile(SerializeSettingsFile(record), read));
  EXPECT_TRUE(read == record);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(read.Options.Reserved43), 0x7FF8DEADBEEF0001u);
}

class SettingsFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() / ("kx7_settings_" + std::to_string(::getpid()) + "_" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    path_ = folder_ / "kx7sdua.ini";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  Bytes Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> FolderContents() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path folder_;
  std::filesystem::path path_;
};

TEST_F(SettingsFileOnDisk, MissingFileGivesDefaults) {
  SettingsFile settings = EveryFieldChanged();
  EXPECT_EQ(LoadSettingsFile(path_, settings), SettingsLoadResult::kMissing);
  EXPECT_TRUE(settings == SettingsFile{});
}

TEST_F(SettingsFileOnDisk, SavedDefaultsAre645BytesAndReadBack) {
  ASSERT_TRUE(SaveSettingsFile(path_, SettingsFile{}));
  EXPECT_EQ(Read(path_), SerializeSettingsFile(SettingsFile{}));
  EXPECT_EQ(std::filesystem::file_size(path_), 645u);

  SettingsFile settings = EveryFieldChanged();
  EXPECT_EQ(LoadSettingsFile(path_, settings), SettingsLoadResult::kRead);
  EXPECT_TRUE(settings == SettingsFile{});
}

TEST_F(SettingsFileOnDisk, SaveReplacesALongerFileWholeAndLeavesNoTemporary) {
  Write(path_, Bytes(5000, 0xEE));
  const SettingsFile record = EveryFieldChanged();
  ASSERT_TRUE(SaveSettingsFile(path_, record));
  EXPECT_EQ(Read(path_), SerializeSettingsFile(record));
  EXPECT_EQ(FolderContents(), std::vector<std::string>{"kx7sdua.ini"});

  SettingsFile settings;
  EXPECT_EQ(LoadSettingsFile(path_, settings), SettingsLoadResult::kRead);
  EXPECT_TRUE(settings == record) << FieldList(settings, record);
}

TEST_F(SettingsFileOnDisk, ShortFileIsReportedDamagedWithTheFieldsBeforeTheCut) {
  SettingsFile source;
  source.SavedLinkKind = 3;
  source.Options.ShowGrid = 0;
  Bytes file = SerializeSettingsFile(source);
  file.resize(45 + 4 + 2);  // through ShowGrid and half of Show16ptTargets
  Write(path_, file);

  SettingsFile settings;
  EXPECT_EQ(LoadSettingsFile(path_, settings), SettingsLoadResult::kDamaged);
  EXPECT_EQ(settings.SavedLinkKind, 3);
  EXPECT_EQ(settings.Options.ShowGrid, 0);
  EXPECT_EQ(settings.Options.Show16ptTargets, 1);
  EXPECT_EQ(settings.ScopeSettings[7], 6);
}

TEST_F(SettingsFileOnDisk, AFolderUnderTheNameIsUnreadableAndIsNotReplaced) {
  std::filesystem::create_directory(path_);
  SettingsFile settings = EveryFieldChanged();
  EXPECT_EQ(LoadSettingsFile(path_, settings), SettingsLoadResult::kUnreadable);
  EXPECT_TRUE(settings == SettingsFile{});

  EXPECT_FALSE(SaveSettingsFile(path_, SettingsFile{}));
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  EXPECT_EQ(FolderContents(), std::vector<std::string>{"kx7sdua.ini"});
}

TEST_F(SettingsFileOnDisk, APipeUnderTheNameDoesNotBlockTheLoad) {
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  SettingsFile settings;
  EXPECT_EQ(LoadSettingsFile(path_, settings), SettingsLoadResult::kUnreadable);
}

TEST_F(SettingsFileOnDisk, SaveIntoAMissingFolderFails) {
  EXPECT_FALSE(SaveSettingsFile(folder_ / "absent" / "kx7sdua.ini", SettingsFile{}));
  EXPECT_TRUE(FolderContents().empty());
}

TEST_F(SettingsFileOnDisk, SaveThroughALinkWritesTheLinkedFile) {
  const std::filesystem::path real = folder_ / "real.ini";
  Write(real, Bytes(10, 1));
  std::filesystem::create_symlink(real, path_);

  ASSERT_TRUE(SaveSettingsFile(path_, SettingsFile{}));
  EXPECT_TRUE(std::filesystem::is_symlink(path_));
  EXPECT_EQ(Read(real), SerializeSettingsFile(SettingsFile{}));
}

TEST_F(SettingsFileOnDisk, SaveKeepsTheFilePermissions) {
  Write(path_, Bytes(10, 1));
  std::filesystem::permissions(path_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(SaveSettingsFile(path_, SettingsFile{}));
  EXPECT_EQ(std::filesystem::status(path_).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace
}  // namespace kx7
