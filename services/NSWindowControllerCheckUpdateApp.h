#pragma once
// The window that looks up whether a newer version exists: it fetches the update
// document of the current language's "NewVersioneURL", compares its version with the
// running application's, and announces the new version with its release notes and a
// button to the download page, or says that there is no update.
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTimer;

class NSWindowControllerCheckUpdateApp : public QWidget {
    Q_OBJECT
  public:
    // `manager` null: the process's shared one.
    explicit NSWindowControllerCheckUpdateApp(QNetworkAccessManager* manager = nullptr,
                                              QWidget* parent = nullptr);
    ~NSWindowControllerCheckUpdateApp() override;

    static NSWindowControllerCheckUpdateApp& shareInstance();

    // Shows the window and starts a check.
    void Show(QObject* sender = nullptr);
    // Runs the check again in the new language once the window has been shown.
    void setLanguage(int language);
    void CheckUpdate();
    void UpdateViewDarkAqua();
    void UpdateButtonEvent();

    static bool isVersionBiggerThanVersion(const QString& a, const QString& b);

    // For tests and the application: the running version compared against (default
    // QCoreApplication::applicationVersion()), the request's transfer timeout (30 s) and
    // the period of the poll that shows "no update" (1 s).
    void SetCurrentVersion(const QString& version) { currentVersion = version; }
    void SetTransferTimeout(int milliseconds) { transferTimeoutMs = milliseconds; }
    void SetPollInterval(int milliseconds);
    // Where the address of the update document comes from (default: the text
    // "NewVersioneURL" of the current language).
    void SetAddressSource(std::function<QString()> source) { addressSource = std::move(source); }

    // What the window shows (for tests).
    bool isChecking() const;
    bool isShowingUpdate() const;
    QString titleText() const;
    QString infoText() const;
    QString downloadAddress() const { return strUrlDownload; }
    QString backgroundImageName() const { return backgroundImage; }
    QPushButton* updateButton() const { return UpdateAppButton; }
    QPushButton* closeButton() const { return CloesButton; }

  signals:
    // The check has settled: true with an update shown, false with "no update".
    void CheckFinished(bool updateShown);

  protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void TimerLoad();
    void OnReply(QNetworkReply* reply, quint64 generation);
    void ShowUpdate(const QString& info, const QString& download);

    QNetworkAccessManager* nam = nullptr;
    QLabel* NavigationBackground = nullptr;
    QScrollArea* NewVersionTitleScrollView = nullptr;
    QLabel* NewVersionTitle = nullptr;
    QLabel* UpdateInfo = nullptr;
    QPushButton* UpdateAppButton = nullptr;
    QPushButton* CloesButton = nullptr;
    QProgressBar* LoadingShow = nullptr;
    QTimer* NSTimerLoad = nullptr;
    bool isLoadUrl = false;
    bool checkFailed = false; // the check could not be made (no address, no or unreadable answer)
    QString strUrlDownload;

    QPointer<QNetworkReply> pending;
    quint64 generation = 0;
    bool loaded = false;
    QString currentVersion;
    QString backgroundImage;
    int transferTimeoutMs = 30000;
    std::function<QString()> addressSource;
};
