// The WeChat contacts view: every contact counted once, group ticks over subgroups, what
// a save writes per account, searches and the filter, the contract, and rendering.
#include "views/chat/NSDirizaWXAddressBookView.h"

#include "gui/NSLanguageText.h"
#include "gui/SaveFolder.h"
#include "tests/kit/FileSizeLimit.h"
#include "tests/kit/QtWeChatRecords.h"
#include "tests/kit/ResultViewContract.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/ChatTestMain.h"
#include "tests/views/chat/FakeImageFetcher.h"
#include "views/chat/NSDirizaWXAddressBookContactModel.h"
#include "views/chat/NSDirizaWXAddressBookGroupModel.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QScrollArea>
#include <QTableView>
#include <QTreeView>

#include <gtest/gtest.h>

using kit::QtWeChatRecords;

namespace {

QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

QStringList Lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {"<missing>"};
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    QStringList lines = QString::fromUtf8(bytes).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

NSWXAddressBookData Group(const QString& name, qint64 type, QList<NSAddressBookInfo> contacts,
                          QList<NSWXAddressBookData> sub = {}) {
    NSWXAddressBookData g;
    g.setAddressBookName(name);
    g.setWXType(type);
    g.setAddressBook(std::move(contacts));
    g.setNextObj(std::move(sub));
    return g;
}

// Account "me": friends [A, B]; groups -> G [M1, M2, M3].
QList<NSWXChatAccount> Fixture() {
    NSWXChatAccount me;
    me.setKey("me");
    me.mutableAccountWXData() << Group(
        "Friends", 0, {QtWeChatRecords::Contact("me", "A"), QtWeChatRecords::Contact("me", "B")});
    me.mutableAccountWXData() << Group(
        "Groups", 2, {},
        {Group("G", 2,
               {QtWeChatRecords::Contact("me", "M1"), QtWeChatRecords::Contact("me", "M2"),
                QtWeChatRecords::Contact("me", "M3")})});
    return {me};
}

struct BookFixture : ::testing::Test {
    FakeImageFetcher fetcher;
    NSDirizaWXAddressBookView view{&fetcher};
    kit::ContractDelegate delegate;
    kit::ScratchFolder scratch{"wxbook"};
    QString out;
    void SetUp() override {
        view.setDelegate(&delegate);
        out = Q(scratch.path() / "out");
        QDir().mkpath(out);
    }
    void TearDown() override { view.setDelegate(nullptr); }
    void Deliver(const QList<NSWXChatAccount>* accounts) {
        const size_t before = delegate.Counts().size();
        std::thread worker([&] { view.AddDirizaFile(accounts); });
        worker.join();
        ASSERT_TRUE(kit::WaitUntil([&] { return delegate.Counts().size() > before; }));
    }
    int IdOf(const QString& nick) const {
        const auto& contacts = view.State().Contacts();
        for (size_t i = 0; i < contacts.size(); ++i)
            if (contacts[i].NickName() == nick) return int(i);
        return -1;
    }
    DirizaSaveResult Save() {
        DirizaSaveResult result;
        std::thread saver([&] { result = view.DirizaData(out); });
        saver.join();
        return result;
    }
    QString File(const QString& name) const { return out + "/" + SaveFolder::SafeName(name) + ".csv"; }
};

TEST_F(BookFixture, EveryContactCountsOnceAndTicksWriteExactlyThem) {
    const auto accounts = Fixture();
    Deliver(&accounts);
    EXPECT_EQ(3, delegate.Counts().back().second); // two friends and one group chat
    view.TickContact(IdOf("A"), true);
    view.TickContact(IdOf("B"), true);
    view.TickContact(IdOf("M1"), true);
    const auto result = Save();
    EXPECT_EQ((DirizaSaveResult{3, 0}), result);
    const QStringList lines = Lines(File(LanguageText("WXAddressBook") + "(me)"));
    ASSERT_EQ(4, lines.size());
    EXPECT_EQ(LanguageText("WXAddressBookDataStruct"), lines[0]);
    EXPECT_TRUE(lines[1].startsWith("A,,wxid_a,a_id,"));
    EXPECT_TRUE(lines[3].startsWith("M1,"));
    EXPECT_FALSE(QFile::exists(File(LanguageText("WXAddressBook"))));
}

TEST_F(BookFixture, AGroupTickHoldsSubgroupMembersOnce) {
    const auto accounts = QtWeChatRecords::Contacts();
    Deliver(&accounts);
    EXPECT_EQ(8, view.State().ContactCount());
    const auto& groups = view.State().InForce()[0].groups;
    ASSERT_EQ(3, groups.size());
    view.TickGroup(groups[2], true); // groups -> G [M1, M2, M3] -> G2 [N1]
    view.TickGroup(groups[2], true);
    EXPECT_EQ(4, view.State().TickedCount());
    EXPECT_TRUE(view.State().GroupTicked(groups[2]));
    EXPECT_TRUE(view.State().GroupTicked(groups[2].children[0]));
    EXPECT_FALSE(view.State().GroupTicked(groups[0]));
    // The group row's box follows.
    const QModelIndex top = view.GroupModel()->index(2, 0);
    EXPECT_EQ(Qt::Checked, top.data(Qt::CheckStateRole).toInt());
    EXPECT_EQ(LanguageText("Qun"), top.data().toString());
    EXPECT_EQ("G", view.GroupModel()->index(0, 0, top).data().toString());
    // Unticking a subgroup member unticks the group.
    view.TickContact(IdOf("N1"), false);
    EXPECT_FALSE(view.State().GroupTicked(groups[2]));
    // Everything ticked: one file with every contact, whatever the filter.
    view.AllSelect();
    view.SetShowDeleteFile(true);
    EXPECT_EQ((DirizaSaveResult{8, 0}), Save());
    EXPECT_EQ(9, Lines(File(LanguageText("WXAddressBook"))).size());
}

// The type list counts friends, official accounts and one per group chat; the members
// of a group chat are not counted again, however many chats they sit in.
TEST_F(BookFixture, TheCountHasOneRowPerGroupChat) {
    auto members = [](int n, const QString& prefix) {
        QList<NSAddressBookInfo> list;
        for (int i = 0; i < n; ++i)
            list << QtWeChatRecords::Contact("me", prefix + QString::number(i));
        return list;
    };
    auto account = [](const QString& key, QList<NSWXAddressBookData> groups) {
        NSWXChatAccount a;
        a.setKey(key);
        a.mutableAccountWXData() = std::move(groups);
        return a;
    };
    struct Case {
        const char* what;
        QList<NSWXChatAccount> accounts;
        int count;
    } cases[] = {
        {"friends only", {account("me", {Group("Friends", 0, members(2, "F"))})}, 2},
        {"one chat of three", Fixture(), 3},
        {"two chats sharing members, an official account",
         {account("me", {Group("Official", 1, members(1, "O")),
                         Group("Groups", 2, {},
                               {Group("G1", 2, members(3, "M")), Group("G2", 2, members(50, "M"))})})},
         3},
        {"two accounts",
         {account("me", {Group("Friends", 0, members(2, "F")),
                         Group("Groups", 2, {}, {Group("G", 2, members(4, "M"))})}),
          account("work", {Group("Friends", 0, members(1, "W")), Group("Official", 1, members(2, "O"))})},
         6},
    };
    for (const Case& c : cases) {
        Deliver(&c.accounts);
        EXPECT_EQ(c.count, delegate.Counts().back().second) << c.what;
    }
}

// The pane shows every field of the contact on its own line: the remark apart from the
// name, and the user name also when the WeChat id is set.
TEST_F(BookFixture, TheDetailPaneShowsEveryField) {
    NSWXChatAccount account;
    account.setKey("me");
    auto c = QtWeChatRecords::Contact("me", "Tom");
    c.setRemarkName("Uncle Tom");
    c.setWxDefaultId("wxid_tom");
    c.setWxId("tom_id");
    c.setAddress("Springfield");
    c.setPhone("555-0100");
    c.setSignature("Hello");
    auto bare = QtWeChatRecords::Contact("me", "Ann");
    bare.setWxId(QString());
    account.mutableAccountWXData() << Group("Friends", 0, {c, bare});
    const QList<NSWXChatAccount> accounts{account};
    Deliver(&accounts);
    ASSERT_EQ(IdOf("Tom"), view.ShownContact());
    EXPECT_EQ(QStringList({"Tom", "Uncle Tom", "wxid_tom", "tom_id", "Springfield", "555-0100", "Hello"}),
              view.InfoValues());
    view.SelectContactRow(1);
    EXPECT_EQ(QStringList({"Ann", "", "wxid_ann", "", "", "", "Signature of Ann"}), view.InfoValues());
}

// Account keys that come out as the same safe name ("a/b" and "a_b", or long keys
// sharing their first bytes) are written into a file each, never into one.
TEST_F(BookFixture, AccountsWhoseNamesComeOutTheSameGetAFileEach) {
    const QString longA = QString(230, QChar('k')) + "A", longB = QString(230, QChar('k')) + "B";
    const std::pair<QString, QString> pairs[] = {{"a/b", "a_b"}, {longA, longB}};
    for (const auto& [first, second] : pairs) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        QList<NSWXChatAccount> accounts;
        for (const QString& key : {first, second}) {
            NSWXChatAccount a;
            a.setKey(key);
            a.mutableAccountWXData() << Group(
                "Friends", 0,
                {QtWeChatRecords::Contact(key, "Of " + key.right(1)), QtWeChatRecords::Contact(key, "Z")});
            accounts << a;
        }
        Deliver(&accounts);
        view.TickContact(0, true); // one contact of each account, not everything
        view.TickContact(2, true);
        EXPECT_EQ((DirizaSaveResult{2, 0}), Save());
        const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
        ASSERT_EQ(2, files.size()) << files.join(" | ").toStdString();
        QStringList firsts;
        for (const QString& f : files) {
            EXPECT_LE(f.toUtf8().size(), SaveFolder::MaxNameBytes);
            const QStringList lines = Lines(out + "/" + f);
            ASSERT_EQ(2, lines.size()) << f.toStdString();
            firsts << lines[1].section(',', 0, 0);
        }
        firsts.sort();
        EXPECT_EQ(QStringList({"Of " + first.right(1), "Of " + second.right(1)}), firsts);
    }
}

TEST_F(BookFixture, AStopBeforeTheFirstContactLeavesTheHeaderOnly) {
    const auto accounts = Fixture();
    Deliver(&accounts);
    view.AllSelect();
    delegate.stopAfter = 0;
    EXPECT_EQ(DirizaSaveResult{}, Save());
    EXPECT_EQ(QStringList{LanguageText("WXAddressBookDataStruct")},
              Lines(File(LanguageText("WXAddressBook"))));
}

TEST_F(BookFixture, ContactsLostWhenTheFileClosesAreCountedFailed) {
    const auto accounts = Fixture();
    Deliver(&accounts);
    view.TickContact(IdOf("A"), true);
    view.TickContact(IdOf("M1"), true);
    // Files may not grow at all: the lines wait in the file's buffer and are lost when
    // it is closed.
    DirizaSaveResult result;
    {
        const kit::FileSizeLimit limit(0);
        if (!limit.Set()) GTEST_SKIP() << "file size limit not settable";
        result = Save();
    }
    EXPECT_EQ((DirizaSaveResult{0, 2}), result);
}

TEST_F(BookFixture, CellsAreCleanedAndNamesMadeSafe) {
    NSWXChatAccount account;
    account.setKey("a/b");
    auto c = QtWeChatRecords::Contact("a/b", "Nick, Name");
    c.setSignature("one, two\nthree");
    c.setURLImage("http://example.invalid/h.png");
    account.mutableAccountWXData() << Group("Friends", 0, {c, QtWeChatRecords::Contact("a/b", "Other")});
    const QList<NSWXChatAccount> accounts{account};
    Deliver(&accounts);
    view.TickContact(0, true);
    Save();
    const QStringList lines = Lines(File(LanguageText("WXAddressBook") + "(a_b)"));
    // Each cell as recovered, quoted per RFC 4180: the line feed stays inside its cell.
    ASSERT_EQ(3, lines.size());
    EXPECT_EQ("\"Nick, Name\",,\"wxid_nick, name\",\"nick, name_id\",,,\"one, two\nthree\"," +
                  LanguageText("NotDelete") + ",http://example.invalid/h.png",
              lines[1] + "\n" + lines[2]);
}

TEST_F(BookFixture, TheDetailPaneShowsNamesAsTheyAre) {
    // A nickname that looks like markup is shown as its characters, not rendered.
    const QString nick = "<b>Tom</b><img src=\"/etc/x.png\">";
    NSWXChatAccount account;
    account.setKey("me");
    auto c = QtWeChatRecords::Contact("me", nick);
    account.mutableAccountWXData() << Group("Friends", 0, {c});
    const QList<NSWXChatAccount> accounts{account};
    Deliver(&accounts);
    QLabel* name = nullptr;
    for (QLabel* label : view.findChildren<QLabel*>())
        if (!label->wordWrap() && label->text() == nick) name = label;
    ASSERT_NE(nullptr, name);
    // Rendered as markup it would be as wide as "Tom" and a picture.
    EXPECT_GE(name->sizeHint().width(), QFontMetrics(name->font()).horizontalAdvance(nick));
}

TEST_F(BookFixture, SearchesAndTheFilter) {
    const auto accounts = QtWeChatRecords::Contacts();
    Deliver(&accounts);
    auto shown = [&] {
        QStringList names;
        for (int id : view.ContactModel()->Ids())
            names << view.State().Contact(id)->NickName();
        return names;
    };
    EXPECT_EQ(QStringList({"A", "B"}), shown());
    // The page's search: ids, signatures, phones, and nicknames while the filter is off.
    view.SearchKey("555-01");
    EXPECT_EQ(QStringList({"A"}), shown());
    view.SetShowDeleteFile(true);
    EXPECT_TRUE(shown().isEmpty()); // A is not deleted
    view.SearchKey("b");
    EXPECT_EQ(QStringList({"B"}), shown()); // by id "b_id"
    view.SearchKey("");
    EXPECT_EQ(QStringList({"B"}), shown()); // the deleted ones
    view.SetShowDeleteFile(false);
    // The view's own field: nicknames only.
    view.SearchKeyFGP("m");
    EXPECT_TRUE(shown().isEmpty()); // the friends group has no M
    ASSERT_EQ(1, view.State().InForce()[0].groups.size());
    view.SearchKeyFGP("");
    EXPECT_EQ(QStringList({"A", "B"}), shown());
    EXPECT_EQ(2, view.AccountBox()->count());
    // An account whose groups hold no deleted contact is empty under the filter.
    view.SetShowDeleteFile(true);
    view.SelectAccountIndex(1);
    EXPECT_EQ(QStringList({"W1"}), shown());
}

TEST_F(BookFixture, ANullDeliveryShowsNoData) {
    view.StartUpdateUI();
    EXPECT_TRUE(view.ShowsLoading());
    Deliver(nullptr);
    EXPECT_TRUE(view.ShowsNoData());
    EXPECT_EQ(0, delegate.Counts().back().second);
    view.AllSelect();
    EXPECT_FALSE(view.isSelectData());
    EXPECT_EQ(DirizaSaveResult{}, Save());
}

TEST_F(BookFixture, HeadImagesComeFromTheFetcher) {
    auto accounts = Fixture();
    accounts[0].setHeadUrl("https://example.invalid/me.png");
    NSAddressBookInfo withHead = QtWeChatRecords::Contact("me", "H");
    withHead.setURLImage("http://example.invalid/h.png");
    accounts[0].mutableAccountWXData()[0].mutableAddressBook().prepend(withHead);
    Deliver(&accounts);
    view.resize(900, 600);
    view.grab();
    EXPECT_TRUE(fetcher.started.contains("https://example.invalid/me.png"));
    EXPECT_TRUE(fetcher.started.contains("http://example.invalid/h.png"));
    const int requests = fetcher.RequestCount();
    view.grab();
    EXPECT_EQ(requests, fetcher.RequestCount());
    // The picture arrives decoded off the GUI thread and is shown; the record keeps no copy.
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    fetcher.Answer("http://example.invalid/h.png", png);
    ASSERT_TRUE(kit::WaitUntil([&] {
        return fetcher.StateOf("http://example.invalid/h.png") == NetworkImageFetcher::State::Ready;
    }));
    EXPECT_TRUE(view.State().Contact(0)->Head().isNull());
}

// The detail pane in the room the recovery page gives the view in the window's first
// size: every value shows whole (a long region or signature wraps onto more lines, and
// the pane scrolls to it when the lines are more than its height), and the view asks
// for no more width than that room.
TEST_F(BookFixture, LongDetailsShowWholeInTheWindowsFirstSize) {
    const QSize room(620, 330);
    NSWXChatAccount account;
    account.setKey("me");
    auto c = QtWeChatRecords::Contact("me", "Sample Owner");
    c.setRemarkName("Uncle Tom from the market");
    c.setAddress("CN/Zhejiang/Hangzhou West Lake District");
    c.setPhone("+86 571 8888 0000");
    c.setSignature(QString::fromUtf8("人生如逆旅，我亦是行人。长风破浪会有时，直挂云帆济沧海。"));
    account.mutableAccountWXData() << Group("Friends", 0, {c});
    const QList<NSWXChatAccount> accounts{account};
    view.resize(room);
    view.show();
    Deliver(&accounts);
    QCoreApplication::processEvents();
    EXPECT_LE(view.minimumSizeHint().width(), room.width());
    view.resize(room);
    QCoreApplication::processEvents();
    ASSERT_EQ(view.size(), room);
    const QStringList values = view.InfoValues();
    ASSERT_EQ(c.Address(), values[4]);
    for (QLabel* label : view.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !values.contains(label->text())) continue;
        SCOPED_TRACE(label->text().toStdString());
        ASSERT_TRUE(label->isVisible());
        // Brought into view when the pane scrolls.
        for (QWidget* p = label->parentWidget(); p; p = p->parentWidget())
            if (auto* area = qobject_cast<QScrollArea*>(p)) area->ensureWidgetVisible(label, 0, 0);
        QCoreApplication::processEvents();
        const int needs =
            label->hasHeightForWidth() ? label->heightForWidth(label->width()) : label->sizeHint().height();
        EXPECT_GE(label->height(), needs);
        EXPECT_GE(label->width(), label->wordWrap() ? 1 : label->sizeHint().width());
        // Nothing of the text's lines is hidden behind the pane's or the view's edges.
        const QRect text(0, 0, label->width(), needs);
        EXPECT_TRUE(label->visibleRegion().contains(text))
            << "shows " << label->visibleRegion().boundingRect().width() << "x"
            << label->visibleRegion().boundingRect().height() << " of " << text.width() << "x"
            << text.height();
    }
}

TEST_F(BookFixture, RendersInBothAppearances) {
    const auto accounts = QtWeChatRecords::Contacts();
    Deliver(&accounts);
    view.resize(900, 600);
    for (bool dark : {false, true}) {
        QPalette palette = QApplication::palette();
        if (dark) palette.setColor(QPalette::Window, QColor(40, 40, 40));
        view.setPalette(palette);
        const QImage shot = view.grab().toImage();
        EXPECT_EQ(QSize(900, 600), shot.size());
        EXPECT_EQ(dark ? QColor(33, 34, 35) : QColor(236, 236, 236),
                  view.ContactTable()->palette().color(QPalette::Base));
        EXPECT_EQ(dark ? QColor(33, 34, 35) : QColor(236, 236, 236),
                  view.GroupTree()->palette().color(QPalette::Base));
    }
}

struct BookTraits {
    static std::unique_ptr<DirizaResultView> Make() { return std::make_unique<NSDirizaWXAddressBookView>(); }
    static void Deliver(DirizaResultView& view, int records, const QString&) {
        NSWXChatAccount account;
        account.setKey("../x\n");
        QList<NSAddressBookInfo> contacts{QtWeChatRecords::Contact("../x\n", "../x\n", true)};
        if (records > 1) contacts << QtWeChatRecords::Contact("../x\n", "/etc/passwd");
        account.mutableAccountWXData() << Group("Friends", 0, contacts);
        const QList<NSWXChatAccount> accounts{account};
        view.AddDirizaFile(&accounts);
    }
    static qint64 Count(int records) { return records; }
    // A later save into the same folder writes files of its own.
    static constexpr bool kWritesNewFilesOnSaveAgain = true;
};

} // namespace

namespace kit {
INSTANTIATE_TYPED_TEST_SUITE_P(WXAddressBook, ResultViewContract, ::testing::Types<::BookTraits>);
}

CHAT_TEST_MAIN(QApplication)
