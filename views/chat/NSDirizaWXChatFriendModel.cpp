#include "views/chat/NSDirizaWXChatFriendModel.h"

#include "gui/NSLanguageText.h"
#include "views/chat/NSDirizaWXChatRecordState.h"
#include "views/frame/SystemViewLook.h"

#include <QBrush>

NSDirizaWXChatFriendModel::NSDirizaWXChatFriendModel(const NSDirizaWXChatRecordState& state,
                                                     std::function<void(int, bool)> onTick, QObject* parent)
    : QAbstractTableModel(parent), state_(state), onTick_(std::move(onTick)) {}

int NSDirizaWXChatFriendModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : state_.FriendRows();
}

int NSDirizaWXChatFriendModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NSDirizaWXChatFriendModel::data(const QModelIndex& index, int role) const {
    const auto ref = state_.FriendAt(index.row());
    if (!ref.data) return {};
    switch (index.column()) {
    case Select:
        if (role == Qt::CheckStateRole)
            return state_.IsTicked(ref.account, ref.key) ? Qt::Checked : Qt::Unchecked;
        break;
    case Friends:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return ref.data->FrinedAccount();
        if (role == Qt::ForegroundRole && ref.data->bDelete()) return QBrush(SystemViewLook::DeletedText());
        break;
    case Date:
        if (role == Qt::DisplayRole) return ref.data->Date();
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        break;
    case AllNum:
        if (role == Qt::DisplayRole) return QString::number(ref.data->WXSMSData().size());
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        break;
    default:
        break;
    }
    return {};
}

bool NSDirizaWXChatFriendModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (index.column() != Select || role != Qt::CheckStateRole || !state_.FriendAt(index.row()).data)
        return false;
    if (onTick_) onTick_(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags NSDirizaWXChatFriendModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Select) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant NSDirizaWXChatFriendModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case Friends:
        return LanguageText("HaoYou");
    case Date:
        return LanguageText("WXTimeCell");
    case AllNum:
        return LanguageText("WXAllNumCell");
    default:
        return QString();
    }
}

void NSDirizaWXChatFriendModel::Reload() {
    beginResetModel();
    endResetModel();
}

void NSDirizaWXChatFriendModel::TicksChanged() {
    if (rowCount() > 0)
        emit dataChanged(index(0, Select), index(rowCount() - 1, Select), {Qt::CheckStateRole});
}

void NSDirizaWXChatFriendModel::TextsChanged() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}
