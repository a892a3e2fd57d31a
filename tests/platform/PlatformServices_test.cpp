// The platform services of the windows: folders, alerts, file picker, appearance.
#include "platform/AlertPresenter.h"
#include "platform/Appearance.h"
#include "platform/AppearanceWatcher.h"
#include "platform/FilePicker.h"
#include "platform/Opener.h"
#include "platform/Paths.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeAppearance.h"
#include "tests/kit/FakeFilePicker.h"
#include "tests/kit/FakeOpener.h"
#include "tests/kit/QtTestMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace {

TEST(Paths, StandardFoldersLieInTheHome) {
    Paths::ResetOverrides();
    const QString home = QDir::homePath();
    // The test program runs in a temporary home (XDG folders set).
    EXPECT_EQ(Paths::Caches(), qEnvironmentVariable("XDG_CACHE_HOME"));
    EXPECT_EQ(Paths::ApplicationSupport(), qEnvironmentVariable("XDG_DATA_HOME"));
    EXPECT_EQ(Paths::BackupsFolder(), qEnvironmentVariable("XDG_DATA_HOME") + "/MobileSync/Backup");
    EXPECT_EQ(Paths::LogFolder(), qEnvironmentVariable("XDG_DATA_HOME") + "/Diriza-IOS");
    EXPECT_FALSE(Paths::Downloads().isEmpty());
    EXPECT_TRUE(Paths::Downloads().startsWith(home)) << Paths::Downloads().toStdString();
}

TEST(Paths, OverridesAndReset) {
    Paths::SetCaches("/tmp/c/");
    Paths::SetApplicationSupport("/tmp/s");
    Paths::SetDownloads("/tmp/d");
    EXPECT_EQ(Paths::Caches(), "/tmp/c");
    EXPECT_EQ(Paths::ApplicationSupport(), "/tmp/s");
    EXPECT_EQ(Paths::Downloads(), "/tmp/d");
    EXPECT_EQ(Paths::BackupsFolder(), "/tmp/s/MobileSync/Backup");
    EXPECT_EQ(Paths::LogFolder(), "/tmp/s/Diriza-IOS");
    Paths::SetCaches(QString()); // one override dropped
    EXPECT_EQ(Paths::Caches(), qEnvironmentVariable("XDG_CACHE_HOME"));
    EXPECT_EQ(Paths::Downloads(), "/tmp/d");
    Paths::ResetOverrides();
    EXPECT_EQ(Paths::ApplicationSupport(), qEnvironmentVariable("XDG_DATA_HOME"));
}

// Folders named in texts: the home written "~", and a shell word that stays one word
// whatever the folder's name holds.
TEST(Paths, FoldersForTextsAndCommands) {
    const QString home = QDir::cleanPath(QDir::homePath());
    struct Case {
        QString folder, display, shell;
    };
    const Case cases[] = {
        {home + "/.local/share/MobileSync/Backup", "~/.local/share/MobileSync/Backup",
         "~/.local/share/MobileSync/Backup"},
        {"/srv/data/MobileSync/Backup", "/srv/data/MobileSync/Backup", "/srv/data/MobileSync/Backup"},
        {"/srv/my data/MobileSync/Backup/", "/srv/my data/MobileSync/Backup",
         "'/srv/my data/MobileSync/Backup'"},
        {"/srv/it's/Backup", "/srv/it's/Backup", "'/srv/it'\\''s/Backup'"},
        {home + "/My Data/Backup", "~/My Data/Backup", "'" + home + "/My Data/Backup'"},
        {home + "/$(rm -rf x)", "~/$(rm -rf x)", "'" + home + "/$(rm -rf x)'"},
        {home + "x/Backup", home + "x/Backup", home + "x/Backup"}, // a sibling of the home
        {home, "~", "'" + home + "'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Paths::ForDisplay(c.folder), c.display) << c.folder.toStdString();
        EXPECT_EQ(Paths::ShellWord(c.folder), c.shell) << c.folder.toStdString();
    }
}

// Clicks the button with `title` of the next message box to appear.
void ClickWhenShown(const QString& title) {
    QTimer::singleShot(0, [title] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            for (QAbstractButton* b : box->buttons())
                if (b->text() == title) {
                    b->click();
                    return;
                }
        }
        ClickWhenShown(title); // not shown yet
    });
}

TEST(AlertPresenter, ResponsesFollowButtonOrder) {
    AlertPresenter presenter;
    const struct {
        QStringList buttons;
        QString click;
        int response;
    } cases[] = {
        {{"继续", "关闭"}, "继续", 1000},
        {{"继续", "关闭"}, "关闭", 1001},
        {{"Tutorial", "ok"}, "ok", 1001},
        {{"a", "b", "c"}, "c", 1002},
        {{}, "OK", 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.click.toStdString());
        ClickWhenShown(c.click);
        IAlertPresenter::Alert alert;
        alert.informativeText = "Some text";
        alert.buttons = c.buttons;
        EXPECT_EQ(presenter.RunModal(nullptr, alert), c.response);
    }
}

// Names from a backup reach alerts: markup in them is shown as typed, never rendered.
TEST(AlertPresenter, TextsAreShownAsPlainText) {
    AlertPresenter presenter;
    QWidget window;
    window.show();
    IAlertPresenter::Alert alert;
    alert.messageText = "<b>Ann</b>";
    alert.informativeText = "<img src=\"x\"> <a href=\"y\">backup</a>";
    presenter.BeginSheet(&window, alert, [](int) {});
    QMessageBox* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    int seen = 0;
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text() != alert.messageText && label->text() != alert.informativeText) continue;
        ++seen;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    }
    EXPECT_EQ(seen, 2);
    box->close();
}

TEST(AlertPresenter, BoxShowsTheTextsAndButtonsInOrder) {
    AlertPresenter presenter;
    QWidget window;
    window.show();
    int response = 0;
    QStringList seenButtons;
    QString seenText;
    IAlertPresenter::Alert alert;
    alert.informativeText = "Encrypted backup";
    alert.buttons = QStringList{"Tutorial", "ok"};
    presenter.BeginSheet(&window, alert, [&](int r) { response = r; });
    QMessageBox* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    seenText = box->text();
    // Layout order of the buttons on screen (left to right).
    QList<QAbstractButton*> buttons = box->findChild<QDialogButtonBox*>()->buttons();
    std::sort(buttons.begin(), buttons.end(),
              [](QAbstractButton* a, QAbstractButton* b) { return a->x() < b->x(); });
    for (QAbstractButton* b : buttons)
        seenButtons << b->text();
    EXPECT_EQ(seenText, "Encrypted backup");
    EXPECT_EQ(response, 0); // returns before the answer
    QPointer<QMessageBox> guard(box);
    for (QAbstractButton* b : box->buttons())
        if (b->text() == "ok") b->click();
    QTRY_VERIFY(guard.isNull()); // the sheet goes away by itself
    EXPECT_EQ(response, 1001);
    EXPECT_EQ(seenButtons, (QStringList{"Tutorial", "ok"}));
}

TEST(FilePicker, ChoosesAFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir("pick");
    FilePicker picker;
    IFilePicker::Request request;
    request.chooseFiles = false;
    request.chooseFolders = true;
    request.directory = dir.path();
    QTimer::singleShot(0, [&] {
        std::function<void()> accept = [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
                    EXPECT_EQ(d->fileMode(), QFileDialog::Directory);
                    d->selectFile(dir.filePath("pick"));
                    QMetaObject::invokeMethod(d, "accept");
                    return;
                }
            QTimer::singleShot(10, accept);
        };
        accept();
    });
    const QStringList chosen = picker.Choose(nullptr, request);
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(QDir(chosen.first()).dirName(), "pick");
}

TEST(FilePicker, CancelGivesNothing) {
    FilePicker picker;
    QTimer::singleShot(0, [] {
        std::function<void()> reject = [&reject] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
                    d->reject();
                    return;
                }
            QTimer::singleShot(10, reject);
        };
        reject();
    });
    IFilePicker::Request request;
    request.fileTypes = QStringList{"jpg", "png"};
    request.multiple = true;
    EXPECT_TRUE(picker.Choose(nullptr, request).isEmpty());
}

QPalette PaletteWithWindow(const QColor& c) {
    QPalette p;
    p.setColor(QPalette::Window, c);
    return p;
}

TEST(Appearance, DarkBelowLightness128) {
    const struct {
        QColor window;
        bool dark;
    } cases[] = {
        {QColor(0, 0, 0), true},        {QColor(33, 34, 35), true},     {QColor(127, 127, 127), true},
        {QColor(128, 128, 128), false}, {QColor(239, 239, 239), false}, {QColor(255, 255, 255), false},
        {QColor(0, 0, 200), true},      {QColor(255, 255, 0), false},
    };
    Appearance appearance;
    QWidget w;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window.name().toStdString());
        EXPECT_EQ(Appearance::IsDarkPalette(PaletteWithWindow(c.window)), c.dark);
        w.setPalette(PaletteWithWindow(c.window));
        EXPECT_EQ(appearance.IsDark(&w), c.dark);
    }
}

TEST(AppearanceWatcher, FirstShowAndPaletteChanges) {
    QWidget w;
    w.setPalette(PaletteWithWindow(Qt::white));
    QList<bool> calls;
    new AppearanceWatcher(&w, [&](bool dark) { calls.append(dark); }); // owned by w
    EXPECT_TRUE(calls.isEmpty());
    w.show();
    EXPECT_EQ(calls, QList<bool>{false});
    w.hide();
    w.show(); // only the first show counts
    EXPECT_EQ(calls, QList<bool>{false});
    w.setPalette(PaletteWithWindow(QColor(33, 34, 35)));
    EXPECT_EQ(calls, (QList<bool>{false, true}));
    w.setStyleSheet("QWidget { }"); // a style change
    EXPECT_GE(calls.size(), 3);
    EXPECT_TRUE(calls.last());
}

TEST(Fakes, InjectAndRestore) {
    {
        kit::FakeOpener opener;
        kit::FakeAlertPresenter alerts;
        kit::FakeFilePicker picker;
        kit::FakeAppearance appearance(true);
        EXPECT_TRUE(IOpener::Current().OpenPath("/tmp/x"));
        EXPECT_EQ(opener.Opened(), QList<QUrl>{QUrl::fromLocalFile("/tmp/x")});
        alerts.QueueResponse(1001);
        EXPECT_EQ(IAlertPresenter::Current().RunModal(nullptr, {"", "Q", {"继续", "关闭"}}), 1001);
        EXPECT_EQ(IAlertPresenter::Current().RunModal(nullptr, {"", "R", {}}), 1000);
        EXPECT_EQ(alerts.Texts(), (QStringList{"Q", "R"}));
        alerts.holdSheets = true;
        int answered = 0;
        IAlertPresenter::Current().BeginSheet(nullptr, {"", "S", {"ok"}}, [&](int r) { answered = r; });
        EXPECT_EQ(answered, 0);
        EXPECT_TRUE(alerts.AnswerSheet(1000));
        EXPECT_EQ(answered, 1000);
        EXPECT_FALSE(alerts.AnswerSheet(1000));
        picker.QueueAnswer({"/a"});
        EXPECT_EQ(IFilePicker::Current().Choose(nullptr, {}), QStringList{"/a"});
        EXPECT_TRUE(IFilePicker::Current().Choose(nullptr, {}).isEmpty());
        EXPECT_EQ(picker.Requests().size(), 2);
        QWidget w;
        EXPECT_TRUE(IAppearance::Dark(&w));
        appearance.SetDark(false);
        EXPECT_FALSE(IAppearance::Dark(&w));
    }
    EXPECT_NE(dynamic_cast<Opener*>(&IOpener::Current()), nullptr);
    EXPECT_NE(dynamic_cast<AlertPresenter*>(&IAlertPresenter::Current()), nullptr);
    EXPECT_NE(dynamic_cast<FilePicker*>(&IFilePicker::Current()), nullptr);
    EXPECT_NE(dynamic_cast<Appearance*>(&IAppearance::Current()), nullptr);
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
