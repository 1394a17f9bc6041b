// A pseudo-terminal pair for tests: the slave side stands in for a COM port, the test plays the
// device on the master side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx7 {

class PtyPair {
 public:
  PtyPair() = default;
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;
  ~PtyPair();

  bool Open();
  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  bool WriteMaster(const std::vector<std::uint8_t>& bytes);
  // Reads what arrived on the master within `timeoutMs` until `count` bytes are there.
  std::vector<std::uint8_t> ReadMaster(std::size_t count, int timeoutMs);

 private:
  int master_ = -1;
  // Held open so the master does not see a hang-up while the program has the port closed.
  int slaveKeeper_ = -1;
  std::string slavePath_;
};

}  // namespace kx7
