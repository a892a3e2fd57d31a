#include "views/media/NSDirizaWhatsAppttachmentView.h"

NSDirizaWhatsAppttachmentView::NSDirizaWhatsAppttachmentView(QWidget* parent) : QWidget(parent) {}
