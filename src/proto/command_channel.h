// The one layer through which every tool talks to the connected controller: frames commands,
// routes them over the open link, collects the reply to the command in progress (listener slot 6
// and the reply timer), and offers the composite exchanges the tools are built from: wait for an
// acknowledgement, read and write parameter blocks and numbered parameters, pass-through to the
// second processor, and purging the link. Runs on the user-interface thread, in the main frame.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frame/main_frame.h"
#include "proto/reply_collector.h"

namespace kx7 {

using ReplyBytes = std::vector<std::uint8_t>;

class CommandChannel : public ByteCollector {
 public:
  // Installs itself in the frame: the reply collector of slot 6, the reply timer, the 0x801B
  // byte sender and the pass-through exit of CloseLink.
  explicit CommandChannel(CMainFrame& frame);
  ~CommandChannel() override;
  CommandChannel(const CommandChannel&) = delete;
  CommandChannel& operator=(const CommandChannel&) = delete;

  CMainFrame& Frame() const { return frame_; }

  // --- Sending -------------------------------------------------------------------------------
  // SOH, the text, CR, as one buffer.
  void SendCommand(const std::string& text);
  // In pieces of 128 bytes through the output routing, each echoed to the terminal.
  void SendBytes(const std::uint8_t* bytes, std::size_t count);
  void SendBytes(const std::string& bytes);
  void SendByte(std::uint8_t byte);

  // --- Replies -------------------------------------------------------------------------------
  // Waits (dispatching messages) for the reply; empty when a reply is already awaited or the
  // program is closing.
  // `extraMs` lengthens the time-out, for a reply that takes long on the wire.
  ReplyBytes Transact(std::size_t expectedLength, std::uint32_t flags, std::uint32_t extraMs = 0);
  // Starts collecting and returns; `message` goes to `notify` when the reply completes or times out.
  void BeginReply(WindowId notify, MessageId message, std::size_t expectedLength, std::uint32_t flags,
                  std::uint32_t extraMs = 0);
  // True exactly for SOH "0" CR.
  bool WaitOk();
  bool ReplyBusy() const;
  // The reply collected last (what an asynchronous waiter reads when notified).
  const ReplyBytes& Reply() const { return collector_.Reply(); }
  bool HighBitSeen() const { return collector_.HighBitSeen(); }
  // A reply that times out also closes this window (the progress window of a reboot or restore).
  WindowId progressWindow = kNoWindow;

  void ClearLink();

  // --- Parameter blocks and parameters -------------------------------------------------------
  // Reads block n into `block`; "Block Read Failed" and false on any failure (`block` is then
  // left as it was). The command set reads blocks 1 to 10; the driver and HID links those they
  // know (81 to 84, 99, 101 and 102 over HID).
  bool ReadBlock(int number, std::vector<std::uint8_t>& block);
  // Reads block n into the frame's copy of its slot (CMainFrame::blocks), with its status letter.
  bool ReadBlock(int number);
  // Writes block n (for the Rowan/Cedar Block1 the checksum is stored in it first); "Write
  // Failed" and false on a failure. With `noWait` the command set does not wait for the
  // acknowledgement of the data (the controller answers at its new speed).
  bool WriteBlock(int number, std::vector<std::uint8_t>& block, bool noWait = false);
  // Writes the frame's copy of block n.
  bool WriteBlock(int number, bool noWait = false);
  // The status letter that came with the last block read (0 when the route gave none).
  char LastBlockStatus() const { return lastBlockStatus_; }
  // How long a block read waits beyond the reply time-out: the time the longest reply block n can
  // have takes on the wire at the serial link's speed (0 on the other links).
  std::uint32_t BlockWireMs(int number) const;

  // "W%03d", OK, the value in `width` bits (0: as many hex digits as it needs), OK.
  bool WriteParameter(int number, std::uint32_t value, int width);
  // "Q%03d" and its reply (SOH, hex digits, CR); nothing when the reply is not that or holds "?".
  std::optional<std::uint32_t> QueryParameter(int number, std::size_t expectedLength = 10);
  // "W%03d", OK, the value text as typed and CR, OK. False when the first acknowledgement did
  // not come; `secondOk` says whether the second one did.
  bool WriteParameterText(int number, const std::string& valueText, bool& secondOk);

  // --- Pass-through --------------------------------------------------------------------------
  // Target 'D' (the second processor) or 'L' (its loader). False when the controller refused.
  bool EnterPassThrough(char target);
  void ExitPassThrough();
  // Closes the serial controller port and opens it again at `settings` (which become the link's).
  bool ReopenPort(const std::string& settings);
  // The port settings pass-through goes back to.
  std::string rememberedSettings = "9600,N,8,1";

  // --- Routes of the driver and HID links (their layers install them) ------------------------
  std::function<void(const std::uint8_t*, std::size_t)> hidPassThroughSend;  // pass-through reports
  std::function<void(std::uint8_t)> hidByteSend;                             // one-byte report
  std::function<void(const std::uint8_t*, std::size_t)> driverPassThroughSend;
  std::function<void(const std::uint8_t*, std::size_t)> driverWrite;  // links 257 and 258
  std::function<bool(char target)> hidEnterPassThrough;
  std::function<void()> hidExitPassThrough;
  std::function<bool(char target)> driverEnterPassThrough;
  std::function<void()> driverExitPassThrough;
  // Block reads and writes by device requests and HID reports; without them those links fail.
  std::function<bool(int number, std::vector<std::uint8_t>& block)> linkReadBlock;
  std::function<bool(int number, const std::vector<std::uint8_t>& block)> linkWriteBlock;
  // The status letter of the last link block read.
  std::function<char()> linkBlockStatus;

  // ByteCollector: slot 6.
  void OnByte(std::uint8_t byte) override;

 private:
  void OnReplyTimeOut();
  void CompleteReply();
  void RoutePiece(const std::uint8_t* bytes, std::size_t count);
  void WriteToLink(const std::uint8_t* bytes, std::size_t count);
  bool CommandSetReadBlock(int number, std::vector<std::uint8_t>& block);
  bool CommandSetWriteBlock(int number, std::vector<std::uint8_t>& block, bool noWait);
  bool DriverPassThroughVariant() const;
  bool PassThroughReadBlock(int number, std::vector<std::uint8_t>& block);
  bool PassThroughWriteBlock(int number, std::vector<std::uint8_t>& block, bool noWait);

  CMainFrame& frame_;
  ReplyCollector collector_;
  WindowId notifyWindow_ = kNoWindow;
  MessageId notifyMessage_ = 0;
  char lastBlockStatus_ = 0;
};

// XORs the first (length - 2) / 2 little-endian words and compares them with the word after them;
// on a mismatch the computed value is stored there and the check is false.
bool BlockChecksum(std::vector<std::uint8_t>& block, std::size_t length);

// Upper-case hexadecimal pairs of the bytes.
std::string HexPairs(const std::vector<std::uint8_t>& bytes);
// The bytes of hexadecimal pairs (either case); nothing when a character is not a digit or the
// count is odd.
std::optional<std::vector<std::uint8_t>> ParseHexPairs(const std::string& text);

}  // namespace kx7
