#pragma once
#include <QAbstractTableModel>

#include <functional>

class NSDirizaWXChatRecordState;

// The friend table of the WeChat chat view: the shown account's friends with a tick
// box, the name (red when deleted), the date and the message count. Ticking a row goes
// to `onTick`; the view owns the state and reloads the model when it changes.
class NSDirizaWXChatFriendModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Select = 0, Friends = 1, Date = 2, AllNum = 3, ColumnCount = 4 };

    NSDirizaWXChatFriendModel(const NSDirizaWXChatRecordState& state,
                              std::function<void(int row, bool on)> onTick, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The state changed: every row anew.
    void Reload();
    // Ticks changed: the tick column anew.
    void TicksChanged();
    // The language changed.
    void TextsChanged();

  private:
    const NSDirizaWXChatRecordState& state_;
    std::function<void(int, bool)> onTick_;
};
