#pragma once
#include "views/media/MediaDayIndex.h"
#include "views/media/MediaGridModel.h"
#include "views/media/MediaPlayDispatcher.h"
#include "views/media/ThumbnailLoader.h"

#include <QHash>
#include <QListView>
#include <QString>
#include <QWidget>

#include <mutex>
#include <vector>

class MediaGridDelegate;

// One day-grouped grid of media files: a virtualised list in icon mode over the flat
// rows of its day index (full-width day headers, painted tiles), the ticks, the search
// and the previews. The index is guarded for the save thread, which reads the files to
// save; everything else runs on the GUI thread.
class MediaGrid : public QWidget {
    Q_OBJECT
  public:
    // Attachment: each file gets the tile of its kind (AttachmentKind).
    enum class Tile { Photo, Video, Music, Attachment };

    MediaGrid(Tile tile, MediaPlayDispatcher& player, QWidget* parent = nullptr);
    ~MediaGrid() override;

    Tile TileKind() const { return tile_; }
    // New data (built on the scan thread), with the excerpts of text files by position.
    void SetIndex(MediaDayIndex index, QHash<int, QString> excerpts = {});
    // The excerpts of the text files of `index` for video tiles (any thread: it reads
    // the start of each text file).
    static QHash<int, QString> TextExcerpts(const MediaDayIndex& index);
    void SetSearchKey(const QString& key);
    void SelectAll();
    void ClearSelection();
    int FileCount() const;
    int TickedCount() const;
    // The files a save writes (any thread): all when every file is ticked, else the
    // ticked ones.
    std::vector<NSFileData> FilesToSave() const;

    // What the user does (GUI thread); each sends TicksChanged when a tick changed.
    void ToggleFile(int file);
    void ToggleDay(const QString& day);
    void Activate(int file);

    // Read access to the index on the GUI thread (it changes only there).
    const MediaDayIndex& Index() const { return index_; }
    QString Excerpt(int file) const { return excerpts_.value(file); }
    ThumbnailLoader& Thumbnails() { return loader_; }
    QListView* List() const { return list_; }
    MediaGridModel& Model() { return *model_; }

  signals:
    void TicksChanged();

  private:
    Tile tile_;
    MediaPlayDispatcher& player_;
    mutable std::mutex mutex_;
    MediaDayIndex index_;
    QHash<int, QString> excerpts_;
    ThumbnailLoader loader_;
    MediaGridModel* model_ = nullptr;
    MediaGridDelegate* delegate_ = nullptr;
    QListView* list_ = nullptr;
};
