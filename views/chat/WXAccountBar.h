#pragma once

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// The bar above the WeChat views: the account's head image, the account box and the
// search field at the right. The widgets belong to `parent`.
class WXAccountBar {
  public:
    WXAccountBar(QWidget* parent, QBoxLayout* layout);

    QLabel* image = nullptr;
    QComboBox* accounts = nullptr;
    QLineEdit* search = nullptr;
};
