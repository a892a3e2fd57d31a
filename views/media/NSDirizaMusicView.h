#pragma once
#include "views/media/MediaGridResultView.h"

// The grid of voice memos and other audio files by day; the play button plays the file. Saves copies into the
// localised "Music" folder.
class NSDirizaMusicView : public MediaGridResultView {
    Q_OBJECT
  public:
    explicit NSDirizaMusicView(IPreviewService& preview, QWidget* parent = nullptr, int pollMs = 1000);
    QString FolderName() const override;
};
