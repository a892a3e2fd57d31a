#include "tests/kit/FakeAppearance.h"

namespace kit {

FakeAppearance::FakeAppearance(bool dark) : dark(dark) {
    IAppearance::SetCurrent(this);
}

FakeAppearance::~FakeAppearance() {
    if (&IAppearance::Current() == this) IAppearance::SetCurrent(nullptr);
}

bool FakeAppearance::IsDark(const QWidget*) const {
    ++questions;
    return dark.load();
}

} // namespace kit
