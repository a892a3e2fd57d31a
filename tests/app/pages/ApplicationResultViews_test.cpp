// The application's result views: every type the recovery page shows gets its own view,
// with its type set.
#include "app/pages/ApplicationResultViews.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

TEST(ApplicationResultViews, EveryTypeHasItsOwnView) {
    ApplicationResultViews views;
    const ResultViewFactory factory = views.Factory();
    for (int type = 0; type < DirizaResultView::TypeCount; ++type) {
        SCOPED_TRACE(type);
        const std::unique_ptr<DirizaResultView> view = factory(type);
        ASSERT_NE(nullptr, view);
        EXPECT_EQ(type, view->DirizaType());
    }
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
