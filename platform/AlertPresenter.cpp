#include "platform/AlertPresenter.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <atomic>
#include <memory>

namespace {

std::atomic<IAlertPresenter*> injected{nullptr};

// A message box with the alert's texts and buttons; the buttons keep their order
// (ActionRole buttons are laid out as added).
std::unique_ptr<QMessageBox> MakeBox(QWidget* parent, const IAlertPresenter::Alert& alert,
                                     QList<QAbstractButton*>& buttons) {
    auto box = std::make_unique<QMessageBox>(parent);
    // Texts may carry names from a backup: never read them as markup.
    box->setTextFormat(Qt::PlainText);
    box->setIcon(alert.style == IAlertPresenter::Style::Warning ? QMessageBox::Warning
                                                                : QMessageBox::Information);
    if (alert.messageText.isEmpty()) {
        box->setText(alert.informativeText);
    } else {
        box->setText(alert.messageText);
        box->setInformativeText(alert.informativeText);
    }
    // The message box reads its informative text as markup when it looks like some.
    for (QLabel* label : box->findChildren<QLabel*>())
        if (!label->text().isEmpty()) label->setTextFormat(Qt::PlainText);
    QStringList titles = alert.buttons;
    if (titles.isEmpty()) titles << QStringLiteral("OK");
    for (const QString& title : titles)
        buttons.append(box->addButton(title, QMessageBox::ActionRole));
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    box->setEscapeButton(buttons.last());
    return box;
}

int ResponseOf(QAbstractButton* clicked, const QList<QAbstractButton*>& buttons) {
    int index = int(buttons.indexOf(clicked));
    if (index < 0) index = int(buttons.size()) - 1; // closed without a button: the last one
    return IAlertPresenter::FirstButton + index;
}

} // namespace

int AlertPresenter::RunModal(QWidget* parent, const Alert& alert) {
    QList<QAbstractButton*> buttons;
    std::unique_ptr<QMessageBox> box = MakeBox(parent, alert, buttons);
    box->exec();
    return ResponseOf(box->clickedButton(), buttons);
}

void AlertPresenter::BeginSheet(QWidget* window, const Alert& alert, std::function<void(int)> done) {
    QList<QAbstractButton*> buttons;
    std::unique_ptr<QMessageBox> owned = MakeBox(window, alert, buttons);
    QMessageBox* box = owned.release(); // deleted on close (Qt::WA_DeleteOnClose)
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, done = std::move(done)](int) {
        if (done) done(ResponseOf(box->clickedButton(), buttons));
    });
    box->open();
}

IAlertPresenter& IAlertPresenter::Current() {
    if (IAlertPresenter* p = injected.load()) return *p;
    static AlertPresenter real;
    return real;
}

void IAlertPresenter::SetCurrent(IAlertPresenter* presenter) {
    injected = presenter;
}
