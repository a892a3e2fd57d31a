#pragma once
#include <cstddef>
#include <string>

// Whole-file reads of small backup files (session files, settings files, archives).
class FileBytes {
  public:
    // Largest file ReadAll takes.
    static constexpr size_t kDefaultLimit = size_t(64) << 20;

    // Reads a stored file of a backup, named by its full path, whole into `out`; it is
    // opened by RegularFile::OpenStoredPath (no link below the backup folder followed).
    // False (and `out` empty) when the file does not open, is not a regular file, is
    // larger than `limit` or a read fails.
    static bool ReadAll(const std::string& path, std::string& out, size_t limit = kDefaultLimit);
};
