#pragma once
#include "gui/DirizaResultView.h"
#include "views/media/IPreviewService.h"
#include "views/media/IVoiceConverter.h"

#include <memory>

// The result views of chat and media data, by type number: photos (0), videos (1),
// SMS, notes and WeChat attachments (2, 3, 14), voice memos (4); nullptr for a type this
// library has no view of. The services must outlive the views.
std::unique_ptr<DirizaResultView> MakeChatResultView(int type, IPreviewService& preview,
                                                     IVoiceConverter& voice);
