#include "tests/kit/FakeAlertPresenter.h"

namespace kit {

FakeAlertPresenter::FakeAlertPresenter() {
    IAlertPresenter::SetCurrent(this);
}

FakeAlertPresenter::~FakeAlertPresenter() {
    if (&IAlertPresenter::Current() == this) IAlertPresenter::SetCurrent(nullptr);
}

int FakeAlertPresenter::NextResponse() {
    if (responses.empty()) return FirstButton;
    int r = responses.front();
    responses.pop_front();
    return r;
}

int FakeAlertPresenter::RunModal(QWidget* parent, const Alert& alert) {
    const int r = NextResponse();
    shown.append({alert, false, parent, r});
    return r;
}

void FakeAlertPresenter::BeginSheet(QWidget* window, const Alert& alert, std::function<void(int)> done) {
    if (holdSheets) {
        shown.append({alert, true, window, 0});
        held.emplace_back(shown.size() - 1, std::move(done));
        return;
    }
    const int r = NextResponse();
    shown.append({alert, true, window, r});
    if (done) done(r);
}

bool FakeAlertPresenter::AnswerSheet(int response) {
    if (held.empty()) return false;
    auto [index, done] = std::move(held.front());
    held.pop_front();
    shown[index].response = response;
    if (done) done(response);
    return true;
}

QStringList FakeAlertPresenter::Texts() const {
    QStringList texts;
    for (const Shown& s : shown)
        texts << s.alert.informativeText;
    return texts;
}

} // namespace kit
