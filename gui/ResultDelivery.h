#pragma once
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

// How a result view gets a scan's result from the scan thread to the GUI thread, the one
// rule for every view:
//  - a delivery is taken on any thread: Open at its start, Hand with its data at its end;
//  - a delivery is dropped when Begin (StartUpdateUI) or Clear (ClearData) came after
//    its Open; with AfterClear::Drop also every delivery until the next Begin;
//  - the latest delivery is handed to the GUI thread: with a timer (pollMs > 0) on the
//    timer's next tick (the timer runs from Begin, and from a delivery, until a delivery
//    is shown), else as soon as the GUI thread gets to it.
// The view's `show` runs on the GUI thread for every tick (or immediate hand-over); it
// calls Take, which runs the waiting delivery's store and tells whether there was one.
class ResultDelivery {
  public:
    enum class AfterClear { Take, Drop };
    using Ticket = quint64;

    // `view`: the receiver on the GUI thread (the hand-over is dropped once it is gone).
    ResultDelivery(QObject* view, int pollMs, AfterClear afterClear, std::function<void()> show);
    ~ResultDelivery();
    ResultDelivery(const ResultDelivery&) = delete;
    ResultDelivery& operator=(const ResultDelivery&) = delete;

    // GUI thread: a scan starts; deliveries opened before are dropped, the timer runs.
    void Begin();
    // GUI thread: the data goes; deliveries opened before are dropped, the timer stops.
    void Clear();

    // Any thread: the start of a delivery.
    Ticket Open() const { return generation_.load(); }
    // Any thread: the end of a delivery opened with `ticket`; `store` runs on the GUI
    // thread in Take, unless a later delivery replaces it or it is dropped.
    void Hand(Ticket ticket, std::function<void()> store);
    // Any thread: hands `data` over, to be moved into `slot` (a member of the view that
    // only the GUI thread touches).
    template <typename T> void Hand(Ticket ticket, T data, T& slot) {
        auto shared = std::make_shared<T>(std::move(data));
        Hand(ticket, [&slot, shared] { slot = std::move(*shared); });
    }

    // GUI thread: runs the waiting delivery's store and stops the timer; false (and
    // nothing changed) when no delivery waits.
    bool Take();
    // True while the timer runs (the view waits for a delivery to show).
    bool Waiting() const { return timer_.isActive(); }

  private:
    void Arrived(Ticket ticket, quint64 sequence, std::function<void()> store);

    QObject* view_;
    const bool timed_;
    const AfterClear afterClear_;
    std::function<void()> show_;
    QTimer timer_;
    std::atomic<Ticket> generation_{1};
    std::atomic<quint64> sequence_{0};
    // GUI thread only.
    bool open_ = true;
    std::function<void()> waiting_;
};
