#pragma once
#include <QMainWindow>

#include <functional>

// The main window. Closing it quits the application, after `closing` has run.
class MainWindow final : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    void SetClosing(std::function<void()> call) { closing = std::move(call); }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    std::function<void()> closing;
};
