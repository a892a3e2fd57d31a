#include "views/system/SystemResultViews.h"

#include "views/system/NSDirizaBookmarksView.h"
#include "views/system/NSDirizaCalendarView.h"
#include "views/system/NSDirizaCallLogView.h"
#include "views/system/NSDirizaContactView.h"
#include "views/system/NSDirizaMemoView.h"
#include "views/system/NSDirizaRemindersView.h"
#include "views/system/SmsResultView.h"

std::unique_ptr<DirizaResultView> MakeSystemResultView(int type) {
    switch (type) {
    case DirizaResultView::SMS:
        return MakeSmsResultView();
    case DirizaResultView::CallLog:
        return std::make_unique<NSDirizaCallLogView>();
    case DirizaResultView::Contact:
        return std::make_unique<NSDirizaContactView>();
    case DirizaResultView::Bookmarks:
        return std::make_unique<NSDirizaBookmarksView>();
    case DirizaResultView::Reminders:
        return std::make_unique<NSDirizaMemoView>();
    case DirizaResultView::Notes:
        return std::make_unique<NSDirizaRemindersView>();
    case DirizaResultView::Calendar:
        return std::make_unique<NSDirizaCalendarView>();
    default:
        return nullptr;
    }
}
