#include "family_profile.h"

#include <algorithm>
#include <map>

namespace kx7::emu {
namespace {

std::string Gf(const std::string& text) { return FitText(text, kGfLength, ' '); }

// Blocks every family keeps: linearization (2), cable (4), serial number (5) and the two
// one-byte settings (9, 10). Block1 is 30 bytes unless the family says otherwise.
std::array<int, 11> CommonBlocks() {
  std::array<int, 11> lengths{};
  lengths[1] = 30;
  lengths[2] = 50;
  lengths[3] = 32;
  lengths[4] = 60;
  lengths[5] = 4;
  lengths[6] = 12;
  lengths[9] = 1;
  lengths[10] = 1;
  return lengths;
}

// Memories 1 to 8 are the parameter blocks where the family has them; 0 and 11 to 13 are small
// register and map areas, 9 the firmware image (erased flash reads 0xFF), 10 the RAM variables.
std::array<MemoryLayout, 14> CommonMemories(const std::array<int, 11>& blocks, std::uint32_t imageBytes,
                                          std::uint32_t ramWords) {
  std::array<MemoryLayout, 14> memories{};
  memories[0] = MemoryLayout{256, false, 0, 0};
  for (int block = 1; block <= 8; ++block)
    if (blocks[static_cast<std::size_t>(block)] > 0) memories[static_cast<std::size_t>(block)].aliasBlock = block;
  memories[9] = MemoryLayout{imageBytes, false, 0xFF, 0};
  memories[10] = MemoryLayout{ramWords, true, 0, 0};
  for (std::size_t memory = 11; memory <= 13; ++memory) memories[memory] = MemoryLayout{4096, false, 0, 0};
  return memories;
}

std::vector<QParameter> NoiseFilter() { return {QParameter{4, 4, 0x0003, true}}; }

std::vector<QParameter> CedarParameters(int generation) {
  std::vector<QParameter> parameters{QParameter{1, 8, 0x00010000u + static_cast<std::uint32_t>(generation), true},
                                     QParameter{4, 4, 0x0003, true}};
  // The BlockQ list: plain, recognisable defaults so a saved list can be checked by eye.
  for (int number = 300; number <= 369; ++number)
    parameters.push_back(QParameter{number, 8, 0x00000100u + static_cast<std::uint32_t>(number - 300), true});
  return parameters;
}

FamilyProfile Cedar(const std::string& name, FamilyKind kind, int typeId, const std::string& oi, const std::string& ut,
                    int generation, int optionParameter) {
  FamilyProfile p;
  p.name = name;
  p.kind = kind;
  p.typeId = typeId;
  p.identity.oi = oi;
  p.identity.uv = "CV" + oi.substr(2) + "00";
  p.identity.ut = ut;
  p.identity.os = "00";
  p.identity.nm = "Cedar GEN" + std::to_string(generation) + " Projected Capacitive";
  p.identity.minusOi = "CM0105";
  p.identity.gf = Gf("CEDAR GEN" + std::to_string(generation) + " DSP+COMM");
  p.identity.panelId = "KX7-PCAP-156W-G" + std::to_string(generation);
  p.blockLengths = CommonBlocks();
  p.blockLengths[7] = 10;
  p.blockLengths[8] = 512;
  p.block1Checksum = true;
  p.defaultParamImage = true;
  p.parameters = CedarParameters(generation);
  p.optionParameter = optionParameter;
  p.q101 = "Copyright (c) KX7 Touch Systems, Cedar DSP";
  p.q102 = "Cedar GEN" + std::to_string(generation) + " comm processor";
  // The GEN3 and GEN4 flash takes a 128 KiB code image; the GEN2 DSP keeps its data in memory 11.
  p.memories = CommonMemories(p.blockLengths, kind == FamilyKind::kCedarGen2 ? 65536 : 131072, 8192);
  if (kind == FamilyKind::kCedarGen2) p.memories[11] = MemoryLayout{65536, false, 0xFF, 0};
  p.dspLoader = kind == FamilyKind::kCedarGen2;
  p.maxReadCount = kind == FamilyKind::kCedarGen3 ? 131072 : 65536;
  p.passThrough = true;
  p.hardResetH = true;
  p.hardResetQH = kind == FamilyKind::kCedarGen4;
  p.parameterRestore = kind != FamilyKind::kCedarGen2;
  p.codeLoaderCommand = true;
  return p;
}

IdentityTexts BirchApplication(const std::string& oi, const std::string& nm) {
  IdentityTexts t;
  t.oi = oi;
  t.uv = "BV" + oi.substr(2) + "00";
  t.ut = "BT" + oi.substr(2) + "00";
  t.os = "00";
  t.nm = nm;
  t.gf = Gf("BIRCH2 " + oi);
  return t;
}

// The fixed code of the Birch2 silicon: UT "MF", and the flag pair of "OS" that says what is
// wrong with the downloaded code.
IdentityTexts BirchRom() {
  IdentityTexts t;
  t.oi = "R10100";
  t.uv = "MV010000";
  t.ut = "MF010000";
  t.os = "00";
  t.nm = "Birch2 fixed code";
  t.gf = Gf("BIRCH2 ROM");
  return t;
}

FamilyProfile Birch(const std::string& name, FamilyKind kind, int typeId, std::uint32_t features, const std::string& oi,
                    const std::string& nm, int commOffset, bool framing) {
  FamilyProfile p;
  p.name = name;
  p.kind = kind;
  p.typeId = typeId;
  p.features = features;
  p.identity = BirchApplication(oi, nm);
  p.romIdentity = BirchRom();
  p.commByte = CommByteLayout{commOffset, commOffset == 16, framing};
  p.blockLengths = CommonBlocks();
  p.blockLengths[3] = 32;
  p.straysRecord = true;
  p.frequencyCommands = true;
  p.fingerFrequency = 0x58;
  p.penFrequency = 0x98;
  p.parameters = NoiseFilter();
  p.q101 = "Copyright (c) KX7 Touch Systems, Birch2";
  p.q102 = "Birch2 capacitive controller";
  p.memories = CommonMemories(p.blockLengths, 32768, 8192);
  p.memories[7] = MemoryLayout{1024, false, 0xFF, 0};  // the Birch2 EEPROM parameter area
  p.speedWordAddress = 4177;
  p.passThrough = false;  // only with the haptic processor
  return p;
}

FamilyProfile Simple(const std::string& name, FamilyKind kind, int typeId, std::uint32_t features,
                     const IdentityTexts& identity) {
  FamilyProfile p;
  p.name = name;
  p.kind = kind;
  p.typeId = typeId;
  p.features = features;
  p.identity = identity;
  p.blockLengths = CommonBlocks();
  p.parameters = NoiseFilter();
  p.memories = CommonMemories(p.blockLengths, 32768, 2048);
  p.hardResetQH = true;
  return p;
}

IdentityTexts Texts(const std::string& oi, const std::string& uv, const std::string& ut, const std::string& nm,
                    const std::string& gf) {
  IdentityTexts t;
  t.oi = oi;
  t.uv = uv;
  t.ut = ut;
  t.os = "00";
  t.nm = nm;
  t.gf = Gf(gf);
  return t;
}

FamilyProfile Board(const std::string& name, FamilyKind kind, int typeId, const IdentityTexts& identity,
                    BoardLetters letters, const std::string& defaultLetters) {
  FamilyProfile p = Simple(name, kind, typeId, 0, identity);
  p.boardLetters = letters;
  p.defaultBoardLetters = defaultLetters;
  p.line = LineSettings{9600, 'N', 7, 2};
  p.commByte = CommByteLayout{10, false, true};
  return p;
}

std::vector<FamilyProfile> BuildProfiles() {
  std::vector<FamilyProfile> all;
  all.push_back(Cedar("cedar-gen2", FamilyKind::kCedarGen2, 32872, "OS0212",
                      "C20212"
                      "00",
                      2, 354));
  all.push_back(Cedar("cedar-gen3", FamilyKind::kCedarGen3, 32875, "OS0310",
                      "B30310"
                      "00",
                      3, 354));
  all.push_back(Cedar("cedar-gen4", FamilyKind::kCedarGen4, 32882, "WZ0401",
                      "B40401"
                      "00",
                      4, 303));
  // The two Cedar option words are ordinary BlockQ parameters on the generations that do not read
  // them; on GEN3 and GEN4 the option word starts as contact mode 1.
  for (FamilyProfile& cedar : all)
    for (QParameter& parameter : cedar.parameters)
      if (parameter.number == cedar.optionParameter && cedar.kind != FamilyKind::kCedarGen2) parameter.defaultValue = 1;

  all.push_back(Birch("birch", FamilyKind::kBirch, 32861, 0x10, "A30210", "BZ Birch2 Capacitive", 10, true));
  FamilyProfile rom =
      Birch("birch-rom", FamilyKind::kBirchRom, 32856, 0x10, "A30210", "BZ Birch2 Capacitive", 10, true);
  rom.startsInRom = true;
  all.push_back(rom);
  all.push_back(Birch("birch-pen", FamilyKind::kBirchPen, 32864, 0x14, "P50210", "BZ Birch2 Pen", 16, false));

  {
    FamilyProfile p = Simple("aspen4", FamilyKind::kAspen4, 32863, 4,
                             Texts("P40120", "AV012000", "AT012000", "Aspen4 Pen and Finger", "ASPEN4"));
    p.blockLengths[1] = 32;
    p.commByte = CommByteLayout{12, true, false};
    p.q101 = "Copyright (c) KX7 Touch Systems, Aspen4";
    p.q102 = "Aspen4 pen controller";
    all.push_back(p);
  }
  // The Larch application answers OI "AD"; its boot loader (the fixed code "RE1" starts, where the
  // page loader runs) answers "DF". "larch-mt" is a Larch that is in its boot loader already.
  for (const auto& [name, kind, features, inBootLoader] :
       {std::tuple{"larch", FamilyKind::kLarch, 0u, false},
        std::tuple{"larch-mt", FamilyKind::kLarchMultitouch, 0x800u, true}}) {
    FamilyProfile p =
        Simple(name, kind, 32879, features, Texts("AD0305", "LV030500", "LT030500", "Larch Multitouch", "LARCH MULTITOUCH"));
    p.romIdentity = Texts("DF0305", "LV030500", "LT030500", "Larch Multitouch", "LARCH MULTITOUCH");
    p.startsInRom = inBootLoader;
    p.blockLengths[6] = 26;
    p.blockLengths[7] = 21;
    p.blockLengths[8] = 512;
    // A raw firmware image is at most 1 MiB.
    p.memories = CommonMemories(p.blockLengths, 1048576, 8192);
    p.q101 = "Copyright (c) KX7 Touch Systems, Larch";
    p.q102 = "Larch multitouch controller";
    p.pageLoader = true;
    p.loaderPageSize = 256;
    all.push_back(p);
  }
  // Linden boards say "QM" in UV and carry their letters in UV characters 3 to 6; Poplar boards say
  // "QM" in UT, carry "O" in UV and P/A/R in UT. OI character 2 is kept off "0" and "3" so no
  // Linden reply reads as a Birch one as well.
  all.push_back(Board("hazel3-linden", FamilyKind::kHazel3Linden, 32852,
                      Texts("A20640", "QM000000", "HL064000", "Hazel3 Linden", "HAZEL3 LINDEN"), BoardLetters::kLinden,
                      ""));
  all.push_back(Board("oem-linden", FamilyKind::kOemLinden, 32858,
                      Texts("A20640", "QM000000", "HL064000", "OEM Linden", "OEM LINDEN"), BoardLetters::kLinden, "O"));
  all.push_back(Board("hazel3-poplar", FamilyKind::kHazel3Poplar, 32852,
                      Texts("Q10640", "PV064000", "QM000000", "Hazel3 Poplar", "HAZEL3 POPLAR"), BoardLetters::kPoplar,
                      ""));
  all.push_back(Board("oem-poplar", FamilyKind::kOemPoplar, 32858,
                      Texts("Q10630", "PV063000", "QM000000", "OEM Poplar", "OEM POPLAR"), BoardLetters::kPoplar, ""));
  {
    FamilyProfile p = Simple("juniper", FamilyKind::kJuniper, 32857, 8,
                             Texts("KX0110", "JV011000", "KXR01100", "Juniper Resistive", "JUNIPER"));
    p.blockLengths[3] = 0;
    p.commByte = CommByteLayout{10, false, false};
    p.screenRc = 0x0040;
    all.push_back(p);
  }
  {
    FamilyProfile p = Simple("resistive-4wire", FamilyKind::kResistive4Wire, 32868, 0x28,
                             Texts("YZ0210", "RV021000", "YZR42100", "4/8-Wire Resistive", "RESISTIVE 4W"));
    p.screenRc = 0x0040;
    all.push_back(p);
  }
  {
    FamilyProfile p = Simple("resistive-5wire", FamilyKind::kResistive5Wire, 32870, 8,
                             Texts("YZ0210", "RV021000", "YZR52100", "5-Wire Resistive", "RESISTIVE 5W"));
    p.screenRc = 0x0030;
    all.push_back(p);
  }
  {
    // The oldest board: OI and OS only; every other identity command is refused.
    IdentityTexts t;
    t.oi = "A30512";
    t.os = "00";
    FamilyProfile p = Simple("hazel2d", FamilyKind::kHazel2d, 32862, 0, t);
    p.versionAt = 5;
    p.versionLength = 2;
    p.line = LineSettings{9600, 'N', 7, 2};
    p.statusLetter = 'B';
    p.blockLengths = {};
    p.blockLengths[1] = 30;
    p.blockLengths[2] = 50;
    p.blockLengths[4] = 60;
    p.blockLengths[5] = 4;
    p.parameters.clear();
    p.memories = CommonMemories(p.blockLengths, 16384, 1024);
    for (std::size_t memory = 11; memory <= 13; ++memory) p.memories[memory] = MemoryLayout{};
    p.hardResetQH = false;
    all.push_back(p);
  }
  return all;
}

const std::vector<FamilyProfile>& Profiles() {
  static const std::vector<FamilyProfile> profiles = BuildProfiles();
  return profiles;
}

void Place(std::string& text, std::size_t at, char letter) {
  if (at < text.size()) text[at] = letter;
}

}  // namespace

std::string FitText(const std::string& text, std::size_t length, char pad) {
  std::string fitted = text.substr(0, std::min(text.size(), length));
  fitted.resize(length, pad);
  return fitted;
}

const std::vector<std::string>& ControllerFamilyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const FamilyProfile& profile : Profiles()) list.push_back(profile.name);
    return list;
  }();
  return names;
}

const FamilyProfile* FindFamilyProfile(const std::string& name) {
  for (const FamilyProfile& profile : Profiles())
    if (profile.name == name) return &profile;
  return nullptr;
}

namespace {

void Override(std::optional<std::string>& text, const std::optional<std::string>& option) {
  if (!option) return;
  if (option->empty())
    text.reset();
  else
    text = *option;
}

// Every reply has its fixed length; a text that does not fit is cut or padded.
void FitIdentity(IdentityTexts& t) {
  if (t.oi) t.oi = FitText(*t.oi, kOiLength);
  if (t.uv) t.uv = FitText(*t.uv, kUvLength);
  if (t.ut) t.ut = FitText(*t.ut, kUtLength);
  if (t.os) t.os = FitText(*t.os, kOsLength);
  if (t.nm && t.nm->size() > kNmMaxLength) t.nm->resize(kNmMaxLength);
  if (t.minusOi) t.minusOi = FitText(*t.minusOi, kOiLength);
  if (t.gf) t.gf = FitText(*t.gf, kGfLength, ' ');
  if (t.panelId) {
    std::string& id = *t.panelId;
    id = id.substr(0, std::min(id.find('\r'), kPanelIdMaxLength));
  }
}

void ApplyBoardLetters(IdentityTexts& t, BoardLetters kind, const std::string& letters) {
  if (kind == BoardLetters::kNone) return;
  std::string uvLetters, utLetters;
  for (char letter : letters) {
    if (letter != 'P' && letter != 'A' && letter != 'R' && letter != 'O') continue;
    if (kind == BoardLetters::kPoplar && letter != 'O')
      utLetters += letter;
    else
      uvLetters += letter;
  }
  // UV and UT characters 3 to 6 (string positions 2 to 5) hold the letters, '0' where none.
  for (std::size_t i = 0; i < 4; ++i) {
    if (t.uv) Place(*t.uv, 2 + i, i < uvLetters.size() ? uvLetters[i] : '0');
    if (kind == BoardLetters::kPoplar && t.ut) Place(*t.ut, 2 + i, i < utLetters.size() ? utLetters[i] : '0');
  }
}

void ApplyTexts(IdentityTexts& t, const FamilyProfile& family, const ControllerOptions& options, bool rom) {
  const IdentityTexts& o = options.identity;
  // The identity overrides describe the code the controller starts in.
  if (rom == family.startsInRom) {
    Override(t.oi, o.oi);
    Override(t.uv, o.uv);
    Override(t.ut, o.ut);
    Override(t.os, o.os);
    Override(t.nm, o.nm);
    Override(t.minusOi, o.minusOi);
    Override(t.gf, o.gf);
    Override(t.panelId, o.panelId);
  }
  FitIdentity(t);
  if (options.firmwareVersion && t.oi && !rom) {
    const std::string version = FitText(*options.firmwareVersion, static_cast<std::size_t>(family.versionLength));
    t.oi->replace(static_cast<std::size_t>(family.versionAt - 1), version.size(), version);
  }
  if (!rom) ApplyBoardLetters(t, family.boardLetters, options.boardLetters.value_or(family.defaultBoardLetters));
  if (options.statusPair) {
    const std::string pair = FitText(*options.statusPair, 2);
    if (t.uv) t.uv->replace(6, 2, pair);
    if (t.ut) t.ut->replace(6, 2, pair);
  }
}

}  // namespace

FamilyProfile ApplyOptions(const FamilyProfile& family, const ControllerOptions& options) {
  FamilyProfile p = family;
  const bool isBirch =
      p.kind == FamilyKind::kBirch || p.kind == FamilyKind::kBirchRom || p.kind == FamilyKind::kBirchPen;
  if (isBirch && options.haptic.value_or(false)) {
    // The haptic processor sits behind the pass-through and names itself in "-OI".
    p.identity.minusOi = "HA0102";
    p.passThrough = true;
    p.features |= 0x500;
  }
  if (options.multiContactMode2.value_or(false) && p.optionParameter != 0 && p.kind != FamilyKind::kCedarGen2) {
    for (QParameter& parameter : p.parameters)
      if (parameter.number == p.optionParameter) parameter.defaultValue = 2;
    p.features |= 0x1000;
  }
  ApplyTexts(p.identity, family, options, false);
  if (p.romIdentity) ApplyTexts(*p.romIdentity, family, options, true);
  if (options.line) p.line = *options.line;
  if (options.statusLetter) p.statusLetter = *options.statusLetter;
  if (options.dropOff) p.dropOff = *options.dropOff;
  if (options.loaderPageSize) p.loaderPageSize = *options.loaderPageSize;
  return p;
}

}  // namespace kx7::emu
