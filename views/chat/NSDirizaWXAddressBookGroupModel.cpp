#include "views/chat/NSDirizaWXAddressBookGroupModel.h"

#include "gui/NSLanguageText.h"
#include "views/chat/NSWXChatRecordCellImages.h"
#include "views/frame/SystemViewLook.h"

#include <QBrush>
#include <QIcon>
#include <QPixmap>

NSDirizaWXAddressBookGroupModel::NSDirizaWXAddressBookGroupModel(
    const NSDirizaWXAddressBookState& state,
    std::function<void(const NSDirizaWXAddressBookState::Group&, bool)> onTick, QObject* parent)
    : QAbstractItemModel(parent), state_(state), onTick_(std::move(onTick)) {}

void NSDirizaWXAddressBookGroupModel::Add(const NSDirizaWXAddressBookState::Group& group, int parent,
                                          int row) {
    const int id = int(nodes_.size());
    nodes_.push_back({&group, parent, row, {}});
    if (parent < 0)
        roots_.push_back(id);
    else
        nodes_[size_t(parent)].children.push_back(id);
    for (int i = 0; i < group.children.size(); ++i)
        Add(group.children[i], id, i);
}

void NSDirizaWXAddressBookGroupModel::SetAccount(int account) {
    beginResetModel();
    nodes_.clear();
    roots_.clear();
    const auto& accounts = state_.InForce();
    if (account >= 0 && account < accounts.size())
        for (int i = 0; i < accounts[account].groups.size(); ++i)
            Add(accounts[account].groups[i], -1, i);
    endResetModel();
}

QModelIndex NSDirizaWXAddressBookGroupModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    const std::vector<int>& list = parent.isValid() ? nodes_[size_t(parent.internalId())].children : roots_;
    if (size_t(row) >= list.size()) return {};
    return createIndex(row, column, quintptr(list[size_t(row)]));
}

QModelIndex NSDirizaWXAddressBookGroupModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const int p = nodes_[size_t(child.internalId())].parent;
    if (p < 0) return {};
    return createIndex(nodes_[size_t(p)].row, 0, quintptr(p));
}

int NSDirizaWXAddressBookGroupModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return int(roots_.size());
    return int(nodes_[size_t(parent.internalId())].children.size());
}

int NSDirizaWXAddressBookGroupModel::columnCount(const QModelIndex&) const {
    return 1;
}

const NSDirizaWXAddressBookState::Group*
NSDirizaWXAddressBookGroupModel::GroupAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() >= nodes_.size()) return nullptr;
    return nodes_[size_t(index.internalId())].group;
}

QString NSDirizaWXAddressBookGroupModel::ShownName(const NSDirizaWXAddressBookState::Group& group, bool top) {
    if (!top) return group.name;
    switch (group.type) {
    case 0:
        return LanguageText("HaoYou");
    case 1:
        return LanguageText("GongZhongHao");
    case 2:
        return LanguageText("Qun");
    default:
        return group.name;
    }
}

QVariant NSDirizaWXAddressBookGroupModel::data(const QModelIndex& index, int role) const {
    const NSDirizaWXAddressBookState::Group* group = GroupAt(index);
    if (!group) return {};
    const bool top = nodes_[size_t(index.internalId())].parent < 0;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return ShownName(*group, top);
    case Qt::CheckStateRole:
        return state_.GroupTicked(*group) ? Qt::Checked : Qt::Unchecked;
    case Qt::DecorationRole: {
        const QImage icon = NSWXChatRecordCellImages::BundleImage(
            group->ico.isEmpty() ? QStringLiteral("Group_ico") : group->ico);
        return icon.isNull() ? QVariant()
                             : QVariant(QPixmap::fromImage(
                                   icon.scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    case Qt::ForegroundRole:
        if (group->deleted) return QBrush(SystemViewLook::DeletedText());
        break;
    default:
        break;
    }
    return {};
}

bool NSDirizaWXAddressBookGroupModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const NSDirizaWXAddressBookState::Group* group = GroupAt(index);
    if (!group || role != Qt::CheckStateRole) return false;
    if (onTick_) onTick_(*group, value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags NSDirizaWXAddressBookGroupModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

void NSDirizaWXAddressBookGroupModel::Refresh() {
    // Every row's box and name, all levels.
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        const int rows = rowCount(parent);
        if (rows == 0) return;
        emit dataChanged(index(0, 0, parent), index(rows - 1, 0, parent));
        for (int r = 0; r < rows; ++r)
            walk(index(r, 0, parent));
    };
    walk(QModelIndex());
}
