#include "gui/ResultDelivery.h"

#include "gui/MainQueue.h"

ResultDelivery::ResultDelivery(QObject* view, int pollMs, AfterClear afterClear, std::function<void()> show)
    : view_(view), timed_(pollMs > 0), afterClear_(afterClear), show_(std::move(show)) {
    if (timed_) {
        timer_.setInterval(pollMs);
        QObject::connect(&timer_, &QTimer::timeout, view_, [this] { show_(); });
    }
}

ResultDelivery::~ResultDelivery() {
    timer_.stop();
}

void ResultDelivery::Begin() {
    ++generation_;
    open_ = true;
    waiting_ = nullptr;
    if (timed_ && !timer_.isActive()) timer_.start();
}

void ResultDelivery::Clear() {
    ++generation_;
    open_ = afterClear_ == AfterClear::Take;
    waiting_ = nullptr;
    timer_.stop();
}

void ResultDelivery::Hand(Ticket ticket, std::function<void()> store) {
    if (!store || ticket != generation_.load()) return;
    const quint64 sequence = ++sequence_;
    MainQueue::Post(view_, [this, ticket, sequence, store = std::move(store)]() mutable {
        Arrived(ticket, sequence, std::move(store));
    });
}

void ResultDelivery::Arrived(Ticket ticket, quint64 sequence, std::function<void()> store) {
    // Begun before the latest StartUpdateUI or ClearData, or after a ClearData that
    // closes the view: dropped.
    if (ticket != generation_.load() || !open_) return;
    waiting_ = std::move(store);
    if (timed_) {
        // A delivery after the data was shown starts the timer again.
        if (!timer_.isActive()) timer_.start();
    } else if (sequence == sequence_.load()) {
        // Without a timer only the latest shows: a later one is on its way otherwise.
        show_();
    }
}

bool ResultDelivery::Take() {
    if (!waiting_) return false;
    timer_.stop();
    std::function<void()> store = std::move(waiting_);
    waiting_ = nullptr;
    store();
    return true;
}
