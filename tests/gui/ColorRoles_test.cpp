// Background roles in both appearances, row selection colours, title backgrounds,
// button title colours, and copy and paste in text fields.
#include "gui/BDTableRowView.h"
#include "gui/ButtonTextColor.h"
#include "gui/ColorRoles.h"
#include "gui/ColorView.h"
#include "gui/TextFieldCopyPaste.h"
#include "gui/TitleViewBackgroundView.h"
#include "platform/Appearance.h"
#include "tests/kit/FakeAppearance.h"
#include "tests/kit/QtTestMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

#include <optional>

namespace {

const QColor kBackdrop(255, 0, 255);

struct Paint {
    int r, g, b;
    double a = 1.0;
};

// What `p` gives over the backdrop; nothing: the backdrop itself.
QColor Over(const std::optional<Paint>& p) {
    if (!p) return kBackdrop;
    auto mix = [&](int src, int dst) { return int(std::lround(src * p->a + dst * (1 - p->a))); };
    return QColor(mix(p->r, kBackdrop.red()), mix(p->g, kBackdrop.green()), mix(p->b, kBackdrop.blue()));
}

bool Near(QRgb a, const QColor& b, int tolerance = 2) {
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QString Describe(QRgb c) {
    return QString("(%1,%2,%3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

QImage Render(QWidget& w) {
    QImage image(w.size(), QImage::Format_ARGB32);
    image.fill(kBackdrop);
    w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

using P = std::optional<Paint>;
const P kWhite = Paint{255, 255, 255};
const P kFrame197 = Paint{197, 197, 197};
const P kGray = Paint{128, 128, 128};
const P kDark = Paint{33, 34, 35};
const P kNothing = std::nullopt;

struct RoleCase {
    ColorRoles::Role role;
    P lightCentre, lightEdge, darkCentre, darkEdge;
};

TEST(ColorRoles, RolesTimesAppearanceRendered) {
    const RoleCase cases[] = {
        {ColorRoles::NSViewColorWhite, Paint{255, 255, 255, 0.9}, Paint{255, 255, 255, 0.9},
         Paint{255, 255, 255, 0.9}, Paint{255, 255, 255, 0.9}},
        {ColorRoles::NSViewColorGray, Paint{244, 245, 246, 0.5}, Paint{244, 245, 246, 0.5},
         Paint{244, 245, 246, 0.5}, Paint{244, 245, 246, 0.5}},
        {ColorRoles::NSViewColorWhitebox, kWhite, kFrame197, kWhite, kFrame197},
        {ColorRoles::NSViewColorGraybox, Paint{245, 245, 245}, kGray, kDark, kGray},
        {ColorRoles::NSGrayAquaDark, Paint{245, 245, 245}, kGray, kDark, kGray},
        {ColorRoles::MainViewColor, Paint{239, 239, 239}, Paint{239, 239, 239}, Paint{239, 239, 239},
         Paint{239, 239, 239}},
        {ColorRoles::ViewColor, Paint{10, 20, 30}, Paint{10, 20, 30}, Paint{10, 20, 30}, Paint{10, 20, 30}},
        {ColorRoles::NSWhiteAquaDark, kNothing, kNothing, kDark, kDark},
        {ColorRoles::NSTableBackground, kWhite, kWhite, Paint{50, 52, 54, 0.5}, Paint{50, 52, 54, 0.5}},
        {ColorRoles::NSLightGreyDark, Paint{225, 249, 254, 0.9}, Paint{225, 249, 254, 0.9},
         Paint{225, 249, 254, 0.4}, Paint{225, 249, 254, 0.4}},
        {ColorRoles::NSTableRowViewWhite, kWhite, kWhite, kWhite, kWhite},
        {ColorRoles::NSTableRowViewGray, Paint{244, 245, 246}, Paint{244, 245, 246}, Paint{244, 245, 246},
         Paint{244, 245, 246}},
        {ColorRoles::NSTableRowViewGraybox, Paint{245, 245, 245}, kFrame197, Paint{245, 245, 245}, kFrame197},
        {ColorRoles::NSTableRowViewWhitebox, kWhite, kFrame197, kWhite, kFrame197},
        // The thumbnail box leaves a margin: its edge pixel is the backdrop.
        {ColorRoles::ThumbnailItemView, Paint{245, 245, 245}, kNothing, Paint{245, 245, 245}, kNothing},
        {ColorRoles::GrayColorView, Paint{245, 245, 245}, Paint{245, 245, 245}, Paint{245, 245, 245},
         Paint{245, 245, 245}},
        {ColorRoles::WhiteView, kWhite, kWhite, kWhite, kWhite},
        {ColorRoles::GrayView, Paint{245, 245, 245}, Paint{245, 245, 245}, Paint{245, 245, 245},
         Paint{245, 245, 245}},
    };
    ASSERT_EQ(int(std::size(cases)), ColorRoles::RoleCount);
    kit::FakeAppearance appearance;
    for (const RoleCase& c : cases) {
        for (bool dark : {false, true}) {
            SCOPED_TRACE(std::string(ColorRoles::Name(c.role)) + (dark ? " dark" : " light"));
            appearance.SetDark(dark);
            ColorView view(c.role);
            view.setColor(QColor(10, 20, 30));
            view.resize(100, 100);
            const QImage image = Render(view);
            const QRgb centre = image.pixel(50, 40), edge = image.pixel(0, 0);
            const QColor wantCentre = Over(dark ? c.darkCentre : c.lightCentre);
            const QColor wantEdge = Over(dark ? c.darkEdge : c.lightEdge);
            EXPECT_TRUE(Near(centre, wantCentre)) << Describe(centre).toStdString();
            EXPECT_TRUE(Near(edge, wantEdge)) << Describe(edge).toStdString();
        }
    }
}

TEST(ColorRoles, ThumbnailBoxGeometry) {
    kit::FakeAppearance appearance;
    ColorView view(ColorRoles::ThumbnailItemView);
    view.resize(100, 100);
    const QImage image = Render(view);
    // Outer box at (4, 6), 92 × 66; inner at (5, 7), 90 × 64 (28 free at the bottom).
    const QColor frame(225, 225, 225), inner(245, 245, 245);
    EXPECT_TRUE(Near(image.pixel(3, 6), kBackdrop));
    EXPECT_TRUE(Near(image.pixel(4, 5), kBackdrop));
    EXPECT_TRUE(Near(image.pixel(4, 6), frame));
    EXPECT_TRUE(Near(image.pixel(95, 71), frame));
    EXPECT_TRUE(Near(image.pixel(96, 71), kBackdrop));
    EXPECT_TRUE(Near(image.pixel(95, 72), kBackdrop));
    EXPECT_TRUE(Near(image.pixel(5, 7), inner));
    EXPECT_TRUE(Near(image.pixel(94, 70), inner));
    EXPECT_TRUE(Near(image.pixel(50, 90), kBackdrop));
}

TEST(ColorRoles, DarkFollowsThePalette) {
    ColorView view(ColorRoles::NSWhiteAquaDark); // no fake: the palette decides
    view.resize(20, 20);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    view.setPalette(dark);
    EXPECT_TRUE(Near(Render(view).pixel(10, 10), QColor(33, 34, 35)));
    QPalette light;
    light.setColor(QPalette::Window, QColor(240, 240, 240));
    view.setPalette(light);
    EXPECT_TRUE(Near(Render(view).pixel(10, 10), kBackdrop));
}

TEST(BDTableRowView, SelectionColours) {
    const QColor blue(168, 225, 254), c(200, 10, 10), d(10, 10, 200);
    const struct {
        QColor color, colorDark;
        QColor light, dark;
    } cases[] = {
        {QColor(), QColor(), blue, blue},
        {c, d, c, d},
        {c, QColor(), c, c}, // no dark colour: the light one in dark mode too
        {QColor(), d, blue, blue},
    };
    for (const auto& k : cases) {
        BDTableRowView row;
        row.setColor(k.color);
        row.setColorDarkAqua(k.colorDark);
        EXPECT_EQ(row.SelectionColor(false), k.light);
        EXPECT_EQ(row.SelectionColor(true), k.dark);
    }
}

TEST(BDTableRowView, PaintsSelectedRowsInATable) {
    kit::FakeAppearance appearance(true);
    QStandardItemModel model(3, 1);
    QTableView table;
    BDTableRowView rows;
    rows.setColor(QColor(200, 10, 10)); // no dark colour set
    table.setItemDelegate(&rows);
    table.setModel(&model);
    table.horizontalHeader()->hide();
    table.verticalHeader()->hide();
    table.setShowGrid(false);
    table.resize(200, 150);
    table.show();
    table.selectRow(1);
    const QImage image = table.viewport()->grab().toImage();
    const QRect selected = table.visualRect(model.index(1, 0));
    const QRect other = table.visualRect(model.index(2, 0));
    EXPECT_TRUE(Near(image.pixel(selected.center()), QColor(200, 10, 10)))
        << Describe(image.pixel(selected.center())).toStdString();
    EXPECT_FALSE(Near(image.pixel(other.center()), QColor(200, 10, 10)));
    table.setItemDelegate(nullptr);
}

struct Recorder : TitleViewBackgroundViewDelegate {
    void drawRect(QPainter& painter, const QRect& dirty) override {
        rects.append(dirty);
        painter.fillRect(dirty, Qt::green);
    }
    QList<QRect> rects;
};

TEST(TitleViewBackgroundView, DelegatePaintsTheBackground) {
    TitleViewBackgroundView title;
    title.resize(30, 10);
    EXPECT_TRUE(Near(Render(title).pixel(5, 5), kBackdrop)); // no delegate: nothing
    Recorder recorder;
    title.setDelegate(&recorder);
    EXPECT_TRUE(Near(Render(title).pixel(5, 5), QColor(Qt::green)));
    ASSERT_EQ(recorder.rects.size(), 1);
    EXPECT_EQ(recorder.rects.first(), QRect(0, 0, 30, 10));
    title.setDelegate(nullptr);
}

TEST(ButtonTextColor, ColoursTheTitleOnly) {
    QPushButton button("Title");
    QFont font = button.font();
    font.setPointSize(17);
    button.setFont(font);
    ButtonTextColor::setTextColor(&button, QColor(0, 151, 255));
    EXPECT_EQ(button.palette().color(QPalette::Active, QPalette::ButtonText), QColor(0, 151, 255));
    EXPECT_EQ(button.palette().color(QPalette::Inactive, QPalette::ButtonText), QColor(0, 151, 255));
    EXPECT_EQ(button.font().pointSize(), 17);
    EXPECT_EQ(button.text(), "Title");
    ButtonTextColor::setTextColor(nullptr, Qt::red); // nothing happens
}

class CopyPasteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TextFieldCopyPaste::Install();
        TextFieldCopyPaste::Install(); // once only
        auto* layout = new QVBoxLayout(&window);
        source = new QLineEdit("hello world");
        target = new QLineEdit;
        readOnly = new QLineEdit("fixed");
        readOnly->setReadOnly(true);
        text = new QTextEdit;
        for (QWidget* w : {static_cast<QWidget*>(source), static_cast<QWidget*>(target),
                           static_cast<QWidget*>(readOnly), static_cast<QWidget*>(text)})
            layout->addWidget(w);
        // A window action on Ctrl+V must not take the key from a text field.
        auto* steal = new QAction(&window);
        steal->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
        QObject::connect(steal, &QAction::triggered, [this] { ++stolen; });
        window.addAction(steal);
        window.show();
        window.activateWindow();
        QApplication::clipboard()->clear();
    }
    void Focus(QWidget* w) {
        w->setFocus();
        QTRY_VERIFY(w->hasFocus());
    }
    QWidget window;
    QLineEdit *source = nullptr, *target = nullptr, *readOnly = nullptr;
    QTextEdit* text = nullptr;
    int stolen = 0;
};

TEST_F(CopyPasteTest, CtrlCAndCtrlVInTextFields) {
    EXPECT_EQ(QApplication::instance()->findChildren<TextFieldCopyPaste*>().size(), 1);
    Focus(source);
    source->setSelection(0, 5);
    QTest::keyClick(source, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "hello");
    Focus(target);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(target->text(), "hello"); // pasted once
    EXPECT_EQ(stolen, 0);
    Focus(readOnly);
    QTest::keyClick(readOnly, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(readOnly->text(), "fixed");
    Focus(text);
    QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text->toPlainText(), "hello");
}

TEST_F(CopyPasteTest, OtherModifiersAndKeysTakeTheirUsualWay) {
    Focus(source);
    source->selectAll();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        bool handled;
    } cases[] = {
        {Qt::Key_C, Qt::ControlModifier, true},
        {Qt::Key_V, Qt::ControlModifier, true},
        {Qt::Key_C, Qt::ControlModifier | Qt::KeypadModifier, true},
        {Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, false},
        {Qt::Key_C, Qt::ControlModifier | Qt::AltModifier, false},
        {Qt::Key_C, Qt::MetaModifier, false},
        {Qt::Key_C, Qt::NoModifier, false},
        {Qt::Key_X, Qt::ControlModifier, false},
        {Qt::Key_A, Qt::ControlModifier, false},
        {Qt::Key_Z, Qt::ControlModifier, false},
    };
    for (const auto& c : cases) {
        QKeyEvent event(QEvent::KeyPress, c.key, c.mods);
        EXPECT_EQ(TextFieldCopyPaste::Handle(source, event), c.handled) << int(c.key) << " " << int(c.mods);
    }
    QLabel label("x");
    QKeyEvent ctrlC(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(TextFieldCopyPaste::Handle(&label, ctrlC));
    EXPECT_FALSE(TextFieldCopyPaste::Handle(nullptr, ctrlC));
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
