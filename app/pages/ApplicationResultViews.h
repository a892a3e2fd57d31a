#pragma once
#include "app/pages/MediaPreviewService.h"
#include "app/pages/MediaVoiceConverter.h"
#include "app/recovery/ResultViewFactory.h"

// The result views of the application: the system tables, the SMS view, the media grids,
// the attachment view and the WeChat views, with the previews and the voice converter
// they use. Lives as long as the recovery page that takes its factory.
class ApplicationResultViews {
  public:
    // Views by type number (0 to 14): every type has its own.
    ResultViewFactory Factory();

  private:
    MediaPreviewService preview;
    MediaVoiceConverter voice;
};
