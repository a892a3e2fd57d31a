#pragma once
#include "views/chat/NSDirizaWXAddressBookState.h"

#include <QAbstractItemModel>

#include <functional>
#include <vector>

// The group tree of the shown WeChat account: each group with its tick box (on when
// every contact of it and of its subgroups is ticked), icon and name; the top groups
// take the name of their kind in the current language.
class NSDirizaWXAddressBookGroupModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    NSDirizaWXAddressBookGroupModel(
        const NSDirizaWXAddressBookState& state,
        std::function<void(const NSDirizaWXAddressBookState::Group&, bool)> onTick,
        QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Shows the groups of account `account` of the trees in force (-1: none).
    void SetAccount(int account);
    // The group of an index, or null.
    const NSDirizaWXAddressBookState::Group* GroupAt(const QModelIndex& index) const;
    // Ticks or texts changed.
    void Refresh();
    // The name a group shows.
    static QString ShownName(const NSDirizaWXAddressBookState::Group& group, bool top);

  private:
    struct Node {
        const NSDirizaWXAddressBookState::Group* group = nullptr;
        int parent = -1;
        int row = 0;
        std::vector<int> children;
    };
    void Add(const NSDirizaWXAddressBookState::Group& group, int parent, int row);

    const NSDirizaWXAddressBookState& state_;
    std::function<void(const NSDirizaWXAddressBookState::Group&, bool)> onTick_;
    std::vector<Node> nodes_;
    std::vector<int> roots_;
};
