#include "views/media/NSDirizaWXAttachmentView.h"

NSDirizaWXAttachmentView::NSDirizaWXAttachmentView(QWidget* parent) : QWidget(parent) {}
