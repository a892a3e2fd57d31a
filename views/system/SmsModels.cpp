#include "views/system/SmsModels.h"

#include "gui/NSLanguageText.h"
#include "views/system/SmsBubble.h"
#include "views/system/SmsConversations.h"
#include "views/frame/SystemViewLook.h"

#include <QSize>

#include <cmath>

SmsConversationModel::SmsConversationModel(const SmsConversations& data, TickHandler onTick, QObject* parent)
    : QAbstractTableModel(parent), data_(data), onTick_(std::move(onTick)) {}

int SmsConversationModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : data_.Frame().ShownCount();
}

int SmsConversationModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SmsConversationModel::data(const QModelIndex& index, int role) const {
    const int record = data_.Frame().RecordAt(index.row());
    if (!index.isValid() || record < 0) return {};
    const NSSMSHeadData& head = data_.HeadAt(record);
    switch (index.column()) {
    case SelectCell:
        if (role == Qt::CheckStateRole) return data_.Frame().IsSelected(record) ? Qt::Checked : Qt::Unchecked;
        return {};
    case Phone:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return data_.KeyAt(record);
        break;
    case Name:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return head.Name().isEmpty() ? LanguageText("Unknown") : head.Name();
        break;
    default:
        return {};
    }
    if (role == Qt::ForegroundRole && head.bDelete()) return SystemViewLook::DeletedText();
    return {};
}

QVariant SmsConversationModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case Phone:
        return LanguageText("AllContactCell");
    case Name:
        return LanguageText("NameCell");
    default:
        return QString();
    }
}

Qt::ItemFlags SmsConversationModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == SelectCell) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool SmsConversationModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != SelectCell) return false;
    const int record = data_.Frame().RecordAt(index.row());
    if (record < 0) return false;
    if (onTick_) onTick_(data_.KeyAt(record), value.toInt() == Qt::Checked);
    return true;
}

void SmsConversationModel::Reload() {
    beginResetModel();
    endResetModel();
}

void SmsConversationModel::TicksChanged() {
    const int rows = rowCount();
    if (rows > 0) emit dataChanged(index(0, SelectCell), index(rows - 1, SelectCell), {Qt::CheckStateRole});
}

void SmsConversationModel::TextsChanged() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    const int rows = rowCount();
    if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
}

void SmsMessageModel::SetMessages(QList<NSSMSData> messages) {
    beginResetModel();
    messages_ = std::move(messages);
    heights_.clear();
    heights_.reserve(size_t(messages_.size()));
    for (const NSSMSData& m : messages_)
        heights_.push_back(int(std::ceil(getFontPixelHeight(m.Content()))));
    endResetModel();
}

const NSSMSData* SmsMessageModel::MessageAt(int row) const {
    if (row < 0 || row >= messages_.size()) return nullptr;
    return &messages_[row];
}

int SmsMessageModel::HeightAt(int row) const {
    if (row < 0 || row >= int(heights_.size())) return 0;
    return heights_[size_t(row)];
}

int SmsMessageModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(messages_.size());
}

QVariant SmsMessageModel::data(const QModelIndex& index, int role) const {
    const NSSMSData* m = MessageAt(index.row());
    if (!index.isValid() || m == nullptr) return {};
    switch (role) {
    case Qt::DisplayRole:
        return m->Content();
    case Qt::SizeHintRole:
        return QSize(1, HeightAt(index.row()));
    default:
        return {};
    }
}
