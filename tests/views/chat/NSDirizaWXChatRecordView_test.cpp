// The WeChat chat view: deliveries, accounts and friends, the filter and both searches,
// ticks and what a save writes, the result-view contract, and offscreen rendering.
#include "views/chat/NSDirizaWXChatRecordView.h"
#include "views/chat/NSWXChatRecordContentCell.h"

#include "gui/NSLanguageText.h"
#include "gui/TableViewEvent.h"
#include "tests/kit/FakePreviewService.h"
#include "tests/kit/QtWeChatRecords.h"
#include "tests/kit/ResultViewContract.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/ChatTestMain.h"
#include "tests/views/chat/FakeImageFetcher.h"
#include "views/chat/NSDirizaWXChatFriendModel.h"
#include "views/chat/NSDirizaWXChatMessageModel.h"
#include "views/chat/WeChatResultViews.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QPalette>

#include <gtest/gtest.h>

using kit::QtWeChatRecords;

namespace {

QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

kit::FakePreviewService& Preview() {
    static kit::FakePreviewService preview;
    return preview;
}

// Delivers on a worker thread and waits for the view's report.
void Deliver(NSDirizaWXChatRecordView& view, kit::ContractDelegate& delegate,
             const QMap<QString, NSWXChatRecordData>& accounts) {
    const size_t before = delegate.Counts().size();
    std::thread worker([&] { view.AddDirizaFile(accounts); });
    worker.join();
    ASSERT_TRUE(kit::WaitUntil([&] { return delegate.Counts().size() > before; }));
}

NSWXChatRecordData Account(const QString& name,
                           const QList<std::pair<QString, NSWXChatFriendData>>& friends) {
    NSWXChatRecordData account;
    account.setAccount(name);
    for (const auto& [key, chat] : friends)
        account.addWXChatFriendObj(&chat, key);
    return account;
}

struct ChatViewFixture : ::testing::Test {
    FakeImageFetcher fetcher;
    NSDirizaWXChatRecordView view{Preview(), &fetcher};
    kit::ContractDelegate delegate;
    kit::ScratchFolder scratch{"wxview"};
    void SetUp() override { view.setDelegate(&delegate); }
    void TearDown() override { view.setDelegate(nullptr); }

    // Account "A": "Bob" (a text and a picture) and the deleted "Ann, Lee".
    QMap<QString, NSWXChatRecordData> BobAndAnn() {
        const QString picture = Q(scratch.path() / "pic.png");
        QtWeChatRecords::WritePicture(picture, 40, 30);
        auto pic = QtWeChatRecords::Message(3, 1, picture);
        pic.setResourcesFile(picture);
        return {
            {"A",
             Account("A",
                     {{"wxid_bob",
                       QtWeChatRecords::Chat("A", "Bob", {QtWeChatRecords::Message(1, 1, "hi"), pic})},
                      {"wxid_ann", QtWeChatRecords::Chat("A", "Ann, Lee",
                                                         {QtWeChatRecords::Message(1, 2, "yo")}, true)}})}};
    }
    QStringList CsvFiles(const QString& out, const QString& account) {
        return QDir(out + "/" + SaveFolder::SafeName(LanguageText("WXChatRecord")) + "/" + account)
            .entryList({"*.csv"}, QDir::Files, QDir::Name);
    }
    QStringList Friends() {
        QStringList names;
        for (int r = 0; r < view.FriendTable()->model()->rowCount(); ++r)
            names << view.FriendTable()->model()->index(r, 1).data().toString();
        return names;
    }
};

TEST_F(ChatViewFixture, SaveAllUsesEveryFriendWhateverTheFilter) {
    view.StartUpdateUI();
    EXPECT_TRUE(view.ShowsLoading());
    Deliver(view, delegate, BobAndAnn());
    EXPECT_EQ(3, delegate.Counts().back().second); // messages
    EXPECT_EQ(QStringList({"Bob", "Ann, Lee"}), Friends());
    view.AllSelect();
    EXPECT_TRUE(view.HeaderTicked());
    view.SetShowDeleteFile(true);
    EXPECT_EQ(QStringList({"Ann, Lee"}), Friends());
    const QString out = Q(scratch.path() / "out");
    QDir().mkpath(out);
    DirizaSaveResult result;
    std::thread saver([&] { result = view.DirizaData(out); });
    saver.join();
    EXPECT_EQ((DirizaSaveResult{2, 0}), result);
    EXPECT_EQ(QStringList({"Ann, Lee.csv", "Bob.csv"}), CsvFiles(out, "A"));
}

TEST_F(ChatViewFixture, APartialSelectionSavesExactlyTheTickedFriends) {
    Deliver(view, delegate, BobAndAnn());
    // The row's tick box.
    auto* model = view.FriendTable()->model();
    ASSERT_TRUE(model->setData(model->index(1, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(Qt::Checked, model->index(1, 0).data(Qt::CheckStateRole).toInt());
    EXPECT_FALSE(view.HeaderTicked());
    view.SetShowDeleteFile(true);
    EXPECT_TRUE(view.HeaderTicked()); // the only shown friend is ticked
    const QString out = Q(scratch.path() / "out");
    QDir().mkpath(out);
    EXPECT_EQ((DirizaSaveResult{1, 0}), view.DirizaData(out));
    EXPECT_EQ(QStringList({"Ann, Lee.csv"}), CsvFiles(out, "A"));
}

// "Show deleted only" shows the chats with recovered messages, each with those messages
// alone (the count column follows), and the deleted chats; turning it off brings every
// chat and message back. A save of a ticked chat still writes all its messages.
TEST_F(ChatViewFixture, TheDeletedFilterShowsRecoveredMessagesOnly) {
    using R = QtWeChatRecords;
    QMap<QString, NSWXChatRecordData> accounts{
        {"A",
         Account("A",
                 {{"wxid_bob", R::Chat("A", "Bob",
                                       {R::Message(1, 1, "live", 1), R::Message(1, 1, "gone", 2, true),
                                        R::Message(1, 2, "kept", 3)},
                                       true)},
                  {"wxid_carl", R::Chat("A", "Carl", {R::Message(1, 1, "all live", 4)})},
                  {"wxid_dan", R::Chat("A", "Dan", {R::Message(1, 1, "of a deleted chat", 5)}, true)}})}};
    Deliver(view, delegate, accounts);
    auto* model = static_cast<NSDirizaWXChatMessageModel*>(view.MessageList()->model());
    auto shown = [&] {
        QStringList texts;
        for (int r = 0; r < model->rowCount(); ++r)
            texts << model->MessageAt(r)->Content();
        return texts;
    };
    auto counts = [&] {
        QStringList texts;
        for (int r = 0; r < view.FriendTable()->model()->rowCount(); ++r)
            texts
                << view.FriendTable()->model()->index(r, NSDirizaWXChatFriendModel::AllNum).data().toString();
        return texts;
    };
    struct Step {
        bool filter;
        QStringList friends, counts, bobMessages;
    } steps[] = {
        {false, {"Bob", "Carl", "Dan"}, {"3", "1", "1"}, {"live", "gone", "kept"}},
        {true, {"Bob", "Dan"}, {"1", "1"}, {"gone"}},
        {true, {"Bob", "Dan"}, {"1", "1"}, {"gone"}}, // the same value twice changes nothing
        {false, {"Bob", "Carl", "Dan"}, {"3", "1", "1"}, {"live", "gone", "kept"}},
    };
    for (const Step& step : steps) {
        view.SetShowDeleteFile(step.filter);
        EXPECT_EQ(step.friends, Friends()) << step.filter;
        EXPECT_EQ(step.counts, counts()) << step.filter;
        view.SelectFriendsEvent(0);
        EXPECT_EQ(step.bobMessages, shown()) << step.filter;
    }
    view.SetShowDeleteFile(true);
    view.SelectFriendsEvent(1);
    EXPECT_EQ(QStringList({"of a deleted chat"}), shown());
    // Ticked under the filter, saved whole.
    auto* friends = view.FriendTable()->model();
    ASSERT_TRUE(friends->setData(friends->index(0, 0), Qt::Checked, Qt::CheckStateRole));
    const QString out = Q(scratch.path() / "out");
    QDir().mkpath(out);
    EXPECT_EQ((DirizaSaveResult{1, 0}), view.DirizaData(out));
    QFile csv(out + "/" + SaveFolder::SafeName(LanguageText("WXChatRecord")) + "/A/Bob.csv");
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.contains(",live,") && bytes.contains(",gone,") && bytes.contains(",kept,"));
}

TEST_F(ChatViewFixture, MessageSearchSkipsPicturesVoiceAndVideo) {
    auto call = QtWeChatRecords::Message(50, 1, "");
    call.setCallTime(125);
    QList<NSWXChatSMSData> messages;
    for (qint64 kind : {1, 3, 34, 43, 62, 48})
        messages << QtWeChatRecords::Message(kind, 1, QString("x%1 Key").arg(kind));
    messages << call;
    Deliver(view, delegate, {{"A", Account("A", {{"k", QtWeChatRecords::Chat("A", "Bob", messages)}})}});
    view.SelectFriendsEvent(0);
    EXPECT_EQ(7, view.MessageList()->model()->rowCount());
    view.SearchKey("KEY");
    EXPECT_EQ("KEY", view.GetSearchKey());
    QList<qint64> kinds;
    auto* model = static_cast<NSDirizaWXChatMessageModel*>(view.MessageList()->model());
    for (int r = 0; r < model->rowCount(); ++r)
        kinds << model->MessageAt(r)->eType();
    EXPECT_EQ((QList<qint64>{1, 62, 48}), kinds);
    // A call is found by the text it shows; the record keeps its content.
    view.SearchKey(":2:5");
    ASSERT_EQ(1, model->rowCount());
    EXPECT_EQ("", model->MessageAt(0)->Content());
    view.SearchKey("");
    EXPECT_EQ(7, model->rowCount());
}

TEST_F(ChatViewFixture, FriendSearchAndFilterChangeOnlyTheShownList) {
    auto data = BobAndAnn();
    data.insert(
        "B",
        Account("B", {{"c", QtWeChatRecords::Chat("B", "Carol", {QtWeChatRecords::Message(1, 1, "x")})}}));
    data.insert("C", Account("C", {})); // an account without friends
    Deliver(view, delegate, data);
    EXPECT_EQ(3, view.AccountBox()->count());
    view.TickFriend(0, true);
    // No match: every account stays in the box, each with no friends; the ticks stay.
    view.SearchKeyFGP("zzz");
    EXPECT_EQ(3, view.AccountBox()->count());
    EXPECT_EQ(0, view.AccountBox()->currentIndex());
    EXPECT_TRUE(Friends().isEmpty());
    EXPECT_TRUE(view.isSelectData());
    // Matches only in another account: that account is shown.
    view.SearchKeyFGP("AROL");
    EXPECT_EQ(1, view.AccountBox()->currentIndex());
    EXPECT_EQ(QStringList({"Carol"}), Friends());
    view.ClearSelect();
    // The filter leaves the search result shown and the ticks alone.
    view.TickFriend(0, true);
    view.SetShowDeleteFile(true);
    view.SelectAccountEvent(1);
    EXPECT_EQ(QStringList({"Carol"}), Friends());
    EXPECT_TRUE(view.isSelectData());
    view.SetShowDeleteFile(false);
    view.ClearSelect();
    view.SearchKeyFGP("");
    EXPECT_EQ(QStringList({"Bob", "Ann, Lee"}), Friends());
    // The same filter value twice changes nothing.
    view.SelectAccountEvent(1);
    view.SetShowDeleteFile(false);
    EXPECT_EQ(QStringList({"Carol"}), Friends());
    // An account without friends clears the header box.
    view.SelectAccountEvent(2);
    view.SelectAllFriendsEvent(true);
    EXPECT_FALSE(view.HeaderTicked());
    EXPECT_FALSE(view.isSelectData());
}

// Two accounts that both have a matching friend: the search stays on the account the
// user is on, and no tick is lost on the way (the ticked friends are still saved).
TEST_F(ChatViewFixture, FriendSearchStaysOnTheAccountAndKeepsTheTicks) {
    QMap<QString, NSWXChatRecordData> data;
    data.insert(
        "A",
        Account("A", {{"a1", QtWeChatRecords::Chat("A", "Anna", {QtWeChatRecords::Message(1, 1, "a")})},
                      {"a2", QtWeChatRecords::Chat("A", "Otto", {QtWeChatRecords::Message(1, 1, "o")})}}));
    data.insert(
        "B",
        Account("B", {{"b1", QtWeChatRecords::Chat("B", "Annie", {QtWeChatRecords::Message(1, 1, "b")})},
                      {"b2", QtWeChatRecords::Chat("B", "Zed", {QtWeChatRecords::Message(1, 1, "z")})}}));
    Deliver(view, delegate, data);
    view.SelectAccountEvent(1);
    view.AccountBox()->setCurrentIndex(1);
    view.SelectAllFriendsEvent(true); // Annie and Zed ticked
    ASSERT_TRUE(view.HeaderTicked());
    view.SearchKeyFGP("ann");
    EXPECT_EQ(1, view.AccountBox()->currentIndex());
    EXPECT_EQ(QStringList({"Annie"}), Friends());
    EXPECT_TRUE(view.isSelectData());
    EXPECT_TRUE(view.HeaderTicked());
    view.SearchKeyFGP("");
    EXPECT_EQ(1, view.AccountBox()->currentIndex());
    EXPECT_EQ(QStringList({"Annie", "Zed"}), Friends());
    EXPECT_TRUE(view.HeaderTicked());

    const QString out = Q(scratch.path() / "out");
    QDir().mkpath(out);
    std::thread saver([&] { view.DirizaData(out); });
    saver.join();
    EXPECT_EQ(2, CsvFiles(out, "B").size()) << CsvFiles(out, "B").join(",").toStdString();
    EXPECT_TRUE(CsvFiles(out, "A").isEmpty());
}

TEST_F(ChatViewFixture, AFullerDeliveryKeepsTheTicksOfFriendsThatRemain) {
    auto first = BobAndAnn();
    Deliver(view, delegate, first);
    view.TickFriend(0, true); // Bob
    view.TickFriend(1, true); // Ann, Lee
    auto fuller = first;
    NSWXChatRecordData a = Account(
        "A", {{"wxid_bob", QtWeChatRecords::Chat("A", "Bob", {QtWeChatRecords::Message(1, 1, "hi")})},
              {"wxid_new", QtWeChatRecords::Chat("A", "New", {QtWeChatRecords::Message(1, 1, "n")})}});
    fuller["A"] = a;
    fuller.insert("B", Account("B", {{"c", QtWeChatRecords::Chat("B", "Carol", {})}}));
    Deliver(view, delegate, fuller);
    EXPECT_TRUE(view.State().IsTicked("A", "wxid_bob"));
    EXPECT_EQ(1, view.State().TickedCount()); // Ann is gone with her tick
    EXPECT_EQ(2, delegate.Counts().back().second);
    // No account: "ScanNotData" and a count of 0.
    Deliver(view, delegate, {});
    EXPECT_TRUE(view.ShowsNoData());
    EXPECT_EQ(0, delegate.Counts().back().second);
    EXPECT_FALSE(view.isSelectData());
}

// In a message list narrower than a full bubble, long texts take rows as tall as the
// list's width needs, laid out one after the other also once a scroll bar has narrowed
// the list, and after the view is made wider and narrower again.
TEST_F(ChatViewFixture, RowsFollowTheListsWidth) {
    QList<NSWXChatSMSData> messages;
    const QString text = "Quarterly planning meeting with the regional sales team tomorrow morning at the "
                         "downtown office; please bring the updated spreadsheets and the presentation!";
    for (int i = 0; i < 8; ++i)
        messages << QtWeChatRecords::Message(1, 1 + i % 2, text);
    Deliver(view, delegate, {{"A", Account("A", {{"k", QtWeChatRecords::Chat("A", "Bob", messages)}})}});
    view.resize(560, 400);
    view.show();
    view.SelectFriendsEvent(0);
    QListView* list = view.MessageList();
    for (const QSize size : {QSize(560, 400), QSize(1400, 800), QSize(560, 400)}) {
        view.resize(size);
        ASSERT_TRUE(kit::WaitUntil([&] {
            QCoreApplication::processEvents();
            const int width = list->viewport()->width();
            int nextTop = list->visualRect(list->model()->index(0, 0)).top();
            for (int row = 0; row < list->model()->rowCount(); ++row) {
                const QRect cell = list->visualRect(list->model()->index(row, 0));
                if (cell.top() != nextTop ||
                    cell.height() < int(view.MessageCell()->RowHeight(messages[row], width)))
                    return false;
                nextTop = cell.bottom() + 1;
            }
            return true;
        })) << size.width()
            << "x" << size.height() << ", list " << list->viewport()->width() << " wide";
        EXPECT_TRUE(list->verticalScrollBar()->isVisible());
    }
}

TEST_F(ChatViewFixture, RendersInBothAppearances) {
    auto data = QtWeChatRecords::Chats(Q(scratch.path() / "media"));
    Deliver(view, delegate, data);
    view.SelectFriendsEvent(0);
    view.resize(1000, 700);
    for (bool dark : {false, true}) {
        QPalette palette = QApplication::palette();
        if (dark) {
            palette.setColor(QPalette::Window, QColor(40, 40, 40));
            palette.setColor(QPalette::WindowText, Qt::white);
        }
        view.setPalette(palette);
        const QImage shot = view.grab().toImage();
        ASSERT_FALSE(shot.isNull());
        EXPECT_EQ(QSize(1000, 700), shot.size());
        // The message list shows white bubbles.
        const QImage list = view.MessageList()->viewport()->grab().toImage();
        int white = 0;
        for (int y = 0; y < list.height(); y += 3)
            for (int x = 0; x < list.width(); x += 3)
                white += list.pixelColor(x, y) == QColor(Qt::white);
        EXPECT_GT(white, 100) << dark;
        EXPECT_EQ(dark ? QColor(33, 34, 35) : QColor(236, 236, 236),
                  view.MessageList()->palette().color(QPalette::Base));
    }
}

TEST(WeChatResultViews, MakesOnlyTheWeChatViews) {
    for (int type = 0; type < DirizaResultView::TypeCount; ++type) {
        auto view = MakeWeChatResultView(type, Preview());
        const bool ours = type == DirizaResultView::WXChat || type == DirizaResultView::WXAddressBook;
        EXPECT_EQ(ours, view != nullptr) << type;
        if (view) EXPECT_EQ(type, view->DirizaType());
    }
}

struct ChatViewTraits {
    static std::unique_ptr<DirizaResultView> Make() {
        return MakeWeChatResultView(DirizaResultView::WXChat, Preview());
    }
    static void Deliver(DirizaResultView& view, int records, const QString&) {
        QList<std::pair<QString, NSWXChatFriendData>> friends;
        friends.append(
            {"k0", QtWeChatRecords::Chat("../x\n", "../x\n", {QtWeChatRecords::Message(1, 1, "a")}, true)});
        if (records > 1)
            friends.append({"k1", QtWeChatRecords::Chat("../x\n", "/etc/passwd",
                                                        {QtWeChatRecords::Message(1, 1, "b")})});
        view.AddDirizaFile(QMap<QString, NSWXChatRecordData>{{"../x\n", Account("../x\n", friends)}});
    }
    static qint64 Count(int records) { return records; }
    // A later save into the same folder writes files of its own.
    static constexpr bool kWritesNewFilesOnSaveAgain = true;
};

} // namespace

namespace kit {
INSTANTIATE_TYPED_TEST_SUITE_P(WXChat, ResultViewContract, ::testing::Types<::ChatViewTraits>);
}

CHAT_TEST_MAIN(QApplication)
