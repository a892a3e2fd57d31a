#include "app/pages/MainWindow.h"

#include <QCloseEvent>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing) closing();
    QMainWindow::closeEvent(event);
}
