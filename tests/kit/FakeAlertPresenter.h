#pragma once
// An alert presenter that records every alert and answers from a script, without
// showing anything. While it lives it is the current presenter (IAlertPresenter::Current).
#include "platform/IAlertPresenter.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <deque>
#include <functional>

namespace kit {

class FakeAlertPresenter final : public IAlertPresenter {
  public:
    struct Shown {
        Alert alert;
        bool sheet = false;
        QPointer<QWidget> parent;
        int response = 0; // the answer given (0 while a sheet is held)
    };

    FakeAlertPresenter();
    ~FakeAlertPresenter() override;
    FakeAlertPresenter(const FakeAlertPresenter&) = delete;
    FakeAlertPresenter& operator=(const FakeAlertPresenter&) = delete;

    int RunModal(QWidget* parent, const Alert& alert) override;
    void BeginSheet(QWidget* window, const Alert& alert, std::function<void(int)> done) override;

    // The next answers, in order; when none is queued the answer is FirstButton.
    void QueueResponse(int response) { responses.push_back(response); }
    // When true, sheets wait for AnswerSheet instead of answering at once.
    bool holdSheets = false;
    // Answers the oldest held sheet; false when none is held.
    bool AnswerSheet(int response);

    const QList<Shown>& Alerts() const { return shown; }
    // The informative texts of every alert, in order.
    QStringList Texts() const;

  private:
    int NextResponse();

    std::deque<int> responses;
    QList<Shown> shown;
    std::deque<std::pair<qsizetype, std::function<void(int)>>> held;
};

} // namespace kit
