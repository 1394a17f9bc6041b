// What `params show` and `block7` print: a parameter file as it reads, and the Block7 table's
// parameters in physical units, as one JSON object each (the keys ../shared/cli/params.md lists).
#pragma once

#include <optional>
#include <string>

#include "cli_output.h"
#include "params/block7_table.h"

namespace kx7::cli {

enum class ParamFileKind { kDat, kBkq, kBk1, kBk2, kBk4, kBlk, kBk6, kBk8, kCal, kEep };

// "dat", "bkq", ...; and back (nothing for another name).
const char* KindName(ParamFileKind kind);
std::optional<ParamFileKind> KindFromName(const std::string& name);
// The kind of a file name's extension (either case); nothing for .txt and the others.
std::optional<ParamFileKind> KindFromExtension(const std::string& path);

// The file's bytes as the kind reads them; Valid says whether the file passes its checks.
Json ShowJson(ParamFileKind kind, const std::string& bytes);

// The Block7 table's units ("Rows", "Thresholds", "Filters", "Other", "SelfParamsValid").
Json Block7Json(const Block7Table& table);

// The object as "Key: value" lines for people (nested values as compact JSON).
std::string JsonLines(const Json& object);

}  // namespace kx7::cli
