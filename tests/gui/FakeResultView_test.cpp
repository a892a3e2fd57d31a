// The tests' fake result view keeps the same promises as every real view, so page tests
// that use it stand for the real ones.
#include "tests/kit/FakeResultView.h"

#include "tests/kit/QtTestMain.h"
#include "tests/kit/ResultViewContract.h"

#include <QApplication>

#include <memory>

namespace {

template <int TypeNumber> struct FakeTraits {
    static std::unique_ptr<DirizaResultView> Make() {
        return std::make_unique<kit::FakeResultView>(TypeNumber);
    }
    static void Deliver(DirizaResultView& view, int records, const QString&) {
        QList<NSCallLogData> calls;
        for (int i = 0; i < records; ++i) {
            NSCallLogData c;
            c.setBDelete(i == 0);
            c.setName(i == 0 ? QStringLiteral("../x\n") : QStringLiteral("/etc/passwd"));
            calls << c;
        }
        view.AddDirizaFile(calls);
    }
    static qint64 Count(int records) { return records; }
};

using FakeTypes = ::testing::Types<FakeTraits<6>, FakeTraits<13>>;
} // namespace
namespace kit {
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, ResultViewContract, ::FakeTypes);
} // namespace kit
namespace {

TEST(FakeResultViewTest, FailingEveryItemWritesNothing) {
    kit::ScratchFolder scratch("fakeview");
    kit::FakeResultView view(DirizaResultView::CallLog);
    FakeTraits<6>::Deliver(view, 2, QString());
    view.AllSelect();
    view.failEveryItem = true;
    const auto before = kit::FolderSnapshot::Take(scratch.path());
    EXPECT_EQ((DirizaSaveResult{0, 2}), view.DirizaData(QString::fromStdString(scratch.path().string())));
    EXPECT_EQ("", kit::FolderSnapshot::Take(scratch.path()).DiffFrom(before));
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
