#include "views/system/SmsResultView.h"

#include "views/system/NSDirizaSMSView.h"

std::unique_ptr<DirizaResultView> MakeSmsResultView() {
    return std::make_unique<NSDirizaSMSView>();
}
