#include "app/pages/ApplicationResultViews.h"

#include "views/media/ChatResultViews.h"
#include "views/chat/WeChatResultViews.h"
#include "views/system/SystemResultViews.h"

ResultViewFactory ApplicationResultViews::Factory() {
    return [this](int type) -> std::unique_ptr<DirizaResultView> {
        if (auto view = MakeSystemResultView(type)) return view;
        if (auto view = MakeChatResultView(type, preview, voice)) return view;
        return MakeWeChatResultView(type, preview);
    };
}
