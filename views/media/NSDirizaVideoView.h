#pragma once
#include "views/media/MediaGridResultView.h"

// The grid of videos by day; the play button opens the video (or voice) preview, a text file's tile shows its
// start and opens the text preview. Saves copies into the localised "Video" folder.
class NSDirizaVideoView : public MediaGridResultView {
    Q_OBJECT
  public:
    explicit NSDirizaVideoView(IPreviewService& preview, QWidget* parent = nullptr, int pollMs = 1000);
    QString FolderName() const override;
};
