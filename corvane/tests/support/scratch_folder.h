// Files on disk for tests: a new empty folder under the system's temporary
// folder, removed with its content at the end of its scope, and a scope in
// which a folder is the current one (the host reads the package manifest by
// its relative name).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace CorvaneTest {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // Writes `content` as the whole file `name`, replacing what was there.
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary | std::ios::trunc) << content;
  }
  void Remove(const std::string& name) const { std::filesystem::remove(path_ / name); }

 private:
  std::filesystem::path path_;
};

class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace CorvaneTest
