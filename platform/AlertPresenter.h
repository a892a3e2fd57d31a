#pragma once
#include "platform/IAlertPresenter.h"

// Alerts as QMessageBox windows.
class AlertPresenter final : public IAlertPresenter {
  public:
    int RunModal(QWidget* parent, const Alert& alert) override;
    void BeginSheet(QWidget* window, const Alert& alert, std::function<void(int)> done) override;
};
