#include "core/util/FileBytes.h"

#include "core/util/RegularFile.h"

bool FileBytes::ReadAll(const std::string& path, std::string& out, size_t limit) {
    out.clear();
    RegularFile file;
    if (!file.OpenStoredPath(path)) return false;
    return file.ReadAll(out, limit);
}
