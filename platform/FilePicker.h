#pragma once
#include "platform/IFilePicker.h"

// The picker as a QFileDialog.
class FilePicker final : public IFilePicker {
  public:
    QStringList Choose(QWidget* parent, const Request& request) override;
};
