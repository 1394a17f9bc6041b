// kx7cli's exit codes, the same for every command (a download keeps its own result codes).
#pragma once

namespace kx7::cli {

inline constexpr int kExitDone = 0;
// No controller, a link failure, a procedure that failed or was refused, a controller-side error.
inline constexpr int kExitFailed = 1;
// A file cannot be opened or written.
inline constexpr int kExitCannotOpen = 4;
// A file or the standard input is rejected: wrong format, checksum, size, malformed lines.
inline constexpr int kExitRejected = 5;
// Bad usage: an unknown command or option, a missing or unusable argument (sysexits' EX_USAGE).
inline constexpr int kExitUsage = 64;

}  // namespace kx7::cli
