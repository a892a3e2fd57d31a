#pragma once
#include <cstddef>
#include <string>

// Whole-file reads of small backup files (session files, settings files, archives).
class FileBytes {
  public:
    // Largest file ReadAll takes.
    static constexpr size_t kDefaultLimit = size_t(64) << 20;

    // Reads a regular file whole into `out`. False (and `out` empty) when the file does
    // not open, is not a regular file, is larger than `limit` or a read fails.
    static bool ReadAll(const std::string& path, std::string& out, size_t limit = kDefaultLimit);
};
