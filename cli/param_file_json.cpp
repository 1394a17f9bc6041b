#include "param_file_json.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "params/block6_file.h"
#include "params/block7_units.h"
#include "params/block8_file.h"
#include "params/block_q_file.h"
#include "params/cal_data_file.h"
#include "params/default_param_file.h"
#include "params/eep_file.h"
#include "params/hex_block_file.h"

namespace kx7::cli {

namespace {

constexpr struct {
  ParamFileKind kind;
  const char* name;
} kKinds[] = {{ParamFileKind::kDat, "dat"}, {ParamFileKind::kBkq, "bkq"}, {ParamFileKind::kBk1, "bk1"},
              {ParamFileKind::kBk2, "bk2"}, {ParamFileKind::kBk4, "bk4"}, {ParamFileKind::kBlk, "blk"},
              {ParamFileKind::kBk6, "bk6"}, {ParamFileKind::kBk8, "bk8"}, {ParamFileKind::kCal, "cal"},
              {ParamFileKind::kEep, "eep"}};

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
  return text;
}

std::string Hex2(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
  return text;
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (const std::uint8_t b : bytes) text += Hex2(b);
  return text;
}

Json Start(ParamFileKind kind, bool valid, const std::string& error) {
  Json object = Json::object();
  object["Kind"] = KindName(kind);
  object["Valid"] = valid;
  object["Error"] = error;
  return object;
}

Json DatJson(const std::string& bytes) {
  const DefaultParamFile file = ReadDefaultParamFile(bytes);
  std::string error;
  if (!file.Valid()) error = file.LengthWarning() ? "Length" : "Crc";
  Json object = Start(ParamFileKind::kDat, file.Valid(), error);
  const auto optional = [](const auto& value, auto&& make) -> Json {
    if (!value) return nullptr;
    return make(*value);
  };
  object["Size"] = file.bytes.size();
  object["Length"] = optional(file.length, [](std::uint16_t v) { return Json(v); });
  object["Header"] = optional(file.header, [](std::uint16_t v) { return Json(Hex4(v)); });
  object["NameLength"] = optional(file.nameLength, [](std::uint16_t v) { return Json(v); });
  object["PanelType"] = optional(file.panelType, [](const std::string& v) { return JsonText(v); });
  object["HeaderWords"] = optional(file.headerWords, [](const std::array<std::uint16_t, 4>& words) {
    Json list = Json::array();
    for (const std::uint16_t word : words) list.push_back(Hex4(word));
    return list;
  });
  if (file.sendable) {
    object["ParamWords"] = file.parameterWords;
    object["Crc"] = Hex4(file.crc);
    object["StoredCrc"] = Hex4(file.storedCrc);
    object["Xor"] = Hex4(file.xorWord);
  } else {
    object["ParamWords"] = nullptr;
    object["Crc"] = nullptr;
    object["StoredCrc"] = nullptr;
    object["Xor"] = nullptr;
  }
  Json warnings = Json::array();
  for (const std::string& warning : file.warnings) warnings.push_back(warning);
  object["Warnings"] = warnings;
  object["Sendable"] = file.sendable;
  return object;
}

Json BkqJson(const std::string& bytes) {
  const BlockQFileCheck file = ReadBlockQFile(bytes);
  Json object = Start(ParamFileKind::kBkq, file.Valid(), file.error);
  Json parameters = Json::array();
  for (const BlockQParameter& parameter : file.parameters) {
    Json entry = Json::object();
    entry["Number"] = parameter.number;
    char value[16];
    std::snprintf(value, sizeof value, "%08X", static_cast<unsigned>(parameter.value));
    entry["Value"] = value;
    parameters.push_back(entry);
  }
  object["Parameters"] = parameters;
  return object;
}

Json HexBlockJson(ParamFileKind kind, const std::string& bytes) {
  HexBlockKind blockKind = HexBlockKind::kBlock1;
  if (kind == ParamFileKind::kBk2) blockKind = HexBlockKind::kBlock2;
  if (kind == ParamFileKind::kBk4) blockKind = HexBlockKind::kBlock4;
  if (kind == ParamFileKind::kBlk) blockKind = HexBlockKind::kLarchBlock7;
  const HexBlockFileCheck file = ReadHexBlockFile(bytes, blockKind);
  Json object = Start(kind, file.Valid(), file.error);
  object["Layout"] = file.packed ? "packed" : "spaced";
  object["Bytes"] = file.bytes.size();
  object["Hex"] = HexBytes(file.bytes);
  if (kind == ParamFileKind::kBk1 && file.Valid() && file.bytes.size() >= 2) {
    const Block1CheckWord word = Block1CheckWordOf(file.bytes);
    object["Checksum"] = Hex4(word.computed);
    object["StoredChecksum"] = Hex4(word.stored);
    object["ChecksumOk"] = word.Ok();
  }
  return object;
}

Json Bk6Json(const std::string& bytes) {
  const Block6FileCheck file = ReadBlock6File(bytes);
  Json object = Start(ParamFileKind::kBk6, file.Valid(), file.error);
  object["Status"] = file.status ? JsonText(std::string(1, *file.status)) : Json(nullptr);
  object["Count"] = file.count ? Json(*file.count) : Json(nullptr);
  Json names = Json::array();
  for (const std::string& name : file.names) names.push_back(JsonText(name));
  object["Names"] = names;
  Json values = Json::array();
  for (const std::uint8_t value : file.values) values.push_back(value);
  object["Values"] = values;
  object["Hex"] = HexBytes(file.values);
  return object;
}

Json Bk8Json(const std::string& bytes) {
  const Block8FileCheck file = ReadBlock8File(bytes);
  Json object = Start(ParamFileKind::kBk8, file.Valid(), file.error);
  Json values = Json::array();
  for (const std::uint16_t value : file.values) values.push_back(value);
  object["Values"] = values;
  object["Hex"] = HexBytes(Block8Bytes(file.values));
  return object;
}

Json CalJson(const std::string& bytes) {
  const CalDataFileCheck file = ReadCalDataFile(bytes);
  Json object = Start(ParamFileKind::kCal, file.Valid(), file.error);
  Json words = Json::array();
  for (const std::uint16_t word : file.words) words.push_back(Hex4(word));
  object["Words"] = words;
  if (file.Valid()) {
    Json block1 = Json::object();
    for (const auto& [offset, value] : file.block1Bytes) block1[std::to_string(offset)] = Hex2(value);
    object["Block1Bytes"] = block1;
  } else {
    object["Block1Bytes"] = nullptr;
  }
  return object;
}

Json EepJson(const std::string& bytes) {
  const EepFileCheck file = ReadEepFile(bytes);
  Json object = Start(ParamFileKind::kEep, file.Valid(), file.error);
  object["Count"] = file.count ? Json(*file.count) : Json(nullptr);
  object["Ignored"] = file.ignored;
  Json entries = Json::array();
  for (const EepEntry& entry : file.table.Rows()) {
    Json row = Json::object();
    row["Address"] = entry.address;
    row["Value"] = entry.value & 0xFFu;
    row["Name"] = JsonText(entry.name);
    entries.push_back(row);
  }
  object["Entries"] = entries;
  return object;
}

Json Text(const OptionalText& text) { return text ? JsonText(*text) : Json(nullptr); }

Json Level(const Block7Units::Level& level, bool percent, bool capacitance) {
  Json object = Json::object();
  object["Box"] = Text(level.box);
  if (percent) object["Percent"] = Text(level.percent);
  if (capacitance) object["Capacitance"] = Text(level.capacitance);
  return object;
}

Json Filter(const Block7Units::Filter& filter) {
  Json object = Json::object();
  object["Box"] = Text(filter.box);
  object["Seconds"] = Text(filter.seconds);
  return object;
}

Json Frequency(const Block7Units::Frequency& frequency) {
  Json object = Json::object();
  object["Box"] = Text(frequency.box);
  object["Frequency"] = Text(frequency.frequency);
  return object;
}

Json OptionalBool(const std::optional<bool>& value) { return value ? Json(*value) : Json(nullptr); }

}  // namespace

const char* KindName(ParamFileKind kind) {
  for (const auto& entry : kKinds)
    if (entry.kind == kind) return entry.name;
  return "";
}

std::optional<ParamFileKind> KindFromName(const std::string& name) {
  for (const auto& entry : kKinds)
    if (name == entry.name) return entry.kind;
  return std::nullopt;
}

std::optional<ParamFileKind> KindFromExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return KindFromName(extension);
}

Json ShowJson(ParamFileKind kind, const std::string& bytes) {
  switch (kind) {
    case ParamFileKind::kDat:
      return DatJson(bytes);
    case ParamFileKind::kBkq:
      return BkqJson(bytes);
    case ParamFileKind::kBk1:
    case ParamFileKind::kBk2:
    case ParamFileKind::kBk4:
    case ParamFileKind::kBlk:
      return HexBlockJson(kind, bytes);
    case ParamFileKind::kBk6:
      return Bk6Json(bytes);
    case ParamFileKind::kBk8:
      return Bk8Json(bytes);
    case ParamFileKind::kCal:
      return CalJson(bytes);
    case ParamFileKind::kEep:
      return EepJson(bytes);
  }
  return Json::object();
}

Json Block7Json(const Block7Table& table) {
  const Block7Units units = ComputeBlock7Units(table);
  Json thresholds = Json::object();
  thresholds["Touch"] = Level(units.touch, true, true);
  thresholds["Liftoff"] = Level(units.liftoff, true, true);
  thresholds["FastStray"] = Level(units.fastStray, true, true);
  thresholds["SlowStray"] = Level(units.slowStray, true, true);
  thresholds["MinEffect"] = Level(units.minEffect, true, false);
  thresholds["BodyK"] = Level(units.bodyK, false, false);
  thresholds["PalmEnable"] = OptionalBool(units.palmEnable);
  Json filters = Json::object();
  filters["SlowStray"] = Filter(units.slowStrayFilter);
  filters["FastStrayUp"] = Filter(units.fastStrayUp);
  filters["FastStrayDown"] = Filter(units.fastStrayDown);
  filters["StrayDelay"] = Filter(units.strayDelay);
  Json noise = Json::object();
  noise["Box"] = Text(units.noiseFilter.box);
  noise["Milliseconds"] = Text(units.noiseFilter.milliseconds);
  filters["NoiseFilter"] = noise;
  Json other = Json::object();
  Json orientation = Json::object();
  orientation["Value"] = units.orientation ? Json(*units.orientation) : Json(nullptr);
  orientation["Text"] = Text(units.orientationText);
  other["Orientation"] = orientation;
  other["Freq"] = Frequency(units.freq);
  other["PenFreq"] = Frequency(units.penFreq);
  Json object = Json::object();
  object["Rows"] = table.Count();
  object["Thresholds"] = thresholds;
  object["Filters"] = filters;
  object["Other"] = other;
  object["SelfParamsValid"] = OptionalBool(units.selfParamsValid);
  return object;
}

std::string JsonLines(const Json& object) {
  std::string text;
  for (const auto& [key, value] : object.items())
    text += key + ": " + (value.is_string() ? value.get<std::string>() : value.dump(-1, ' ', true)) + "\n";
  return text;
}

}  // namespace kx7::cli
