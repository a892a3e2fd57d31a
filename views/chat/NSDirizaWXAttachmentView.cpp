#include "views/chat/NSDirizaWXAttachmentView.h"

NSDirizaWXAttachmentView::NSDirizaWXAttachmentView(QWidget* parent) : QWidget(parent) {}
