#include "platform/StoredFileReader.h"

#include <unistd.h>

bool StoredFileReader::Open(const QString& path, QFile& file, RegularFile::Kind* found) {
    RegularFile stored;
    const QByteArray native = QFile::encodeName(path);
    if (path.isEmpty() || file.isOpen() ||
        !stored.OpenStoredPath(std::string(native.constData(), size_t(native.size())), found)) {
        if (found && path.isEmpty()) *found = RegularFile::Kind::Missing;
        return false;
    }
    const int fd = stored.Release();
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (found) *found = RegularFile::Kind::Other;
        return false;
    }
    return true;
}
