#include "gui/TextFieldCopyPaste.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

void TextFieldCopyPaste::Install() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || app->findChild<TextFieldCopyPaste*>(QString(), Qt::FindDirectChildrenOnly)) return;
    app->installEventFilter(new TextFieldCopyPaste(app)); // owned by the application
}

bool TextFieldCopyPaste::Handle(QObject* focus, const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::ControlModifier) return false;
    const bool copy = key.key() == Qt::Key_C, paste = key.key() == Qt::Key_V;
    if (!copy && !paste) return false;
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        if (copy) {
            line->copy();
        } else if (!line->isReadOnly()) {
            line->paste();
        }
        return true;
    }
    if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        if (copy) {
            text->copy();
        } else if (!text->isReadOnly()) {
            text->paste();
        }
        return true;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        if (copy) {
            plain->copy();
        } else if (!plain->isReadOnly()) {
            plain->paste();
        }
        return true;
    }
    return false;
}

bool TextFieldCopyPaste::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // Each receiver of a propagating key passes here: act at the focus widget only.
        QWidget* focus = QApplication::focusWidget();
        if (focus && watched == focus && Handle(focus, static_cast<const QKeyEvent&>(*event))) return true;
    }
    return QObject::eventFilter(watched, event);
}
