#include "app/recovery/SaveDestination.h"

#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// True when `inner` is `outer` or lies below it (both resolved).
bool Within(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty()) continue;
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

} // namespace

SaveDestination::Verdict SaveDestination::Check(const QString& folder, const QStringList& sources,
                                                const WritableProbe& writable) {
    if (folder.isEmpty()) return Verdict::Missing;
    std::error_code ec;
    const fs::path dest = fs::canonical(fs::path(folder.toStdString()), ec);
    if (ec) return Verdict::Missing;
    if (!fs::is_directory(dest, ec)) return Verdict::NotFolder;
    for (const QString& source : sources) {
        if (source.isEmpty()) continue;
        std::error_code sec;
        const fs::path s = fs::weakly_canonical(fs::path(source.toStdString()), sec);
        if (!sec && Within(dest, s)) return Verdict::InsideSource;
    }
    if (!writable || !writable(QString::fromStdString(dest.string()))) return Verdict::NotWritable;
    return Verdict::Ok;
}

bool SaveDestination::CanCreateFileIn(const QString& folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.write-probe-XXXXXX"));
    return probe.open(); // removed when it goes
}
