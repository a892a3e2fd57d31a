#include "views/system/SmsConversations.h"

void SmsConversations::SetData(const QMap<QString, NSSMSHeadData>& conversations) {
    keys_ = conversations.keys();
    heads_ = conversations.values();
    texts_.clear();
    texts_.reserve(size_t(heads_.size()));
    messageCount_ = 0;
    std::vector<char> deleted;
    deleted.reserve(size_t(heads_.size()));
    for (qsizetype i = 0; i < heads_.size(); ++i) {
        const NSSMSHeadData& head = heads_[i];
        Texts t;
        t.key = keys_[i].isEmpty() ? QString::fromUtf8("未知") : keys_[i].toLower();
        t.name = head.Name().toLower();
        t.messages.reserve(head.SMSDataList().size());
        for (const NSSMSData& m : head.SMSDataList())
            t.messages << m.Content().toLower();
        messageCount_ += head.SMSDataList().size();
        texts_.push_back(std::move(t));
        deleted.push_back(head.bDelete() ? 1 : 0);
    }
    frame_.SetRecords(std::move(deleted),
                      [this](int record, const QString& key) { return Matches(record, key); });
}

void SmsConversations::Clear() {
    SetData({});
}

bool SmsConversations::Matches(int record, const QString& key) const {
    const Texts& t = texts_[size_t(record)];
    if (t.key.contains(key)) return true;
    if (!t.name.isEmpty() && t.name.contains(key)) return true;
    for (const QString& m : t.messages)
        if (!m.isEmpty() && m.contains(key)) return true;
    return false;
}

bool SmsConversations::Search(const QString& key) {
    return frame_.SetSearchKey(key);
}

void SmsConversations::SetShowDeleteFile(bool onlyDeleted) {
    frame_.SetShowDeleteFile(onlyDeleted);
}

QList<NSSMSData> SmsConversations::MessagesOf(int record) const {
    if (record < 0 || record >= Count()) return {};
    const QList<NSSMSData>& all = heads_[record].SMSDataList();
    if (!frame_.IsSearching()) return all;
    const QString& key = frame_.SearchKey();
    const Texts& t = texts_[size_t(record)];
    if (t.key.contains(key) || (!t.name.isEmpty() && t.name.contains(key))) return all;
    QList<NSSMSData> hits;
    for (qsizetype i = 0; i < all.size(); ++i)
        if (!t.messages[i].isEmpty() && t.messages[i].contains(key)) hits << all[i];
    return hits;
}
