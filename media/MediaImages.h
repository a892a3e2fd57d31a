#pragma once
#include <QIcon>
#include <QString>

class QWidget;

// The icon of an image of ours (":/images/<name>.svg"), its "_black" variant in the dark
// appearance of `widget`.
QIcon MediaIcon(const QString& name, const QWidget* widget);
