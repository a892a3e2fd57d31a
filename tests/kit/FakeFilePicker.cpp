#include "tests/kit/FakeFilePicker.h"

namespace kit {

FakeFilePicker::FakeFilePicker() {
    IFilePicker::SetCurrent(this);
}

FakeFilePicker::~FakeFilePicker() {
    if (&IFilePicker::Current() == this) IFilePicker::SetCurrent(nullptr);
}

QStringList FakeFilePicker::Choose(QWidget*, const Request& request) {
    requests.append(request);
    if (answers.empty()) return {};
    QStringList a = answers.front();
    answers.pop_front();
    return a;
}

} // namespace kit
