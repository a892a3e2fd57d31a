#include "media/PhotoPreView.h"

#include "media/MediaLog.h"
#include "media/MediaText.h"
#include "platform/ImageFileReader.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

PhotoPreView::PhotoPreView(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("PhotoPreView"));
    auto* layout = new QVBoxLayout(this);
    PhotoView = new QLabel(this);
    PhotoView->setObjectName(QStringLiteral("PhotoView"));
    PhotoView->setAlignment(Qt::AlignCenter);
    PhotoView->setMinimumSize(1, 1);
    Text = new QLabel(this);
    Text->setObjectName(QStringLiteral("Text"));
    Text->setAlignment(Qt::AlignCenter);
    Text->setWordWrap(true);
    layout->addWidget(PhotoView, 1);
    layout->addWidget(Text, 1);
    PhotoView->hide();
    Text->hide();
    resize(480, 360);
}

PhotoPreView* PhotoPreView::shareInstance() {
    static PhotoPreView* instance = new PhotoPreView;
    return instance;
}

void PhotoPreView::showWindow() {
    show();
    raise();
    activateWindow();
}

void PhotoPreView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange && Text->isVisible()) Text->setText(MediaText("NotResources"));
    QWidget::changeEvent(event);
}

void PhotoPreView::ShowPhotoFilePreview(const QString& path) {
    Text->hide();
    PhotoView->hide();
    QSize box(1920, 1080);
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) box = s->availableGeometry().size();
    QString why;
    QImage image;
    if (!QFileInfo(path).isFile())
        why = QStringLiteral("not a file");
    else
        image = ImageFileReader::Read(path, box, &why);
    if (image.isNull()) {
        mediaLog(QStringLiteral("PhotoPreView: %1 cannot be shown: %2").arg(path, why));
        PhotoView->clear();
        Text->setText(MediaText("NotResources"));
        Text->show();
        return;
    }
    PhotoView->setPixmap(QPixmap::fromImage(image));
    PhotoView->show();
    const QSize want = image.size().expandedTo(QSize(200, 150)) + QSize(24, 24);
    resize(want.boundedTo(box));
}
