#include "media/TxtPreView.h"

#include "platform/ProcessLog.h"
#include "media/MediaText.h"
#include "media/PreviewWindow.h"
#include "platform/ImageFileReader.h"
#include "platform/StoredFileReader.h"
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

TxtPreView::TxtPreView(QWidget* parent) : QWidget(parent, PreviewWindow::kFlags) {
    setObjectName(QStringLiteral("TxtPreView"));
    auto* layout = new QVBoxLayout(this);
    showText = new QPlainTextEdit(this);
    showText->setObjectName(QStringLiteral("ShowText"));
    showText->setReadOnly(true);
    layout->addWidget(showText);
    // The text view passes Esc on: it closes the window.
    PreviewWindow::SetTitle(this, "PreviewTextTitle");
    resize(560, 420);
}

TxtPreView* TxtPreView::shareInstance() {
    static TxtPreView* instance = new TxtPreView;
    return instance;
}

void TxtPreView::showWindow() {
    PreviewWindow::ShowInFront(this);
}

void TxtPreView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) PreviewWindow::Retitle(this);
    QWidget::changeEvent(event);
}

void TxtPreView::keyPressEvent(QKeyEvent* event) {
    if (PreviewWindow::IsCloseKey(event)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString TxtPreView::TextOf(const QByteArray& head, bool more) {
    qsizetype n = head.size();
    if (more) {
        // Do not cut a character in two: step back over continuation bytes to a lead byte.
        qsizetype i = n;
        int back = 0;
        while (i > 0 && back < 4 && (uchar(head[i - 1]) & 0xC0) == 0x80) {
            --i;
            ++back;
        }
        if (i > 0 && uchar(head[i - 1]) >= 0xC0) {
            const uchar lead = uchar(head[i - 1]);
            const int need = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
            if (back < need) n = i - 1;
        }
    }
    QString text = QString::fromUtf8(head.constData(), n);
    if (more) text += QStringLiteral("\n…");
    return text;
}

void TxtPreView::ShowTxtPreview(const QString& path) {
    QFile file;
    if (!StoredFileReader::Open(path, file)) {
        ProcessLog::Write(QStringLiteral("TxtPreView: %1 cannot be read").arg(path));
        showText->setPlainText(MediaText("FileIsNoExists"));
        return;
    }
    const QByteArray head = file.read(kMaxBytes);
    const bool more = !file.read(1).isEmpty();
    if (file.error() != QFileDevice::NoError) {
        ProcessLog::Write(QStringLiteral("TxtPreView: %1: %2").arg(path, file.errorString()));
        showText->setPlainText(MediaText("FileIsNoExists"));
        return;
    }
    showText->setPlainText(TextOf(head, more));
}
