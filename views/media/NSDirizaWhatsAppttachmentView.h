#pragma once
#include <QWidget>

// An empty page kept beside the WeChat chat view; nothing shows it.
class NSDirizaWhatsAppttachmentView : public QWidget {
  public:
    explicit NSDirizaWhatsAppttachmentView(QWidget* parent = nullptr);
};
