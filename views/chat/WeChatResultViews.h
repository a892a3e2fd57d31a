#pragma once
#include "gui/DirizaResultView.h"

#include <memory>

class IPreviewService;

// The WeChat result views: the chat view (type 13) and the contacts view (type 12);
// nullptr for any other type. The views open previews through `preview`, which must
// outlive them.
std::unique_ptr<DirizaResultView> MakeWeChatResultView(int type, IPreviewService& preview);
