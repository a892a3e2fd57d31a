#pragma once
// The window that offers the companion application: when it is installed (its name in
// the applications folder) the one button starts it; otherwise the button downloads its
// package into "<Downloads>/Diriza-IOS/<name>.dmg" and then opens the package. A 3 s
// timer keeps looking in the applications folder, so the button turns into a start
// button once the application is installed.
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class GRProgressIndicator;
class NSDownloadPackageViewDelegate;
class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QPushButton;
class QSaveFile;
class QTimer;

class NSDownloadPackageView : public QWidget {
    Q_OBJECT
  public:
    enum PackageState : qint64 {
        PackageStateAbsent = 0,
        PackageStateDownloading = 1,
        PackageStateDownloaded = 2,
        PackageStateInstalled = 3,
        PackageStateFailed = 4,
    };

    // Where the window looks and writes; replaceable in tests.
    struct Environment {
        std::function<QString()> applicationsFolder; // default ~/.local/share/applications
        std::function<QString()> downloadsFolder;    // default the user's downloads folder
        std::function<QString()> appName;            // default the text "OpenAppName"
        std::function<QString()> downloadAddress;    // default the text "DownloadPackageURL"
        QNetworkAccessManager* manager = nullptr;    // default the shared one
        int checkIntervalMs = 3000;
        int stallTimeoutMs = 60000; // a download without progress for this long fails
        static Environment System();
    };

    explicit NSDownloadPackageView(Environment environment = Environment::System(),
                                   QWidget* parent = nullptr);
    ~NSDownloadPackageView() override;

    static NSDownloadPackageView& shareInstance();

    // The entry point: shows the window when `sender` is set, looks for the application
    // and starts the 3 s look-out.
    void DownloadPackage(QObject* sender);
    void setLanguage(int language);
    void RunButtonEvent();
    void Check();
    void closeWin();
    void UpdateViewDarkAqua() {}

    // Kept weakly: the caller clears it (nullptr) before the delegate goes.
    void setDelegate(NSDownloadPackageViewDelegate* delegate) { this->delegate = delegate; }

    PackageState state() const { return eDownloadState; }
    QString buttonTitle() const;
    bool isBusy() const { return isCheck; }
    QString packagePath() const { return strOpenAddress; }
    QString runAppAddress() const { return strRunAppAddress; }
    QPushButton* runButton() const { return RunButton; }
    GRProgressIndicator* progress() const { return Progress; }
    qint64 totalLength() const { return totalBytes; }
    qint64 currentLength() const { return currentBytes; }

  signals:
    // The download ended (state 2 or 4).
    void DownloadFinished(bool succeeded);
    // Bytes arrived (or the length became known): the bar's value and mode.
    void ProgressChanged(double value, bool indeterminate);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void SetTitle(const QString& text);
    void LookForApplication();
    void StartDownload();
    void EndDownloadDisplay();
    void FailDownload();
    void OnMetaData();
    void OnReadyRead();
    void OnFinished();
    void DropReply();
    QString AppBaseName() const;

    Environment env;
    PackageState eDownloadState = PackageStateAbsent;
    QString strRunAppName;
    QString strRunAppAddress;
    QString strDownloadAddress;
    QString strOpenAddress;
    QLabel* iPhoenRecoveryTitle = nullptr;
    QLabel* iPhoneRecoveryInstructions = nullptr;
    QPushButton* RunButton = nullptr;
    bool isCheck = true;
    QTimer* TimerCheck = nullptr;
    QWidget* View = nullptr;
    QPointer<QObject> showSender;
    NSDownloadPackageViewDelegate* delegate = nullptr;
    qint64 totalBytes = 0;
    qint64 currentBytes = 0;
    GRProgressIndicator* Progress = nullptr;
    QLabel* ProgressBackground = nullptr;

    QNetworkReply* reply = nullptr; // child of the manager, deleted later when dropped
    std::unique_ptr<QSaveFile> package;
    QString pendingPath;
    bool loaded = false;
};
