#include "views/chat/NSDirizaWXChatMessageModel.h"

#include "views/chat/NSWXChatRecordContentCell.h"

int NSDirizaWXChatMessageModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(messages_.size());
}

QVariant NSDirizaWXChatMessageModel::data(const QModelIndex& index, int role) const {
    const NSWXChatSMSData* m = MessageAt(index.row());
    if (!m) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return NSWXChatRecordContentCell::DisplayText(*m);
    return {};
}

void NSDirizaWXChatMessageModel::SetMessages(QList<NSWXChatSMSData> messages) {
    beginResetModel();
    messages_ = std::move(messages);
    endResetModel();
}

const NSWXChatSMSData* NSDirizaWXChatMessageModel::MessageAt(int row) const {
    return row >= 0 && row < messages_.size() ? &messages_[row] : nullptr;
}
