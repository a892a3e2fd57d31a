// The application's result views: every type the recovery page shows gets its real view
// (never the plain stand-in), with its type set.
#include "app/common/PlaceholderResultView.h"
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
        EXPECT_EQ(nullptr, dynamic_cast<PlaceholderResultView*>(view.get()));
    }
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
