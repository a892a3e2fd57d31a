// The SMS result view: conversations and their messages, the search inside the deleted
// filter, ticks, the CSV files of a save, late deliveries, and how it looks.
#include "views/system/NSDirizaSMSView.h"

#include "gui/NSLanguageText.h"
#include "gui/TableViewEvent.h"
#include "scan/LanguageTable.h"
#include "views/system/SmsResultView.h"
#include "views/frame/CsvWriter.h"
#include "tests/kit/FileSizeLimit.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ResultViewContract.h"
#include "tests/kit/ScratchFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QPalette>
#include <QTest>

#include <filesystem>
#include <functional>
#include <thread>

namespace {

class English : public ::testing::Environment {
  public:
    void SetUp() override { NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English); }
};
const auto* const english = ::testing::AddGlobalTestEnvironment(new English);

NSSMSData Msg(const QString& text, qint64 alignment, bool deleted = false,
              const QString& time = "2020/01/02 03:04:05") {
    NSSMSData m;
    m.setContent(text);
    m.setAlignment(alignment);
    m.setNType(alignment == 1 ? 1 : 0);
    m.setBDelete(deleted);
    m.setTime(time);
    return m;
}

NSSMSHeadData Head(const QString& key, const QString& name, bool deleted, QList<NSSMSData> messages) {
    NSSMSHeadData h;
    h.setPhone(key);
    h.setName(name);
    h.setBDelete(deleted);
    h.setSMSDataList(messages);
    return h;
}

// Four conversations, in key order: "" (no address), "+1555" Anna, "+1666" (deleted,
// no name), "+1777" Bob (only a line that is no message).
QMap<QString, NSSMSHeadData> Fixture() {
    QMap<QString, NSSMSHeadData> m;
    m.insert("", Head("", "", false, {Msg("who?", 0)}));
    m.insert("+1555", Head("+1555", "Anna", false, {Msg("Hello there", 0), Msg("See you", 1)}));
    m.insert("+1666",
             Head("+1666", "", true, {Msg("Old, deleted\nline", 1, true), Msg("hello again", 0, false, "")}));
    m.insert("+1777", Head("+1777", "Bob", false, {Msg("system line", 2)}));
    return m;
}

class Recorder : public NSDirizaDataUpdateDelegate {
  public:
    void UpdateDirizaFileNum(int type, qint64 num) override { counts.emplace_back(type, num); }
    void ViewisAllSelect(int type, bool on) override { allTicked.push_back(on); }
    std::vector<std::pair<int, qint64>> counts;
    std::vector<bool> allTicked;
};

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class SmsView : public ::testing::Test {
  protected:
    void SetUp() override {
        view.setDelegate(&recorder);
        view.resize(900, 500);
        std::filesystem::create_directory(scratch.path() / "out");
    }
    void TearDown() override { view.setDelegate(nullptr); }
    // StartUpdateUI, a delivery from the scan thread, then the timer's step.
    void Load(const QMap<QString, NSSMSHeadData>& data = Fixture()) {
        view.StartUpdateUI();
        Deliver(data);
        view.UpdataUiFinish();
    }
    void Deliver(const QMap<QString, NSSMSHeadData>& data) {
        std::thread scan([&] { view.AddDirizaFile(data); });
        scan.join();
        QCoreApplication::processEvents();
    }
    QStringList ShownKeys() const {
        QStringList keys;
        for (int r = 0; r < view.ConversationModel().rowCount(); ++r)
            keys << view.KeyAtRow(r);
        return keys;
    }
    int RowOf(const QString& key) const { return int(ShownKeys().indexOf(key)); }
    DirizaSaveResult Save() {
        DirizaSaveResult result;
        std::thread saver([&] { result = view.DirizaData(Out()); });
        saver.join();
        return result;
    }
    QString Out() const { return QString::fromStdString((scratch.path() / "out").string()); }
    QString SmsDir() const { return Out() + "/" + LanguageText("SMS"); }
    QStringList SavedFiles() const {
        return QDir(SmsDir()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

    kit::ScratchFolder scratch{"smsview"};
    Recorder recorder;
    NSDirizaSMSView view;
};

TEST_F(SmsView, ConversationsAndMessages) {
    view.StartUpdateUI();
    EXPECT_TRUE(view.ShowsLoading());
    EXPECT_EQ(LanguageText("ScanLoading"), view.InfoText());
    Load();
    ASSERT_EQ(1u, recorder.counts.size());
    EXPECT_EQ(std::make_pair(5, qint64(6)), recorder.counts[0]); // messages, not conversations
    EXPECT_FALSE(view.ShowsLoading());
    EXPECT_EQ(QStringList({"", "+1555", "+1666", "+1777"}), ShownKeys());

    const auto& model = view.ConversationModel();
    EXPECT_EQ(3, model.columnCount());
    EXPECT_EQ(LanguageText("AllContactCell"), model.headerData(1, Qt::Horizontal).toString());
    EXPECT_EQ(LanguageText("NameCell"), model.headerData(2, Qt::Horizontal).toString());
    struct {
        int row;
        QString phone, name;
        bool red;
    } rows[] = {{0, "", LanguageText("Unknown"), false},
                {1, "+1555", "Anna", false},
                {2, "+1666", LanguageText("Unknown"), true},
                {3, "+1777", "Bob", false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        EXPECT_EQ(r.phone, model.data(model.index(r.row, 1)).toString());
        EXPECT_EQ(r.name, model.data(model.index(r.row, 2)).toString());
        EXPECT_EQ(r.red, model.data(model.index(r.row, 1), Qt::ForegroundRole).isValid());
        EXPECT_EQ(Qt::Unchecked, model.data(model.index(r.row, 0), Qt::CheckStateRole).toInt());
    }

    // A click lists the conversation's messages with their measured heights.
    view.SelectRowEvent(RowOf("+1555"));
    ASSERT_EQ(2, view.MessageModel().Count());
    EXPECT_EQ("Hello there", view.MessageModel().MessageAt(0)->Content());
    EXPECT_EQ(40, view.MessageModel().HeightAt(0));
    // Rows beyond the shown conversations change nothing.
    view.SelectRowEvent(4);
    view.SelectRowEvent(-1);
    EXPECT_EQ(2, view.MessageModel().Count());
    // The table's own selection: its row's messages, or none without one.
    view.PhoneList()->selectRow(RowOf("+1666"));
    view.SelectPhoneEvent();
    EXPECT_EQ("Old, deleted\nline", view.MessageModel().MessageAt(0)->Content());
    view.PhoneList()->clearSelection();
    view.SelectPhoneEvent();
    EXPECT_EQ(0, view.MessageModel().Count());
    view.SelectRowEvent(RowOf("+1555"));
    // The filter drops the listed messages.
    view.SetShowDeleteFile(true);
    EXPECT_EQ(0, view.MessageModel().Count());
    EXPECT_EQ(QStringList({"+1666"}), ShownKeys());
}

TEST_F(SmsView, MessagesFollowTheTableAfterClicksAndSearches) {
    // What the user did after opening "+1555", and what is listed then.
    struct Case {
        const char* step;
        std::function<void()> act;
        int messages;
    } cases[] = {
        {"a click below the last conversation",
         [this] {
             auto* table = view.PhoneList();
             const QRect last = table->visualRect(table->model()->index(table->model()->rowCount() - 1, 1));
             ASSERT_LT(last.bottom() + 20, table->viewport()->height());
             QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                               QPoint(last.center().x(), last.bottom() + 20));
         },
         0},
        {"a search, then the search cleared",
         [this] {
             view.SearchKey("hello");
             view.SearchKey(QString());
         },
         0},
        {"a search that hides the conversation", [this] { view.SearchKey("who?"); }, 0},
        {"a click on another conversation",
         [this] {
             auto* table = view.PhoneList();
             const QRect row = table->visualRect(table->model()->index(RowOf("+1666"), 1));
             QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row.center());
         },
         2},
    };
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        view.SearchKey(QString());
        Load();
        auto* table = view.PhoneList();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(RowOf("+1555"), 1)).center());
        ASSERT_EQ(2, view.MessageModel().Count());
        ASSERT_EQ("Hello there", view.MessageModel().MessageAt(0)->Content());
        c.act();
        EXPECT_EQ(c.messages, view.MessageModel().Count());
        if (c.messages) EXPECT_EQ("Old, deleted\nline", view.MessageModel().MessageAt(0)->Content());
    }
}

TEST_F(SmsView, AnEmptyDeliveryShowsNothingFound) {
    Load({});
    EXPECT_TRUE(view.ShowsNoData());
    EXPECT_EQ(LanguageText("ScanNotData"), view.InfoText());
    ASSERT_EQ(1u, recorder.counts.size());
    EXPECT_EQ(0, recorder.counts[0].second);
}

TEST_F(SmsView, SearchInsideTheFilter) {
    Load();
    struct {
        bool onlyDeleted;
        QString key;
        QStringList shown;
        QString open;     // a shown conversation to click
        int openMessages; // the messages it lists
    } cases[] = {
        {false, "", {"", "+1555", "+1666", "+1777"}, "+1555", 2},
        {false, "hello", {"+1555", "+1666"}, "+1555", 1}, // message texts are lower-cased too
        {false, "HELLO", {"+1555", "+1666"}, "+1666", 1},
        {true, "hello", {"+1666"}, "+1666", 1},
        {false, QString::fromUtf8("未"), {""}, "", 1}, // an empty address matches "未知"
        {false, "anna", {"+1555"}, "+1555", 2},        // a name hit lists the whole conversation
        {false, "+16", {"+1666"}, "+1666", 2},
        {false, "zzz", {}, "", 0},
        {true, "", {"+1666"}, "+1666", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key.toStdString() + (c.onlyDeleted ? " deleted only" : ""));
        view.SearchKey("");
        view.SetShowDeleteFile(c.onlyDeleted);
        view.SearchKey(c.key);
        EXPECT_EQ(c.shown, ShownKeys());
        EXPECT_EQ(c.key.toLower(), view.GetSearchKey());
        if (c.shown.isEmpty()) {
            EXPECT_TRUE(view.HeaderTicked()); // no conversation shown: the header is ticked
            continue;
        }
        view.SelectRowEvent(RowOf(c.open));
        EXPECT_EQ(c.openMessages, view.MessageModel().Count());
    }
    // Turning the filter on during a search searches among the deleted only.
    view.SetShowDeleteFile(false);
    view.SearchKey("hello");
    view.SetShowDeleteFile(true);
    EXPECT_EQ(QStringList({"+1666"}), ShownKeys());
    // An empty key ends the search; a second one changes nothing.
    view.SearchKey("");
    EXPECT_EQ(QStringList({"+1666"}), ShownKeys());
    view.SearchKey("");
    EXPECT_EQ("", view.GetSearchKey());
}

TEST_F(SmsView, TickingASearchHitSavesTheWholeConversation) {
    Load();
    view.SearchKey("there");
    ASSERT_EQ(QStringList({"+1555"}), ShownKeys());
    view.SelectRowEvent(0);
    EXPECT_EQ(1, view.MessageModel().Count());
    view.SelectSMSData("+1555");
    EXPECT_TRUE(view.HeaderTicked());
    EXPECT_EQ(std::vector<bool>{false}, recorder.allTicked);
    const auto result = Save();
    EXPECT_EQ((DirizaSaveResult{1, 0}), result);
    EXPECT_EQ(QStringList({"+1555.csv"}), SavedFiles());
    const QByteArray csv = Read(SmsDir() + "/+1555.csv");
    EXPECT_TRUE(csv.contains("Hello there"));
    EXPECT_TRUE(csv.contains("See you"));
}

TEST_F(SmsView, Ticks) {
    Load();
    // Ticking every conversation one by one is "everything ticked": the unfiltered save.
    for (const QString& key : ShownKeys())
        view.SelectSMSData(key);
    view.SelectSMSData("+1555"); // twice: still one tick
    EXPECT_EQ((std::vector<bool>{false, false, false, true, true}), recorder.allTicked);
    EXPECT_TRUE(view.HeaderTicked());
    view.RemoveSMSData("+1666");
    EXPECT_FALSE(view.HeaderTicked());
    EXPECT_FALSE(recorder.allTicked.back());
    // The model shows the ticks.
    const auto& model = view.ConversationModel();
    EXPECT_EQ(Qt::Checked, model.data(model.index(RowOf("+1555"), 0), Qt::CheckStateRole).toInt());
    EXPECT_EQ(Qt::Unchecked, model.data(model.index(RowOf("+1666"), 0), Qt::CheckStateRole).toInt());
    // A tick through the model reaches the view.
    const_cast<SmsConversationModel&>(model).setData(model.index(RowOf("+1666"), 0), Qt::Checked,
                                                     Qt::CheckStateRole);
    EXPECT_TRUE(recorder.allTicked.back());

    // The header ticks the shown conversations only.
    view.ClearSelect();
    EXPECT_FALSE(view.isSelectData());
    view.SetShowDeleteFile(true);
    view.HeaderClicked();
    EXPECT_TRUE(view.HeaderTicked());
    EXPECT_FALSE(recorder.allTicked.back());
    EXPECT_EQ((DirizaSaveResult{1, 0}), Save());
    EXPECT_EQ(QStringList({"+1666.csv"}), SavedFiles());
    view.HeaderClicked();
    EXPECT_FALSE(view.isSelectData());

    // AllSelect ticks every record, the filtered ones too.
    view.AllSelect();
    EXPECT_TRUE(view.HeaderTicked());
    EXPECT_EQ((DirizaSaveResult{4, 0}), Save());
    // A new scan forgets the ticks.
    view.StartUpdateUI();
    EXPECT_FALSE(view.isSelectData());
    EXPECT_FALSE(view.HeaderTicked());
}

TEST_F(SmsView, CsvFilesWithHostileText) {
    QMap<QString, NSSMSHeadData> data;
    data.insert("+1666", Fixture().value("+1666"));
    data.insert("a/b", Head("a/b", "Doe, Jane", false,
                            {Msg("say \"hi\"\r\nnow", 0), Msg(QString::fromUtf8("你好 😀"), 1),
                             Msg("", 0, false, "")}));
    data.insert("a_b", Head("a_b", "", false, {Msg("x", 0)}));
    data.insert("..", Head("..", "", false, {Msg("dots", 0)}));
    data.insert("", Head("", "", false, {Msg("who?", 0)}));
    data.insert("+1777", Fixture().value("+1777"));
    data.insert("long", Head("long", "", false, {Msg(QString(10000, QLatin1Char('z')), 1)}));
    Load(data);
    view.AllSelect();
    EXPECT_EQ((DirizaSaveResult{7, 0}), Save());

    const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray header = LanguageText("SMSDataStruct").toUtf8() + "\n";
    const QByteArray sent = LanguageText("SMSState2").toUtf8(), received = LanguageText("SMSState1").toUtf8();
    const QByteArray del = LanguageText("Delete").toUtf8(), kept = LanguageText("NotDelete").toUtf8();
    const QByteArray unknown = LanguageText("Unknown").toUtf8();
    EXPECT_EQ(bom + header + "+1666," + unknown + ",2020/01/02 03:04:05," + sent + "," + del +
                  ",\"Old, deleted\nline\"\n" + "+1666," + unknown + ", ," + received + "," + kept +
                  ",hello again\n",
              Read(SmsDir() + "/+1666.csv"));
    EXPECT_EQ(bom + header + "a/b,\"Doe, Jane\",2020/01/02 03:04:05," + received + "," + kept +
                  ",\"say \"\"hi\"\"\r\nnow\"\n" + "a/b,\"Doe, Jane\",2020/01/02 03:04:05," + sent + "," +
                  kept + "," + QString::fromUtf8("你好 😀").toUtf8() + "\n" + "a/b,\"Doe, Jane\", ," +
                  received + "," + kept + ", \n",
              Read(SmsDir() + "/a_b.csv"));
    // Keys that come out alike get their own files; the empty key is "Unknown".
    EXPECT_TRUE(Read(SmsDir() + "/a_b (2).csv").endsWith(",x\n"));
    EXPECT_TRUE(Read(SmsDir() + "/_.csv").endsWith(",dots\n"));
    EXPECT_EQ(bom + header + unknown + "," + unknown + ",2020/01/02 03:04:05," + received + "," + kept +
                  ",who?\n",
              Read(SmsDir() + "/" + LanguageText("Unknown") + ".csv"));
    // Only lines that are messages: a conversation of other lines is the header alone.
    EXPECT_EQ(bom + header, Read(SmsDir() + "/+1777.csv"));
    EXPECT_TRUE(Read(SmsDir() + "/long.csv").contains(QByteArray(10000, 'z')));
    EXPECT_EQ(7, SavedFiles().size());

    // Saving again writes files of its own, each with one mark and one header; the first
    // save's files stay as they were.
    const QByteArray unknownFile = Read(SmsDir() + "/" + LanguageText("Unknown") + ".csv");
    EXPECT_EQ((DirizaSaveResult{7, 0}), Save());
    EXPECT_EQ(unknownFile, Read(SmsDir() + "/" + LanguageText("Unknown") + ".csv"));
    EXPECT_EQ(unknownFile, Read(SmsDir() + "/" + LanguageText("Unknown") + " (2).csv"));
    EXPECT_EQ(bom + header, Read(SmsDir() + "/+1777 (2).csv"));
    EXPECT_EQ(14, SavedFiles().size());
}

TEST_F(SmsView, AFailedFileIsCountedRemovedAndTheSaveGoesOn) {
    auto data = Fixture();
    data.insert("+1888", Head("+1888", "Big", false, {Msg(QString(20000, QChar(u'z')), 0)}));
    Load(data);
    view.AllSelect();
    // A name taken by a folder: the folder stays, the conversation takes the next name.
    ASSERT_TRUE(QDir().mkpath(SmsDir() + "/+1555.csv"));
    // Files may not grow beyond 4 KiB (a disk that fills): the big conversation's file
    // fails and is removed, the others are written.
    DirizaSaveResult cut;
    {
        const kit::FileSizeLimit limit(4096);
        if (!limit.Set()) GTEST_SKIP() << "file size limit not settable";
        cut = Save();
    }
    EXPECT_EQ((DirizaSaveResult{4, 1}), cut);
    EXPECT_TRUE(QFileInfo(SmsDir() + "/+1555.csv").isDir());
    EXPECT_TRUE(Read(SmsDir() + "/+1555 (2).csv").endsWith(",See you\n"));
    EXPECT_FALSE(QFileInfo::exists(SmsDir() + "/+1888.csv"));
    EXPECT_EQ(5, SavedFiles().size());
    Load(); // the fixture's four conversations
    view.AllSelect();
    // A stop after the first conversation writes that one only.
    struct Stopper : Recorder {
        bool isStopSave() override { return ++asked > 1; }
        int asked = 0;
    } stopper;
    view.setDelegate(&stopper);
    QDir(SmsDir()).removeRecursively();
    EXPECT_EQ((DirizaSaveResult{1, 0}), Save());
    EXPECT_EQ(1, SavedFiles().size());
    // A destination that vanished fails every conversation and writes nothing.
    view.setDelegate(&recorder);
    const QString gone = Out() + "/gone";
    DirizaSaveResult result;
    std::thread saver([&] { result = view.DirizaData(gone); });
    saver.join();
    EXPECT_EQ((DirizaSaveResult{0, 4}), result);
    EXPECT_FALSE(QFileInfo::exists(gone));
}

TEST_F(SmsView, LateDeliveriesAreDropped) {
    // One sent before a new scan started.
    view.StartUpdateUI();
    std::thread scan([&] { view.AddDirizaFile(Fixture()); });
    scan.join();
    view.StartUpdateUI();
    QCoreApplication::processEvents();
    view.UpdataUiFinish();
    EXPECT_TRUE(recorder.counts.empty());
    EXPECT_TRUE(view.ShowsLoading());

    // One that arrives after ClearData, and one sent after it.
    Load();
    ASSERT_EQ(1u, recorder.counts.size());
    std::thread late([&] { view.AddDirizaFile(Fixture()); });
    late.join();
    view.ClearData();
    QCoreApplication::processEvents();
    Deliver(Fixture());
    view.UpdataUiFinish();
    EXPECT_EQ(1u, recorder.counts.size());
    EXPECT_EQ(0, view.ConversationModel().rowCount());
    EXPECT_FALSE(view.isSelectData());

    // A new scan takes deliveries again; a later one of the same scan replaces the data.
    Load();
    Deliver({});
    view.UpdataUiFinish();
    ASSERT_EQ(3u, recorder.counts.size());
    EXPECT_EQ(0, recorder.counts.back().second);
    EXPECT_TRUE(view.ShowsNoData());
}

QPalette Dark() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 46, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(33, 34, 35));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    return p;
}

int CountColour(const QImage& image, const QColor& colour) {
    int n = 0;
    const QRgb want = colour.rgb();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (want & 0xFFFFFF)) ++n;
    return n;
}

TEST_F(SmsView, RendersInBothAppearances) {
    const QPalette light = QApplication::palette();
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        QApplication::setPalette(dark ? Dark() : light);
        NSDirizaSMSView v;
        v.resize(900, 400);
        v.StartUpdateUI();
        std::thread scan([&] { v.AddDirizaFile(Fixture()); });
        scan.join();
        QCoreApplication::processEvents();
        v.UpdataUiFinish();
        v.show();
        QCoreApplication::processEvents();
        // A click on +1555: one received, one sent.
        v.PhoneList()->setCurrentIndex(v.PhoneList()->model()->index(1, 1));
        QCoreApplication::processEvents();
        ASSERT_EQ(2, v.MessageModel().Count());
        const QImage image = v.grab().toImage();
        const QColor background = dark ? QColor(33, 34, 35) : QColor(236, 236, 236);
        EXPECT_GT(CountColour(image, background), 10000);
        EXPECT_GT(CountColour(image, QColor(0, 240, 81)), 500);    // the sent bubble
        EXPECT_GT(CountColour(image, QColor(228, 229, 235)), 500); // the received bubble
    }
    QApplication::setPalette(light);
}

TEST(SmsTexts, EveryTableNamesTheSixColumns) {
    for (int language = 0; language < NSLanguageText::LanguageCount; ++language) {
        const QString folder = NSLanguageText::FolderName(language);
        SCOPED_TRACE(folder.toStdString());
        const auto table = LanguageTable::ForLanguage(folder);
        ASSERT_TRUE(table.has_value());
        for (const char* key :
             {"SMS", "SMSDataStruct", "SMSState1", "SMSState2", "AllContactCell", "NameCell"})
            EXPECT_TRUE(table->Contains(QString::fromLatin1(key))) << key;
        // As many column names as a message line has fields.
        EXPECT_EQ(6, table->Text("SMSDataStruct").split(QLatin1Char(',')).size());
        EXPECT_EQ(6, CsvWriter::Line({"a", "b", "c", "d", "e", "f"}).count(',') + 1);
    }
}

// The promises every result view makes to the page.
struct SmsTraits {
    static std::unique_ptr<DirizaResultView> Make() { return MakeSmsResultView(); }
    static void Deliver(DirizaResultView& view, int records, const QString&) {
        QMap<QString, NSSMSHeadData> data;
        data.insert("../x\n", Head("../x\n", "../x\n", true, {Msg("first", 0, true)}));
        if (records > 1)
            data.insert("/etc/passwd", Head("/etc/passwd", "/etc/passwd", false, {Msg("second", 1)}));
        view.AddDirizaFile(data);
    }
    static qint64 Count(int records) { return records; }
    // Each save writes CSV files of its own.
    static constexpr bool kWritesNewFilesOnSaveAgain = true;
};

} // namespace

namespace kit {
INSTANTIATE_TYPED_TEST_SUITE_P(Sms, ResultViewContract, ::testing::Types<SmsTraits>);
}

KIT_QT_TEST_MAIN(QApplication)
