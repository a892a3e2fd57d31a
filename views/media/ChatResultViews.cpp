#include "views/media/ChatResultViews.h"

#include "views/media/NSDirizaAttachmentView.h"
#include "views/media/NSDirizaMusicView.h"
#include "views/media/NSDirizaPhotoView.h"
#include "views/media/NSDirizaVideoView.h"

std::unique_ptr<DirizaResultView> MakeChatResultView(int type, IPreviewService& preview,
                                                     IVoiceConverter& voice) {
    switch (type) {
    // Media grids.
    case DirizaResultView::Photo:
        return std::make_unique<NSDirizaPhotoView>(preview);
    case DirizaResultView::Video:
        return std::make_unique<NSDirizaVideoView>(preview);
    case DirizaResultView::VoiceMemo:
        return std::make_unique<NSDirizaMusicView>(preview);
    // Attachment views: the type chooses the source and the save folder.
    case DirizaResultView::SMSAttachment:
    case DirizaResultView::MemoAttachment:
    case DirizaResultView::WXAttachment: {
        auto view = std::make_unique<NSDirizaAttachmentView>(preview, voice);
        view->SetDirizaType(type);
        return view;
    }
    // WeChat views (contacts 12, chats 13) join here.
    default:
        return nullptr;
    }
}
