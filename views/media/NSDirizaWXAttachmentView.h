#pragma once
#include <QWidget>

// An empty page kept beside the WeChat chat view; nothing shows it.
class NSDirizaWXAttachmentView : public QWidget {
  public:
    explicit NSDirizaWXAttachmentView(QWidget* parent = nullptr);
};
