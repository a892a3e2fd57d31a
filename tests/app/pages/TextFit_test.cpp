// Every text readable: each page and each result view rendered offscreen at the window's
// default size, in each of the twelve languages, with the system font and with a font a
// quarter larger; a label, button or table header section whose text does not fit its
// width is a failure.
#include "gui/DirizaResultView.h"
#include "gui/NSLanguageText.h"
#include "app/pages/ApplicationResultViews.h"
#include "app/pages/NSDirizaTypeListCell.h"
#include "app/pages/NSDirizaView.h"
#include "app/pages/ViewController.h"
#include "gui/BackupText.h"
#include "gui/TableViewEvent.h"
#include "views/system/NSDirizaSMSView.h"
#include "views/system/SmsBubble.h"
#include "tests/app/pages/PageFixture.h"
#include "tests/kit/QtTestMain.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <typeinfo>

namespace {

// The window's default size (the application's first window).
constexpr QSize kWindowSize(980, 700);

int TextWidth(const QFontMetrics& fm, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

// The widget's class with the class of the result view or page holding it.
QString Name(const QWidget* w) {
    QString owner;
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        if (dynamic_cast<const DirizaResultView*>(p) || dynamic_cast<const NSDirizaView*>(p)) {
            owner = QString::fromLatin1(typeid(*p).name());
            break;
        }
    }
    return QStringLiteral("%1 in %2").arg(QString::fromLatin1(w->metaObject()->className()), owner);
}

// What of `root` shows a text cut off: "what: text (needs N, has M)".
QStringList Clipped(QWidget* root) {
    QStringList problems;
    for (QLabel* l : root->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(root) || l->text().isEmpty() || Qt::mightBeRichText(l->text())) continue;
        if (l->wordWrap()) {
            // A wrapped text needs the height of its lines, and room for its longest word.
            // (The label's minimum width is that of its longest unbreakable piece.)
            const int width = l->width();
            const int word = l->minimumSizeHint().width();
            const int height = l->heightForWidth(l->width());
            if (word > width || height > l->height())
                problems << QStringLiteral("%1: %2 (wrapped: needs %3x%4, has %5x%6)")
                                .arg(Name(l), l->text())
                                .arg(word)
                                .arg(height)
                                .arg(width)
                                .arg(l->height());
            continue;
        }
        const int need = TextWidth(l->fontMetrics(), l->text());
        const int have = l->contentsRect().width() - 2 * l->margin() - std::max(0, l->indent());
        if (need > have)
            problems
                << QStringLiteral("%1: %2 (needs %3, has %4)").arg(Name(l), l->text()).arg(need).arg(have);
    }
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(root) || b->text().isEmpty()) continue;
        if (!qobject_cast<QPushButton*>(b) && !qobject_cast<QCheckBox*>(b)) continue;
        const int need = b->sizeHint().width();
        if (need > b->width())
            problems << QStringLiteral("%1: %2 (needs %3, has %4)")
                            .arg(Name(b), b->text())
                            .arg(need)
                            .arg(b->width());
    }
    for (QHeaderView* h : root->findChildren<QHeaderView*>()) {
        if (!h->isVisibleTo(root) || !h->model() || h->orientation() != Qt::Horizontal) continue;
        const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
        for (int s = 0; s < h->count(); ++s) {
            if (h->isSectionHidden(s) || h->sectionSize(s) == 0) continue;
            const QString text = h->model()->headerData(s, Qt::Horizontal, Qt::DisplayRole).toString();
            if (text.isEmpty()) continue;
            const int need = TextWidth(h->fontMetrics(), text) + margin;
            if (need > h->sectionSize(s))
                problems << QStringLiteral("%1 section %2: %3 (needs %4, has %5)")
                                .arg(Name(h))
                                .arg(s)
                                .arg(text)
                                .arg(need)
                                .arg(h->sectionSize(s));
        }
    }
    return problems;
}

// Rows of the type list whose text the list cuts off.
QStringList TypeListClipped(NSDirizaView& page) {
    QStringList problems;
    QAbstractItemView* list = page.List();
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.font = list->font();
    option.fontMetrics = QFontMetrics(option.font);
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        // Measured here, not asked of the delegate: the text after the box and the icon.
        const bool head = index.data(NSDirizaTypeListCell::HeadRole).toBool();
        QFont font = list->font();
        font.setBold(head);
        const int need = NSDirizaTypeListCell::TextRect(QRect(), head).left() +
                         QFontMetrics(font).horizontalAdvance(index.data().toString()) + 4;
        const int have = list->visualRect(index).width();
        if (need > have)
            problems << QStringLiteral("type list row %1: %2 (needs %3, has %4)")
                            .arg(row)
                            .arg(index.data().toString())
                            .arg(need)
                            .arg(have);
    }
    return problems;
}

void DeliverSystemRecords(NSDirizaView& page) {
    const QString text = QStringLiteral("Quarterly planning meeting with the regional sales team");
    NSContactData contact;
    contact.setName(text);
    contact.setPhone(QStringLiteral("+49 30 1234567"));
    page.ScanContact({contact});
    NSBookmarksData bookmark;
    bookmark.setBookMarks(text);
    bookmark.setAddress(QStringLiteral("https://example.invalid/a/long/path"));
    page.ScanBookmarks(QList<NSBookmarksData>(12345, bookmark));
    NSCallLogData call;
    call.setName(text);
    call.setPhone(QStringLiteral("+49 30 1234567"));
    call.setLDataTime(1600000000);
    page.ScanCallLog({call});
    NSRemindersData note;
    note.setTitle(text);
    note.setContent(text);
    note.setLDataTime(1600000000);
    page.ScanMemo({note});
    NSCalendarData event;
    event.setTitle(text);
    event.setAddres(text);
    event.setLStartTime(1600000000);
    event.setLEndTime(1600003600);
    page.ScanCalendar({event});
    NSMemoData reminder;
    reminder.setTitle(text);
    reminder.setType(QStringLiteral("Work"));
    reminder.setLDataTime(1600000000);
    page.ScanReminders({reminder});
    NSSMSData message;
    message.setContent(text);
    message.setTime(QStringLiteral("2020/09/13 12:26:40"));
    NSSMSHeadData head;
    head.setPhone(QStringLiteral("+49 30 1234567"));
    head.setName(QStringLiteral("Anna"));
    head.setSMSDataList({message});
    page.ScanSMS({{head.Phone(), head}});
}

void Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Message bubbles that the SMS view's message list does not show whole: a bubble or its
// tail beyond the list's visible width, or a row too short for its wrapped text.
QStringList BubblesCut(NSDirizaSMSView& view) {
    QStringList problems;
    QListView* list = view.SMSContentList();
    const int width = list->viewport()->width();
    int nextTop = list->visualRect(list->model()->index(0, 0)).top();
    for (int row = 0; row < view.MessageModel().Count(); ++row) {
        const NSSMSData& message = *view.MessageModel().MessageAt(row);
        const QRect cell = list->visualRect(list->model()->index(row, 0));
        // Rows follow each other, each as tall as its message needs at this width.
        QFont rowFont = list->font();
        rowFont.setPixelSize(SmsPixelSize(message));
        if (cell.top() != nextTop || cell.height() < SmsRowHeight(message, width, rowFont))
            problems << QStringLiteral("message %1: row at %2, %3 high (expected at %4, %5 high)")
                            .arg(row)
                            .arg(cell.top())
                            .arg(cell.height())
                            .arg(nextTop)
                            .arg(SmsRowHeight(message, width, rowFont));
        nextTop = cell.bottom() + 1;
        const SmsCellLayout l = LayoutSmsCell(message, QSizeF(width, cell.height()));
        if (!l.bubble) continue;
        const QRectF drawn = makeBubble(l.bubbleRect, 5.0, l.position).boundingRect();
        QFont font = list->font();
        font.setPixelSize(l.pixelSize);
        const qreal text =
            BackupText::WrappedHeight(message.Content(), font, l.textRect.width(), SmsTextOption(message, l));
        if (drawn.left() < 0 || drawn.right() > width || text > l.textRect.height() ||
            !l.bubbleRect.contains(l.textRect))
            problems << QStringLiteral(
                            "message %1 (%2 wide, text %3 high): bubble %4..%5 in %6, text box %7x%8")
                            .arg(row)
                            .arg(message.Content().size())
                            .arg(text)
                            .arg(drawn.left())
                            .arg(drawn.right())
                            .arg(width)
                            .arg(l.textRect.width())
                            .arg(l.textRect.height());
    }
    return problems;
}

class TextFit : public ::testing::TestWithParam<double> {
  protected:
    void SetUp() override {
        base = QApplication::font();
        // A desktop's usual interface font (the offscreen default is smaller), then a
        // quarter larger.
        QFont f = base;
        f.setFamily(QStringLiteral("DejaVu Sans"));
        f.setPointSizeF(std::max(10.0, base.pointSizeF()) * GetParam());
        QApplication::setFont(f);
    }
    void TearDown() override {
        QApplication::setFont(base);
        NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    }
    // Runs `check` once per language and collects what it finds.
    void EachLanguage(const std::function<QStringList(int)>& check) {
        for (int language = 0; language < NSLanguageText::LanguageCount; ++language) {
            NSLanguageText::shareInstance()->setLanguage(language);
            const QStringList problems = check(language);
            EXPECT_TRUE(problems.isEmpty()) << "language " << language << ", font x" << GetParam() << ":\n  "
                                            << problems.join(QStringLiteral("\n  ")).toStdString();
        }
    }
    QFont base;
};

TEST_P(TextFit, HomePages) {
    kit::FakeDeviceManage manager;
    ViewController vc(manager, {});
    // As the application's window: sized to its English content when it opens, and kept
    // at that size when another language is chosen.
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    vc.setLanguage(NSLanguageText::English);
    vc.adjustSize();
    vc.setFixedSize(vc.size());
    vc.show();
    EachLanguage([&](int language) {
        vc.setLanguage(language);
        QStringList problems;
        for (QPushButton* road : {vc.DeviceButton(), vc.BackupButton()}) {
            road->click();
            Settle();
            problems << Clipped(&vc);
        }
        return problems;
    });
}

TEST_P(TextFit, RecoveryPageAndEveryResultView) {
    pagetest::FlagManager manager;
    ApplicationResultViews views;
    NSDirizaView page(manager, views.Factory());
    page.setWritableProbe([](const QString&) { return true; });
    // The page's room in the window: all of it but the header.
    page.resize(kWindowSize.width(), kWindowSize.height() - 100);
    page.show();
    page.StartScan(pagetest::Device(),
                   pagetest::Selection({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    // One record of each system kind, so every table shows its header; large counts
    // for the widest rows of the type list.
    DeliverSystemRecords(page);
    page.ScanEnd();
    ASSERT_TRUE(pagetest::WaitFor([&] {
        int counted = 0;
        for (const auto& r : page.TypeList().Rows())
            counted += !r.isTypeHead && r.nNum > 0;
        return counted >= 7;
    }));
    EachLanguage([&](int language) {
        page.setLanguage(language);
        Settle();
        QStringList problems = TypeListClipped(page);
        for (int row = 0; row < int(page.TypeList().Rows().size()); ++row) {
            page.SelectTypeListEvent(row);
            Settle();
            problems << Clipped(&page);
        }
        problems.removeDuplicates();
        return problems;
    });
}

// The SMS view at the window's first sizes, maximised and back, in a left-to-right and a
// right-to-left language: every bubble lies whole inside the message list.
TEST_P(TextFit, SmsBubblesLieInsideTheirPane) {
    pagetest::FlagManager manager;
    ApplicationResultViews views;
    NSDirizaView page(manager, views.Factory());
    page.setWritableProbe([](const QString&) { return true; });
    const QSize room(kWindowSize.width(), kWindowSize.height() - 100);
    page.resize(room);
    page.show();
    page.StartScan(pagetest::Device(), pagetest::Selection({0, 1, 2, 3, 4, 5, 6, 7}));
    QList<NSSMSData> messages;
    const QStringList texts = {
        QStringLiteral("Quarterly planning meeting with the regional sales team tomorrow morning at the "
                       "downtown office; please bring the updated spreadsheets and the presentation!"),
        QString::fromUtf8("明天上午十点在公司开会，请准时参加！明天上午十点在公司开会，请准时参加！"),
        QStringLiteral("Supercalifragilisticexpialidociousandevenlongerwordwithoutanyspaces here"),
        QString::fromUtf8("Sounds good, see you there！"),
        QString::fromUtf8("مرحبا، كيف حالك؟ أراك غدا في المكتب مع الفريق"),
        QStringLiteral("ok"),
    };
    for (int i = 0; i < texts.size(); ++i) {
        NSSMSData m;
        m.setContent(texts[i]);
        m.setAlignment(i % 2);
        messages << m;
    }
    NSSMSHeadData head;
    head.setPhone(QStringLiteral("+49 30 1234567"));
    head.setSMSDataList(messages);
    page.ScanSMS({{head.Phone(), head}});
    page.ScanEnd();
    auto* view = dynamic_cast<NSDirizaSMSView*>(page.ResultView(DirizaResultView::SMS));
    ASSERT_NE(nullptr, view);
    ASSERT_TRUE(pagetest::WaitFor([&] { return view->ConversationModel().rowCount() == 1; }));
    for (const int language : {int(NSLanguageText::English), int(NSLanguageText::Arabic)}) {
        NSLanguageText::shareInstance()->setLanguage(language);
        QGuiApplication::setLayoutDirection(language == NSLanguageText::Arabic ? Qt::RightToLeft
                                                                               : Qt::LeftToRight);
        page.setLanguage(language);
        for (int row = 0; row < int(page.TypeList().Rows().size()); ++row) {
            page.SelectTypeListEvent(row);
            if (view->isVisible()) break;
        }
        ASSERT_TRUE(view->isVisible());
        view->SelectRowEvent(0);
        ASSERT_EQ(texts.size(), view->MessageModel().Count());
        // Each text reads in its own direction whatever the interface's: "！" stays at the
        // end of the English sentence in Arabic, the Arabic one reads right to left in English.
        const NSSMSData& english = *view->MessageModel().MessageAt(3);
        const NSSMSData& arabic = *view->MessageModel().MessageAt(4);
        EXPECT_EQ(Qt::LeftToRight,
                  SmsTextOption(english, LayoutSmsCell(english, QSizeF(300, 40))).textDirection());
        EXPECT_EQ(Qt::RightToLeft,
                  SmsTextOption(arabic, LayoutSmsCell(arabic, QSizeF(300, 40))).textDirection());
        // The window as it first opens here and on a smaller screen, maximised, and back.
        for (const QSize size : {room, QSize(860, 520), QSize(1600, 900), room, QSize(760, 520)}) {
            page.resize(size);
            Settle();
            const QStringList problems = BubblesCut(*view);
            EXPECT_TRUE(problems.isEmpty())
                << "language " << language << ", " << size.width() << "x" << size.height() << ", list "
                << view->SMSContentList()->viewport()->width() << " wide:\n  "
                << problems.join(QStringLiteral("\n  ")).toStdString();
        }
    }
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
}

INSTANTIATE_TEST_SUITE_P(Fonts, TextFit, ::testing::Values(1.0, 1.25),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return info.param == 1.0 ? std::string("SystemFont") : std::string("LargerFont");
                         });

} // namespace

KIT_QT_TEST_MAIN(QApplication)
