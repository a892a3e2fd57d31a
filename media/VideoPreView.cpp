#include "media/VideoPreView.h"

#include "core/util/RegularFile.h"

#include "media/PreviewWindow.h"

#include "platform/ProcessLog.h"
#include "media/MediaText.h"
#include "media/MediaWorkFolder.h"
#include "media/PreviewWindow.h"
#include "media/QtMediaPlayer.h"

#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace {
VideoPreView* currentWindow = nullptr; // shown and not closed
VideoPreView* lastWindow = nullptr;    // made last, closed or not; owned here
MediaPlayerFactory& defaultPlayers() {
    static MediaPlayerFactory f;
    return f;
}
int deletionDelay = 2000;

std::filesystem::path FsPath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::filesystem::path(std::string(bytes.constData(), size_t(bytes.size())));
}
} // namespace

VideoPreView::VideoPreView(MediaPlayerFactory p, QWidget* parent)
    : QWidget(parent, PreviewWindow::kFlags), players(p ? std::move(p) : QtMediaPlayer::Factory()) {
    setObjectName(QStringLiteral("VideoPreView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    View = new QWidget(this);
    auto* inner = new QVBoxLayout(View);
    inner->setContentsMargins(0, 0, 0, 0);
    LoadingText = new QLabel(View);
    LoadingText->setObjectName(QStringLiteral("LoadingText"));
    LoadingText->setAlignment(Qt::AlignCenter);
    LoadingText->setWordWrap(true);
    LoadingText->hide();
    LoadAnimation = new QProgressBar(View);
    LoadAnimation->setRange(0, 0);
    LoadAnimation->setTextVisible(false);
    LoadAnimation->setMaximumHeight(8);
    LoadAnimation->hide();
    inner->addWidget(LoadingText, 1);
    inner->addWidget(LoadAnimation);
    layout->addWidget(View);
    PreviewWindow::SetTitle(this, "PreviewVideoTitle");
    resize(kFirstSize);
}

VideoPreView::~VideoPreView() {
    if (currentWindow == this) currentWindow = nullptr;
    if (lastWindow == this) lastWindow = nullptr;
    if (playView_) playView_->del();
}

VideoPreView* VideoPreView::shareInstance() {
    DropInstance();
    lastWindow = currentWindow = new VideoPreView(defaultPlayers());
    return currentWindow;
}

void VideoPreView::DropInstance() {
    if (!lastWindow) return;
    VideoPreView* old = lastWindow;
    old->CloesButtonEvent(); // its link goes later, on its own timer
    delete old;
}

VideoPreView* VideoPreView::current() {
    return currentWindow;
}
void VideoPreView::SetPlayerFactory(MediaPlayerFactory f) {
    defaultPlayers() = std::move(f);
}
void VideoPreView::SetDeletionDelay(int ms) {
    deletionDelay = ms;
}

void VideoPreView::showWindow() {
    PreviewWindow::ShowInFront(this);
}

void VideoPreView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        PreviewWindow::Retitle(this);
        if (LoadingText->isVisible()) LoadingText->setText(MediaText("FileIsNoExists"));
    }
    QWidget::changeEvent(event);
}

void VideoPreView::keyPressEvent(QKeyEvent* event) {
    if (PreviewWindow::IsCloseKey(event)) {
        CloesButtonEvent();
        return;
    }
    QWidget::keyPressEvent(event);
}

QRect VideoPreView::availableArea() const {
    return PreviewWindow::AvailableArea(this);
}

QRect VideoPreView::WindowGeometry(const QSize& natural, const QRect& screenArea, const QMargins& frame,
                                   const QRect& over) {
    // The client area the framed window may take.
    const QRect available = screenArea.marginsRemoved(frame);
    QSizeF size(natural.isValid() && !natural.isEmpty() ? natural : kFirstSize);
    const double scale = (size.width() > 1080 || size.height() > 720) ? 2.0 : 1.0;
    size /= scale;
    if (!available.isEmpty() && (size.width() > available.width() || size.height() > available.height()))
        size.scale(QSizeF(available.size()), Qt::KeepAspectRatio);
    QSize s = size.toSize().expandedTo(QSize(320, 200));
    if (!available.isEmpty()) s = s.boundedTo(available.size());
    if (over.isValid() && !over.isEmpty()) {
        const QPoint at = PreviewWindow::Place(s.grownBy(frame), over, screenArea);
        return QRect(at + QPoint(frame.left(), frame.top()), s);
    }
    const int x = available.x() + (available.width() - s.width()) / 2;
    const int y = available.y() + (available.height() - s.height()) / 2;
    return QRect(QPoint(x, y), s);
}

void VideoPreView::fail(const QString& why) {
    if (!why.isEmpty()) ProcessLog::Write(QStringLiteral("VideoPreView: %1").arg(why));
    LoadAnimation->hide();
    LoadingText->setText(MediaText("FileIsNoExists"));
    LoadingText->show();
}

void VideoPreView::ShowVideoFilePreView(const QString& path) {
    if (closed) return;
    // A stored file of the backup: opened once, without following a link below the backup
    // folder and never as a pipe; the player then reads that open file.
    auto stored = std::make_shared<RegularFile>();
    if (path.isEmpty() || !stored->OpenStoredPath(FsPath(path).string())) {
        fail(QStringLiteral("%1 does not exist or is not a regular file").arg(path));
        return;
    }
    const QString link = MediaWorkFolder::UniquePath(QStringLiteral("WXVideo-"), QStringLiteral(".mp4"));
    if (link.isEmpty()) {
        fail(QStringLiteral("no media work folder"));
        return;
    }
    storedVideo = stored;
    // The link names the open descriptor (/proc/<pid>/fd/<n>), which stays the file that
    // was opened whatever later happens at its path.
    const std::filesystem::path opened =
        "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(stored->Descriptor());
    std::error_code ec;
    if (std::filesystem::exists(opened, ec))
        std::filesystem::create_symlink(opened, FsPath(link), ec);
    else
        ec = std::make_error_code(std::errc::no_such_file_or_directory);
    LoadingText->hide();
    LoadAnimation->show();
    if (size() != kFirstSize) {
        resize(kFirstSize);
        PreviewWindow::Centre(this);
    }
    if (!ec) {
        deleteFilePath = link;
        load(link);
        return;
    }
    // No link possible here: copy on a worker thread, the window stays responsive.
    ProcessLog::Write(QStringLiteral("VideoPreView: no link for %1 (%2), copying")
                          .arg(path, QString::fromStdString(ec.message())));
    deleteFilePath = link;
    auto copied = std::make_shared<bool>(false);
    const std::string to = FsPath(link).string();
    QThread* worker = QThread::create([stored, to, copied] { *copied = stored->CopyTo(to); });
    QPointer<VideoPreView> self(this);
    connect(worker, &QThread::finished, this, [self, link, copied] {
        if (!self || self->closed) return;
        if (*copied)
            self->load(link);
        else
            self->fail(QStringLiteral("cannot copy the video to %1").arg(link));
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void VideoPreView::load(const QString& link) {
    playView_ = new XSMediaPlayer(players(true), View);
    playView_->setDelegate(this);
    playView_->setLoadedHandler([this] { onLoaded(); });
    static_cast<QVBoxLayout*>(View->layout())->insertWidget(0, playView_, 1);
    playView_->hide();
    playView_->setVideoAsset(link);
}

void VideoPreView::onLoaded() {
    if (!playView_ || closed) return;
    IMediaPlayer* p = playView_->player();
    if (!p || !p->hasVideo()) {
        playView_->hide();
        playView_->del();
        fail(QStringLiteral("%1 has no picture").arg(deleteFilePath));
        return;
    }
    LoadAnimation->hide();
    playView_->show();
    setGeometry(WindowGeometry(p->videoSize(), availableArea(), PreviewWindow::FrameOf(this),
                               PreviewWindow::AnchorFrame(this)));
}

void VideoPreView::PlayerStatusFailed() {
    if (playView_) {
        playView_->hide();
        ProcessLog::Write(QStringLiteral("VideoPreView: the video cannot be played: %1")
                              .arg(playView_->player() ? playView_->player()->error() : QString()));
        playView_->del();
    }
    fail(QString());
}

void VideoPreView::CloesButtonEvent() {
    if (closed) return;
    closed = true;
    LoadAnimation->hide();
    close();
    if (playView_) playView_->del();
    storedVideo.reset();
    if (!deleteFilePath.isEmpty()) {
        // Only this window's own link goes, whatever window is current by then.
        const QString path = deleteFilePath;
        QTimer::singleShot(deletionDelay, qApp, [path] { QFile::remove(path); });
        deleteFilePath.clear();
    }
    if (currentWindow == this) currentWindow = nullptr;
}

void VideoPreView::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!closed) CloesButtonEvent();
}
