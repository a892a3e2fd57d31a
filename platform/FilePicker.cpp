#include "platform/FilePicker.h"

#include <QFileDialog>

#include <atomic>

namespace {
std::atomic<IFilePicker*> injected{nullptr};
}

QStringList FilePicker::Choose(QWidget* parent, const Request& request) {
    QFileDialog dialog(parent, request.title, request.directory);
    if (request.chooseFolders && !request.chooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        if (!request.fileTypes.isEmpty()) {
            QStringList patterns;
            for (const QString& type : request.fileTypes) {
                patterns << QStringLiteral("*.") + type.toLower() << QStringLiteral("*.") + type.toUpper();
            }
            dialog.setNameFilter(patterns.join(QLatin1Char(' ')));
        }
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

IFilePicker& IFilePicker::Current() {
    if (IFilePicker* p = injected.load()) return *p;
    static FilePicker real;
    return real;
}

void IFilePicker::SetCurrent(IFilePicker* picker) {
    injected = picker;
}
