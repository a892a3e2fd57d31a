#include "tests/kit/FolderSnapshot.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace kit {

namespace {
// FNV-1a over the file's bytes.
uint64_t hashFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    uint64_t h = 1469598103934665603ull;
    char buf[65536];
    while (in) {
        in.read(buf, sizeof buf);
        std::streamsize n = in.gcount();
        for (std::streamsize i = 0; i < n; ++i) {
            h ^= static_cast<unsigned char>(buf[i]);
            h *= 1099511628211ull;
        }
    }
    return h;
}
} // namespace

FolderSnapshot FolderSnapshot::Take(const std::filesystem::path& root) {
    FolderSnapshot snap;
    std::error_code ec;
    if (!std::filesystem::exists(root, ec)) return snap;
    auto record = [&](const std::filesystem::path& p, const std::string& name) {
        struct stat st {};
        if (lstat(p.c_str(), &st) != 0) return;
        Entry e;
        e.isDirectory = S_ISDIR(st.st_mode);
        e.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (!e.isDirectory) {
            e.size = static_cast<uint64_t>(st.st_size);
            e.contentHash = hashFile(p);
        }
        snap.entries[name] = e;
    };
    // The root itself: its time changes when a file is created in it and removed again.
    record(root, ".");
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        record(it->path(), std::filesystem::relative(it->path(), root, ec).string());
    }
    return snap;
}

std::string FolderSnapshot::DiffFrom(const FolderSnapshot& before) const {
    std::ostringstream out;
    for (const auto& [name, e] : entries) {
        auto it = before.entries.find(name);
        if (it == before.entries.end())
            out << "added " << name << "\n";
        else if (!(it->second == e))
            out << "changed " << name << "\n";
    }
    for (const auto& [name, e] : before.entries)
        if (!entries.count(name)) out << "removed " << name << "\n";
    return out.str();
}

} // namespace kit
