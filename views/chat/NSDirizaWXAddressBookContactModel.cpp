#include "views/chat/NSDirizaWXAddressBookContactModel.h"

#include "gui/NSLanguageText.h"
#include "views/chat/NSDirizaWXAddressBookState.h"
#include "views/chat/NSWXChatRecordCellImages.h"
#include "views/chat/NetworkImageFetcher.h"
#include "views/frame/SystemViewLook.h"

#include <QBrush>
#include <QPixmap>

NSDirizaWXAddressBookContactModel::NSDirizaWXAddressBookContactModel(const NSDirizaWXAddressBookState& state,
                                                                     NetworkImageFetcher& fetcher,
                                                                     std::function<void(int, bool)> onTick,
                                                                     QObject* parent)
    : QAbstractTableModel(parent), state_(state), fetcher_(fetcher), onTick_(std::move(onTick)) {}

int NSDirizaWXAddressBookContactModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(ids_.size());
}

int NSDirizaWXAddressBookContactModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant NSDirizaWXAddressBookContactModel::data(const QModelIndex& index, int role) const {
    const int id = IdAt(index.row());
    const NSAddressBookInfo* c = state_.Contact(id);
    if (!c) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return c->NickName();
    case Qt::CheckStateRole:
        return state_.IsTicked(id) ? Qt::Checked : Qt::Unchecked;
    case Qt::ForegroundRole:
        if (c->bDelete()) return QBrush(SystemViewLook::DeletedText());
        break;
    case Qt::DecorationRole: {
        QImage head = c->Head();
        if (head.isNull() && !c->URLImage().isEmpty()) head = fetcher_.Image(c->URLImage());
        if (head.isNull()) head = NSWXChatRecordCellImages::BundleImage("AddressBookInfo_logo");
        return QPixmap::fromImage(head.scaled(22, 22, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    default:
        break;
    }
    return {};
}

bool NSDirizaWXAddressBookContactModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int id = IdAt(index.row());
    if (id < 0 || role != Qt::CheckStateRole) return false;
    if (onTick_) onTick_(id, value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags NSDirizaWXAddressBookContactModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QVariant NSDirizaWXAddressBookContactModel::headerData(int section, Qt::Orientation orientation,
                                                       int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 0)
        return LanguageText("NameCell");
    return {};
}

void NSDirizaWXAddressBookContactModel::SetContacts(QList<int> ids) {
    beginResetModel();
    ids_ = std::move(ids);
    endResetModel();
}

void NSDirizaWXAddressBookContactModel::Refresh() {
    if (!ids_.isEmpty()) emit dataChanged(index(0, 0), index(int(ids_.size()) - 1, 0));
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}
