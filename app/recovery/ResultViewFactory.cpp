#include "app/recovery/ResultViewFactory.h"

#include "app/common/PlaceholderResultView.h"

ResultViewFactory DefaultResultViewFactory() {
    return [](int type) -> std::unique_ptr<DirizaResultView> { return std::make_unique<PlaceholderResultView>(type); };
}
