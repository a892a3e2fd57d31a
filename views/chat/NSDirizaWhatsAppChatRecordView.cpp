#include "views/chat/NSDirizaWhatsAppChatRecordView.h"

NSDirizaWhatsAppChatRecordView::NSDirizaWhatsAppChatRecordView(QWidget* parent) : QWidget(parent) {}
