// The files behind "Select File ...", "<" and ">": after a file is chosen, every file of its folder
// with the same extension, sorted without regard to case; "<" and ">" step through them and stop
// at the ends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kx7::firmware {

class ImageFileList {
 public:
  // Lists the chosen file's folder and makes the file current.
  void Choose(const std::string& path);
  // The path moved to, or nothing at an end (the current file stays).
  std::optional<std::string> Previous();
  std::optional<std::string> Next();
  // The current path; empty before a choice.
  std::string Current() const;
  const std::vector<std::string>& Names() const { return names_; }

 private:
  std::string folder_;
  std::vector<std::string> names_;
  std::size_t current_ = 0;
};

}  // namespace kx7::firmware
