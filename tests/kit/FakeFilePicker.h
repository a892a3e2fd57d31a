#pragma once
// A file picker that records every request and answers from a script, without a
// dialog. While it lives it is the current picker (IFilePicker::Current).
#include "platform/IFilePicker.h"

#include <QList>

#include <deque>

namespace kit {

class FakeFilePicker final : public IFilePicker {
  public:
    FakeFilePicker();
    ~FakeFilePicker() override;
    FakeFilePicker(const FakeFilePicker&) = delete;
    FakeFilePicker& operator=(const FakeFilePicker&) = delete;

    QStringList Choose(QWidget* parent, const Request& request) override;

    // The next answers, in order; an empty list (or none queued) is a cancel.
    void QueueAnswer(const QStringList& paths) { answers.push_back(paths); }
    const QList<Request>& Requests() const { return requests; }

  private:
    std::deque<QStringList> answers;
    QList<Request> requests;
};

} // namespace kit
