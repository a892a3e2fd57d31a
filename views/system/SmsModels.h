#pragma once
#include "scan/NSSMSData.h"

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QList>

#include <functional>
#include <vector>

class SmsConversations;

// The conversation table: one row per shown conversation, columns tick, address, name.
// Reads the conversations of its owner (never on another thread than the GUI's).
class SmsConversationModel : public QAbstractTableModel {
  public:
    enum Column { SelectCell = 0, Phone = 1, Name = 2, ColumnCount = 3 };
    // Called when the user ticks (true) or unticks a row's box: the conversation key.
    using TickHandler = std::function<void(const QString& key, bool on)>;

    SmsConversationModel(const SmsConversations& data, TickHandler onTick, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The shown rows changed (search, filter, new data).
    void Reload();
    // The ticks changed: every tick box repaints.
    void TicksChanged();
    // The texts changed (language).
    void TextsChanged();

  private:
    const SmsConversations& data_;
    TickHandler onTick_;
};

// The messages of the clicked conversation. Row heights are measured once per message
// when the list is set.
class SmsMessageModel : public QAbstractListModel {
  public:
    explicit SmsMessageModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    void SetMessages(QList<NSSMSData> messages);
    void Clear() { SetMessages({}); }
    const NSSMSData* MessageAt(int row) const;
    int HeightAt(int row) const;
    int Count() const { return int(messages_.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    QList<NSSMSData> messages_;
    std::vector<int> heights_;
};
