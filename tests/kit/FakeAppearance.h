#pragma once
// An appearance fixed by the test: light or dark for every widget. While it lives it
// is the current appearance (IAppearance::Current). Every question is counted.
#include "platform/IAppearance.h"

#include <atomic>

namespace kit {

class FakeAppearance final : public IAppearance {
  public:
    explicit FakeAppearance(bool dark = false);
    ~FakeAppearance() override;
    FakeAppearance(const FakeAppearance&) = delete;
    FakeAppearance& operator=(const FakeAppearance&) = delete;

    bool IsDark(const QWidget* widget) const override;
    void SetDark(bool value) { dark = value; }
    int Questions() const { return questions.load(); }

  private:
    std::atomic<bool> dark;
    mutable std::atomic<int> questions{0};
};

} // namespace kit
