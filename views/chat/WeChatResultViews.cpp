#include "views/chat/WeChatResultViews.h"

#include "views/chat/NSDirizaWXAddressBookView.h"
#include "views/chat/NSDirizaWXChatRecordView.h"

std::unique_ptr<DirizaResultView> MakeWeChatResultView(int type, IPreviewService& preview) {
    switch (type) {
    case DirizaResultView::WXChat:
        return std::make_unique<NSDirizaWXChatRecordView>(preview);
    case DirizaResultView::WXAddressBook:
        return std::make_unique<NSDirizaWXAddressBookView>();
    default:
        return nullptr;
    }
}
