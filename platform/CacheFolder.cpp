#include "platform/CacheFolder.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

fs::path PathOf(const QString& text) {
    return fs::path(text.toStdString()).lexically_normal();
}

bool IsRealFolder(const fs::path& p) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(p, ec);
    return !ec && fs::is_directory(st) && !fs::is_symlink(st);
}

} // namespace

bool CacheFolder::MakeNew(const QString& parentText, const QString& name) {
    if (parentText.isEmpty() || name.isEmpty() || name.contains(u'/') || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return false;
    const fs::path parent = PathOf(parentText);
    std::error_code ec;
    fs::create_directories(parent, ec);
    if (!IsRealFolder(parent)) return false;
    // create_directory reports false for a path that already exists (a folder, a file or
    // a link): only a folder made here counts.
    return fs::create_directory(parent / name.toStdString(), ec) && !ec;
}

bool CacheFolder::RemoveInside(const QString& folderText, const QString& rootText) {
    if (folderText.isEmpty() || rootText.isEmpty()) return false;
    const fs::path root = PathOf(rootText);
    const fs::path folder = PathOf(folderText);
    if (!root.is_absolute() || !folder.is_absolute()) return false;
    const fs::path relative = folder.lexically_relative(root);
    if (relative.empty() || relative == "." || *relative.begin() == "..") return false;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(folder, ec))) return true;
    // Every folder from the root down to the one removed is a real folder.
    fs::path step = root;
    for (const fs::path& part : relative) {
        step /= part;
        if (!IsRealFolder(step)) return false;
    }
    // remove_all removes links found inside as links; it does not descend through them.
    fs::remove_all(folder, ec);
    return !ec && !fs::exists(fs::symlink_status(folder, ec));
}
