#include "services/NSWindowControllerFeedback.h"

#include "gui/NSLanguageText.h"
#include "platform/IAlertPresenter.h"
#include "platform/IAppearance.h"
#include "services/ServiceImage.h"
#include "services/SharedInstance.h"
#include "services/UserActionAnalysis.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
constexpr int kWidth = 520;
constexpr int kHeight = 400;
} // namespace

NSWindowControllerFeedback::NSWindowControllerFeedback(UserActionAnalysis* reporter, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      reporter(reporter ? reporter : &UserActionAnalysis::shareInstance()) {
    setFixedSize(kWidth, kHeight);
    // Children are owned by this window.
    NavigationBackground = new QLabel(this);
    NavigationBackground->setScaledContents(true);
    NavigationBackground->setGeometry(0, kHeight - 60, kWidth, 60);
    TitleText = new QLabel(this);
    QFont font = TitleText->font();
    font.setPointSize(16);
    font.setBold(true);
    TitleText->setFont(font);
    ContentTitleText = new QLabel(this);
    ContactTitleText = new QLabel(this);
    Content = new QPlainTextEdit(this);
    Contact = new QLineEdit(this);
    SubmitButton = new QPushButton(this);
    CloesButton = new QPushButton(this);
    connect(SubmitButton, &QPushButton::clicked, this, [this] { SubmitButtonEvent(); });
    connect(CloesButton, &QPushButton::clicked, this, [this] { CloesButtonEvent(); });

    setLanguage(NSLanguageText::shareInstance()->Language());
    Content->clear();
    Contact->clear();
    UpdateViewDarkAqua();
}

NSWindowControllerFeedback& NSWindowControllerFeedback::shareInstance() {
    return SharedInstance<NSWindowControllerFeedback>();
}

void NSWindowControllerFeedback::Show(QObject*) {
    show();
    raise();
    activateWindow();
}

void NSWindowControllerFeedback::setLanguage(int language) {
    // English needs a second line for the message label; Indonesian a wider button.
    const int contentTop = language == 0 ? 118 : 100;
    TitleText->setGeometry(30, 20, kWidth - 60, 30);
    ContactTitleText->setGeometry(30, 60, kWidth - 60, 20);
    Contact->setGeometry(30, 82, kWidth - 60, 26);
    ContentTitleText->setGeometry(30, contentTop + 16, kWidth - 60, language == 0 ? 36 : 20);
    ContentTitleText->setWordWrap(language == 0);
    Content->setGeometry(30, contentTop + (language == 0 ? 56 : 40), kWidth - 60,
                         kHeight - 80 - (contentTop + (language == 0 ? 56 : 40)));
    const int submitWidth = language == 11 ? 140 : 100;
    SubmitButton->setGeometry(kWidth - 30 - submitWidth, kHeight - 46, submitWidth, 32);
    CloesButton->setGeometry(kWidth - 30 - submitWidth - 110, kHeight - 46, 100, 32);

    TitleText->setText(LanguageText("TitleText"));
    ContentTitleText->setText(LanguageText("ContentTitleText"));
    ContactTitleText->setText(LanguageText("ContactTitleText"));
    Contact->setPlaceholderText(LanguageText("Contact"));
    SubmitButton->setText(LanguageText("SubmitBt"));
    CloesButton->setText(LanguageText("CloesBt"));
    for (QPushButton* b : {SubmitButton, CloesButton}) {
        QPalette palette = b->palette();
        palette.setColor(QPalette::ButtonText, Qt::black);
        b->setPalette(palette);
    }
}

void NSWindowControllerFeedback::UpdateViewDarkAqua() {
    backgroundImage = IAppearance::Dark(this) ? QStringLiteral("bottom_background_black")
                                              : QStringLiteral("bottom_background");
    NavigationBackground->setPixmap(ServiceImage(backgroundImage, NavigationBackground->size()));
    NavigationBackground->lower();
}

void NSWindowControllerFeedback::SubmitButtonEvent() {
    const QString message = Content->toPlainText();
    if (message.isEmpty()) {
        ShowMessageInfo(LanguageText("inputSuggest"));
        return;
    }
    const QString contactText = Contact->text();
    // The report waits for its reply in a local event loop: no second send meanwhile.
    SubmitButton->setEnabled(false);
    CloesButton->setEnabled(false);
    const bool sent = reporter->Feedback(message, contactText.isEmpty() ? QString("") : contactText);
    SubmitButton->setEnabled(true);
    CloesButton->setEnabled(true);
    if (sent) {
        close();
        ShowMessageInfo(LanguageText("suggestOK"));
    } else {
        ShowMessageInfo(LanguageText("suggestFail"));
    }
}

void NSWindowControllerFeedback::CloesButtonEvent() {
    close();
}

void NSWindowControllerFeedback::ShowMessageInfo(const QString& text) {
    IAlertPresenter::Alert alert;
    alert.informativeText = text;
    alert.buttons = {LanguageText("CloesBt")};
    alert.style = IAlertPresenter::Style::Informational;
    IAlertPresenter::Current().RunModal(this, alert);
}

void NSWindowControllerFeedback::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) UpdateViewDarkAqua();
    QWidget::changeEvent(event);
}

void NSWindowControllerFeedback::showEvent(QShowEvent* event) {
    UpdateViewDarkAqua();
    QWidget::showEvent(event);
}
