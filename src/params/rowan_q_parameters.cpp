#include "params/rowan_q_parameters.h"

#include <cstdio>

#include "frame/frame_constants.h"
#include "params/file_buttons.h"
#include "params/block_q_file.h"
#include "params/file_lines.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

constexpr std::size_t kReplyLength = 10;
constexpr std::size_t kShortestReply = 6;
constexpr const char* kToolTitle = "Cedar Params";

// SOH, hexadecimal digits (at most eight), CR; nothing otherwise.
std::optional<std::uint32_t> ScanReply(const ReplyBytes& reply) {
  if (reply.size() < kShortestReply || reply[1] == '?' || reply[0] != kSoh) return std::nullopt;
  std::uint32_t value = 0;
  std::size_t digits = 0;
  std::size_t at = 1;
  for (; at < reply.size() && IsHexDigitChar(static_cast<char>(reply[at])); ++at, ++digits)
    value = value * 16 + static_cast<std::uint32_t>(HexDigitValue(static_cast<char>(reply[at])));
  if (digits == 0 || digits > 8 || at >= reply.size() || reply[at] != kCr) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> Query(CommandChannel& channel, int number) {
  char command[8];
  std::snprintf(command, sizeof command, "Q%03d", number);
  channel.SendCommand(command);
  return ScanReply(channel.Transact(kReplyLength, 0));
}

}  // namespace

std::map<int, std::uint32_t> ReadBlockQParameters(CommandChannel& channel) {
  std::map<int, std::uint32_t> known;
  // The USB Rowan boards answer the command set behind the pass-through; it is left as found.
  CMainFrame& frame = channel.Frame();
  const bool wasOn = frame.passThrough;
  if (IsUsbLink(frame.LinkKind) && !channel.EnterPassThrough('D')) return known;
  for (int number = kBlockQFirst; number <= kBlockQLast; ++number)
    if (const auto value = Query(channel, number)) known[number] = *value;
  if (const auto value = Query(channel, kBlockQLastParameter)) known[kBlockQLastParameter] = *value;
  if (!wasOn) channel.ExitPassThrough();
  return known;
}

void RunRowanQParameters(CMainFrame& frame, CommandChannel& channel) {
  frame.SetStatusText(pane::kMessage, kToolTitle);
  const std::map<int, std::uint32_t> known = ReadBlockQParameters(channel);
  frame.SetStatusText(pane::kMessage, "");
  const std::optional<std::string> path = ChooseParamFile(frame, {filter::kBlockQ, "txt"}, true);
  if (!path) return;
  WriteParamFileOrSay(*path, WriteBlockQFile(known), frame.Ui());
}

}  // namespace kx7
