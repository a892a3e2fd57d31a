#pragma once
#include <filesystem>
#include <string>

namespace kit {

// A fresh, empty folder below the system's temporary folder, removed with everything in
// it when the object goes. Its name starts with `prefix`, then (inside a test) the test
// suite's and the test's names, then a unique tail: tests of one program may run at once
// in several processes. A folder that cannot be made is a test failure and leaves
// path() empty.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& prefix = "scratch");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

} // namespace kit
