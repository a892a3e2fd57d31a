#pragma once
#include <QWidget>

// An empty page kept beside the WeChat chat view; nothing shows it.
class NSDirizaWhatsAppChatRecordView : public QWidget {
  public:
    explicit NSDirizaWhatsAppChatRecordView(QWidget* parent = nullptr);
};
