// Every text readable: each page and each result view rendered offscreen at the window's
// default size, in each of the twelve languages, with the system font and with a font a
// quarter larger; a label, button or table header section whose text does not fit its
// width is a failure, and so are a table cell cut short (or a column pushed out of the
// table's sight) at the default size, when maximised and when back at the default size,
// a button's picture under its text, and a progress text the bar cuts off.
#include "gui/DirizaResultView.h"
#include "gui/NSLanguageText.h"
#include "app/pages/AppDelegate.h"
#include "app/pages/ApplicationResultViews.h"
#include "app/pages/MainWindow.h"
#include "app/pages/NSDirizaTypeListCell.h"
#include "app/pages/NSDirizaView.h"
#include "app/pages/ViewController.h"
#include "gui/BackupText.h"
#include "gui/TableHeadrView.h"
#include "gui/TableViewEvent.h"
#include "app/recovery/ZZProgressView.h"
#include "scan/DeviceScanManager.h"
#include "views/system/NSDirizaSMSView.h"
#include "views/system/SmsBubble.h"
#include "views/system/SystemTableView.h"
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

// The window maximised on the usual screen.
constexpr QSize kMaximised(1600, 1000);

// A text longer than any column shows whole: a free-text column may shorten it.
const QString kLongText = QStringLiteral("Quarterly planning meeting with the regional sales team");

// The widest line, by its advance or its ink, whichever is wider (a right-to-left text's
// last letter may reach past the advance).
int TextWidth(const QFontMetrics& fm, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max({widest, fm.horizontalAdvance(line), fm.boundingRect(line).width()});
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

// Cells of the shown system tables whose text the column cuts short, and (unless
// `mayScroll`) columns outside the table's width. A free-text column may shorten a record's text only when
// the table has no room to spare; its header and the texts it stands in for a missing value (the localised
// "Unknown") it always shows whole, and so does every other column.
QStringList ColumnsClipped(QWidget* root, const char* when, bool mayScroll = false) {
    QStringList problems;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        // (The views have no meta-object of their own: findChildren cannot tell them.)
        auto* view = dynamic_cast<SystemTableView*>(w);
        if (!view) continue;
        QTableView* table = view->Table();
        if (!table->isVisibleTo(root) || !table->model()) continue;
        QHeaderView* header = table->horizontalHeader();
        const QString name = QString::fromLatin1(typeid(*view).name());
        int used = 0;
        for (int c = 0; c < header->count(); ++c)
            if (!header->isSectionHidden(c)) used += header->sectionSize(c);
        if (used > table->viewport()->width() && !mayScroll)
            problems << QStringLiteral("%1 (%2): columns need %3, the table shows %4")
                            .arg(name, QLatin1String(when))
                            .arg(used)
                            .arg(table->viewport()->width());
        const bool full = used >= table->viewport()->width();
        const QFontMetrics fm = table->fontMetrics();
        const int margin =
            2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
        // The rows in sight (a table of thousands repeats its first ones).
        const int rows = std::min(table->model()->rowCount(), 40);
        for (int row = 0; row < rows; ++row) {
            for (int c = 1; c < header->count(); ++c) {
                const QString text = table->model()->index(row, c).data().toString();
                if (text.isEmpty()) continue;
                if (view->ColumnHoldsText(c) && (full || text == kLongText) &&
                    !view->ColumnSamples(c).contains(text))
                    continue;
                const int need = TextWidth(fm, text) + margin;
                if (need > header->sectionSize(c))
                    problems << QStringLiteral("%1 (%2) column %3 row %4: %5 (needs %6, has %7)")
                                    .arg(name, QLatin1String(when))
                                    .arg(c)
                                    .arg(row)
                                    .arg(text)
                                    .arg(need)
                                    .arg(header->sectionSize(c));
            }
        }
    }
    return problems;
}

// The column widths of the shown system tables.
std::vector<std::vector<int>> ColumnWidths(QWidget* root) {
    std::vector<std::vector<int>> widths;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        auto* view = dynamic_cast<SystemTableView*>(w);
        if (!view || !view->Table()->isVisibleTo(root)) continue;
        std::vector<int> sizes;
        for (int c = 0; c < view->Table()->horizontalHeader()->count(); ++c)
            sizes.push_back(view->Table()->horizontalHeader()->sectionSize(c));
        widths.push_back(std::move(sizes));
    }
    return widths;
}

// The columns of `image` (x from `from` to `to`) where `a` and `b` differ, within the
// rows `top` to `bottom`; {-1, -1} when they do not.
std::pair<int, int> Differing(const QImage& a, const QImage& b, int from, int to, int top, int bottom) {
    int first = -1, last = -1;
    for (int x = from; x < to; ++x)
        for (int y = top; y < bottom; ++y)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

// Tables whose header draws its tick box outside the tick column (found by drawing the
// header ticked and unticked: only the box differs).
QStringList TicksOutsideTheirColumn(QWidget* root) {
    QStringList problems;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        auto* view = dynamic_cast<SystemTableView*>(w);
        if (!view || !view->Table()->isVisibleTo(root)) continue;
        TableHeadrView* header = view->Header();
        const bool was = header->isSelect();
        header->setIsSelect(false);
        const QImage off = header->grab().toImage();
        header->setIsSelect(true);
        const QImage on = header->grab().toImage();
        header->setIsSelect(was);
        const auto box = Differing(on, off, 0, on.width(), 0, on.height());
        const int left = header->sectionViewportPosition(0), right = left + header->sectionSize(0);
        if (box.first >= 0 && (box.first < left || box.second >= right))
            problems << QStringLiteral("%1: header tick at x %2..%3, its column at %4..%5")
                            .arg(QString::fromLatin1(typeid(*view).name()))
                            .arg(box.first)
                            .arg(box.second)
                            .arg(left)
                            .arg(right - 1);
    }
    return problems;
}

// Buttons whose background picture lies under their text: the text's columns, found by
// drawing the button with and without its text, meet the columns where the bare
// button's inside is not its own colour.
QStringList IconsUnderText(QWidget* root) {
    QStringList problems;
    for (QPushButton* b : root->findChildren<QPushButton*>()) {
        if (!b->isVisibleTo(root) || b->text().isEmpty() || b->width() < 24 || b->height() < 20) continue;
        const QString text = b->text();
        const QIcon icon = b->icon();
        // Only the background's own picture counts: a button's icon Qt lays out itself.
        b->setIcon(QIcon());
        const QImage withText = b->grab().toImage();
        b->setText(QString());
        const QImage bare = b->grab().toImage();
        b->setText(text);
        b->setIcon(icon);
        if (withText.size() != bare.size() || bare.isNull()) continue;
        // Inside the frame: clear of the border and the rounded corners.
        const int inset = 8 * int(bare.devicePixelRatio());
        const int w = bare.width(), h = bare.height();
        if (w <= 2 * inset || h <= 2 * inset) continue;
        const auto textColumns = Differing(withText, bare, 0, w, 0, h);
        if (textColumns.first < 0) continue;
        const QRgb fill = bare.pixel(w / 2, h / 2);
        int first = -1, last = -1;
        for (int x = inset; x < w - inset; ++x)
            for (int y = inset; y < h - inset; ++y) {
                const QColor c = QColor::fromRgba(bare.pixel(x, y)), f = QColor::fromRgba(fill);
                if (std::abs(c.red() - f.red()) + std::abs(c.green() - f.green()) +
                        std::abs(c.blue() - f.blue()) >
                    60) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
            }
        if (first < 0) continue;
        if (textColumns.first <= last && first <= textColumns.second)
            problems << QStringLiteral("%1: %2 (picture at x %3..%4, text at x %5..%6)")
                            .arg(Name(b), text)
                            .arg(first)
                            .arg(last)
                            .arg(textColumns.first)
                            .arg(textColumns.second);
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
    const QString text = kLongText;
    NSContactData contact;
    contact.setName(text);
    contact.setPhone(QStringLiteral("+49 30 1234567"));
    NSContactData unnamed;
    unnamed.setPhone(QStringLiteral("+49 30 7654321"));
    page.ScanContact({contact, unnamed});
    NSBookmarksData bookmark;
    bookmark.setBookMarks(text);
    bookmark.setAddress(QStringLiteral("https://example.invalid/a/long/path"));
    page.ScanBookmarks(QList<NSBookmarksData>(12345, bookmark));
    // Calls as a phone keeps them: most without a name, one long and one short name.
    QList<NSCallLogData> calls;
    for (int i = 0; i < 4; ++i) {
        NSCallLogData call;
        call.setName(i == 0 ? text : i == 1 ? QStringLiteral("Anna Schmidt") : QString());
        call.setPhone(i == 3 ? QStringLiteral("lena.schmidt@example.invalid")
                             : QStringLiteral("+49 30 1234567"));
        call.setNType(i % 2);
        call.setLDataTime(1606470000 + i * 86400);
        call.setLDuration(i == 0 ? 4000 : 75);
        call.setBDelete(i == 2);
        calls << call;
    }
    page.ScanCallLog(calls);
    NSRemindersData note;
    note.setTitle(text);
    note.setContent(text);
    note.setLDataTime(1600000000);
    NSRemindersData shortNote;
    shortNote.setTitle(QStringLiteral("Shopping list"));
    shortNote.setContent(QStringLiteral("Shopping list\nBread"));
    shortNote.setLDataTime(1606470000);
    page.ScanMemo({note, shortNote});
    NSCalendarData event;
    event.setTitle(text);
    event.setAddres(text);
    event.setLStartTime(1600000000);
    event.setLEndTime(1600003600);
    NSCalendarData shortEvent;
    shortEvent.setTitle(QStringLiteral("Dentist"));
    shortEvent.setLStartTime(1606470000);
    shortEvent.setLEndTime(1606473600);
    page.ScanCalendar({event, shortEvent});
    NSMemoData reminder;
    reminder.setTitle(text);
    reminder.setType(QStringLiteral("Work"));
    reminder.setLDataTime(1600000000);
    NSMemoData done;
    done.setTitle(QStringLiteral("Call the bank"));
    done.setType(QStringLiteral("Reminders"));
    done.setLocation(QStringLiteral("Berlin"));
    done.setBComplete(true);
    done.setLDataTime(1606470000);
    page.ScanReminders({reminder, done});
    NSSMSData message;
    message.setContent(text);
    message.setTime(QStringLiteral("2020/09/13 12:26:40"));
    NSSMSHeadData head;
    head.setPhone(QStringLiteral("+49 30 1234567"));
    head.setName(QStringLiteral("Anna"));
    head.setSMSDataList({message});
    page.ScanSMS({{head.Phone(), head}});
}

// The recovery page's room in the application's window at its default size: the window
// opens at the size its English content asks for, which is also its least size.
struct PageRoom {
    QSize page;   // the page at the window's default size
    QSize window; // the window's default size
};
PageRoom DefaultPageSize() {
    kit::FakeDeviceManage manager;
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    AppDelegate app(manager, {});
    MainWindow* window = app.Window();
    // What the window's adjustSize gives on the usual screen (the offscreen screen is
    // smaller): its size hint within two thirds of the screen, and never below its least.
    window->resize(window->sizeHint()
                       .boundedTo(QSize(kMaximised.width() * 2 / 3, kMaximised.height() * 2 / 3))
                       .expandedTo(window->minimumSizeHint()));
    window->show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    return {app.Controller()->RecoveryPage()->Widget()->parentWidget()->size(), window->size()};
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
        QGuiApplication::setLayoutDirection(Qt::LeftToRight);
        NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    }
    // Runs `check` once per language and collects what it finds.
    void EachLanguage(const std::function<QStringList(int)>& check) {
        for (int language = 0; language < NSLanguageText::LanguageCount; ++language) {
            NSLanguageText::shareInstance()->setLanguage(language);
            // As the application does: Arabic reads from right to left.
            QGuiApplication::setLayoutDirection(language == NSLanguageText::Arabic ? Qt::RightToLeft
                                                                                   : Qt::LeftToRight);
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
    // What adjustSize gives on the usual screen (the offscreen screen is smaller).
    vc.setFixedSize(vc.sizeHint()
                        .boundedTo(QSize(kMaximised.width() * 2 / 3, kMaximised.height() * 2 / 3))
                        .expandedTo(vc.minimumSizeHint()));
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
    const PageRoom room = DefaultPageSize();
    page.resize(room.page);
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
    const QSize defaultSize = page.size();
    // The window's header and frame stay as they are; the page takes the rest.
    const QSize maximised = defaultSize + kMaximised - room.window;
    EachLanguage([&](int language) {
        page.setLanguage(language);
        Settle();
        QStringList problems = TypeListClipped(page);
        problems << IconsUnderText(&page);
        for (int row = 0; row < int(page.TypeList().Rows().size()); ++row) {
            page.SelectTypeListEvent(row);
            Settle();
            // With the larger font a table of many columns may have to scroll sideways
            // at the default size; maximised, every column is in sight.
            const bool mayScroll = GetParam() > 1.0;
            problems << Clipped(&page) << ColumnsClipped(&page, "default size", mayScroll)
                     << TicksOutsideTheirColumn(&page);
            // With a record's detail pane open beside the table (which then may scroll
            // sideways: the window's least width leaves no room for every column and the pane).
            for (QWidget* w : page.findChildren<QWidget*>())
                if (auto* view = dynamic_cast<SystemTableView*>(w); view && view->isVisibleTo(&page)) {
                    view->ClickRow(0);
                    Settle();
                    problems << ColumnsClipped(&page, "detail pane", true);
                    view->ClickRow(-1);
                    Settle();
                }
            const auto before = ColumnWidths(&page);
            // Maximised and back: the columns follow the window both ways.
            page.resize(maximised);
            Settle();
            problems << ColumnsClipped(&page, "maximised");
            page.resize(defaultSize);
            Settle();
            problems << Clipped(&page) << ColumnsClipped(&page, "restored", mayScroll);
            if (ColumnWidths(&page) != before)
                problems
                    << QStringLiteral("row %1: the columns are not as they were before maximising").arg(row);
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
    const QSize room = DefaultPageSize().page;
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

TEST_P(TextFit, ProgressTexts) {
    pagetest::FlagManager manager;
    ApplicationResultViews views;
    NSDirizaView page(manager, views.Factory());
    page.resize(DefaultPageSize().page);
    page.show();
    page.StartScan(pagetest::Device(), pagetest::Selection({5, 6, 7, 8, 9, 10, 11}));
    manager.scanning = true;
    manager.running = true;
    EachLanguage([&](int language) {
        page.setLanguage(language);
        // Each step's text with the widest figures it shows, and the texts without figures.
        auto step = [](const QString& format) {
            return DeviceScanManager::FillProgressFormat(format, 12, 12, 100.0);
        };
        const QStringList texts{step(LanguageText("PROGRESSTXT_NOUSE")),
                                step(LanguageText("PROGRESSTXT_SMS")),
                                step(LanguageText("PROGRESSTXT_CALL")),
                                step(LanguageText("PROGRESSTXT_CONTACT")),
                                step(LanguageText("PROGRESSTXT_SAFARI")),
                                step(LanguageText("PROGRESSTXT_REMINDER")),
                                step(LanguageText("PROGRESSTXT_NOTE")),
                                step(LanguageText("PROGRESSTXT_CALENDAR")),
                                step(LanguageText("PROGRESSTXT_WXCONTACT")),
                                step(LanguageText("PROGRESSTXT_WXCHAT")),
                                step(LanguageText("PROGRESSTXT_WXCONVERT")),
                                LanguageText("ScanComplete"),
                                LanguageText("ScanPaused"),
                                LanguageText("ScanStop"),
                                LanguageText("StopRecover"),
                                LanguageText("DirizaScanStarting")};
        QStringList problems;
        for (const QString& text : texts) {
            page.Scanning(100, 100, text);
            page.UpdataSearchProgress();
            Settle();
            if (page.ProgressView()->Text() != text) problems << QStringLiteral("not shown: ") + text;
            problems << Clipped(page.ProgressView());
        }
        return problems;
    });
}

INSTANTIATE_TEST_SUITE_P(Fonts, TextFit, ::testing::Values(1.0, 1.25),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return info.param == 1.0 ? std::string("SystemFont") : std::string("LargerFont");
                         });

} // namespace

KIT_QT_TEST_MAIN(QApplication)
