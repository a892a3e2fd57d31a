#include "views/chat/WXAccountBar.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

WXAccountBar::WXAccountBar(QWidget* parent, QBoxLayout* layout) {
    auto* bar = new QHBoxLayout();
    image = new QLabel(parent);
    image->setFixedSize(30, 30);
    image->setScaledContents(true);
    accounts = new QComboBox(parent);
    accounts->setMinimumWidth(180);
    search = new QLineEdit(parent);
    search->setClearButtonEnabled(true);
    search->setMaximumWidth(240);
    bar->addWidget(image);
    bar->addWidget(accounts);
    bar->addStretch(1);
    bar->addWidget(search);
    layout->addLayout(bar);
}
