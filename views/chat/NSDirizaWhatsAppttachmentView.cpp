#include "views/chat/NSDirizaWhatsAppttachmentView.h"

NSDirizaWhatsAppttachmentView::NSDirizaWhatsAppttachmentView(QWidget* parent) : QWidget(parent) {}
