#pragma once
#include "scan/NSSMSHeadData.h"
#include "views/frame/ResultFrame.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

// The conversations of the SMS result, free of widgets: one record per conversation (in
// the key order of the delivered map), the deleted-only filter, the search, which
// messages of a conversation a search found, and the ticks.
//
// A search hit is either a whole conversation (its address, "未知" for an empty address,
// or its contact name contains the key) or the messages whose text contains it. Every
// side is compared lower-cased; the lower-cased texts are made once per delivery.
//
// Not thread-safe: the owner guards it.
class SmsConversations {
  public:
    // New data; clears the selection, the filter and the search.
    void SetData(const QMap<QString, NSSMSHeadData>& conversations);
    void Clear();

    int Count() const { return int(keys_.size()); }
    // The number of messages of all conversations.
    qint64 MessageCount() const { return messageCount_; }
    const QString& KeyAt(int record) const { return keys_[record]; }
    const NSSMSHeadData& HeadAt(int record) const { return heads_[record]; }
    const QStringList& Keys() const { return keys_; }
    const QList<NSSMSHeadData>& Heads() const { return heads_; }

    ResultFrame& Frame() { return frame_; }
    const ResultFrame& Frame() const { return frame_; }

    // The key becomes the search (lower-cased); "" ends it. True when the rows changed.
    bool Search(const QString& key);
    void SetShowDeleteFile(bool onlyDeleted);

    // The messages a shown conversation lists: only the hits when a search found some
    // of its messages, else all of them.
    QList<NSSMSData> MessagesOf(int record) const;

  private:
    struct Texts {
        QString key;          // lower-cased, "未知" when empty
        QString name;         // lower-cased
        QStringList messages; // lower-cased contents
    };
    bool Matches(int record, const QString& key) const;

    QStringList keys_;
    QList<NSSMSHeadData> heads_;
    std::vector<Texts> texts_;
    qint64 messageCount_ = 0;
    ResultFrame frame_;
};
