#pragma once
#include "views/media/MediaGridResultView.h"

// The grid of photos, newest day first, with thumbnails; a click on a picture opens the photo preview. Saves
// copies into the localised "Photo" folder.
class NSDirizaPhotoView : public MediaGridResultView {
    Q_OBJECT
  public:
    explicit NSDirizaPhotoView(IPreviewService& preview, QWidget* parent = nullptr, int pollMs = 1000);
    QString FolderName() const override;
};
