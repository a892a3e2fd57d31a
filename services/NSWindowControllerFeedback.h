#pragma once
// The first feedback window: a message and a contact, sent through the usage reporter.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class UserActionAnalysis;

class NSWindowControllerFeedback : public QWidget {
    Q_OBJECT
  public:
    // `reporter` null: the shared reporter.
    explicit NSWindowControllerFeedback(UserActionAnalysis* reporter = nullptr, QWidget* parent = nullptr);

    static NSWindowControllerFeedback& shareInstance();

    void Show(QObject* sender = nullptr);
    // Lays out and retitles the window for the language.
    void setLanguage(int language);
    void UpdateViewDarkAqua();
    void SubmitButtonEvent();
    void CloesButtonEvent();
    void ShowMessageInfo(const QString& text);

    QPlainTextEdit* content() const { return Content; }
    QLineEdit* contact() const { return Contact; }
    QPushButton* submitButton() const { return SubmitButton; }
    QPushButton* closeButton() const { return CloesButton; }
    QString backgroundImageName() const { return backgroundImage; }

  protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    UserActionAnalysis* reporter = nullptr;
    QLabel* NavigationBackground = nullptr;
    QLabel* TitleText = nullptr;
    QLabel* ContentTitleText = nullptr;
    QLabel* ContactTitleText = nullptr;
    QPlainTextEdit* Content = nullptr;
    QLineEdit* Contact = nullptr;
    QPushButton* SubmitButton = nullptr;
    QPushButton* CloesButton = nullptr;
    QString backgroundImage;
};
