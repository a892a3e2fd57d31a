#pragma once
#include <QString>
#include <QWidget>

#include <atomic>

class QLabel;
class QTimer;

// The recovery page's status pane: the device or backup being scanned and the
// instructions, whose first line tells whether the scan still runs. Also turns a
// product-type identifier ("iPhone12,1") into a model name ("iPhone 11").
class NSDirizaNull final : public QWidget {
    Q_OBJECT
  public:
    explicit NSDirizaNull(QWidget* parent = nullptr);

    void setLanguage(int language);
    // A scan starts for this device or backup.
    void SetDeviceInfo(const QString& name, const QString& productType, const QString& sysVersion,
                       const QString& serialNumber);
    // The scan has ended (any thread), by itself or stopped by the user; the pane shows
    // it at its next timer step. A stopped scan never shows the completed state.
    void ScanEndText(bool stopped = false);
    // While the scan runs: says that it is paused, or running again.
    void SetPaused(bool paused);
    // The timer step.
    void UpdateScanCompleteTimer();
    // The model name of a product type; unknown identifiers unchanged.
    static QString deviceVersion(const QString& productType);
    // Every identifier the model table knows.
    static QStringList KnownProductTypes();

    bool isScanComplete() const { return scanComplete.load(); }
    bool isScanStopped() const { return scanStopped.load(); }
    bool isWaiting() const;
    QString OperationHtml() const;
    QString TitleImageName() const { return titleImage; }
    QLabel* ProductTypeText() const { return TextProductType; }

  private:
    void ShowRunning();
    void ShowPaused(bool arabicOrder);
    void ShowComplete(bool arabicOrder);
    void ShowStopped(bool arabicOrder);
    void ShowEnded(bool arabicOrder);

    std::atomic<bool> scanComplete{false};
    std::atomic<bool> scanStopped{false};
    bool paused = false; // GUI thread
    QTimer* ScanCompleteTimer;
    QString titleImage;
    QLabel* TitleImage;
    QLabel* TextProductType;
    QLabel* TextDeviceName;
    QLabel* TextSysVersion;
    QLabel* TextSerialNumber;
    QLabel* DeviceName;
    QLabel* DeviceNumber;
    QLabel* DeviceVersion;
    QLabel* SerialNumber;
    QLabel* operationText;
    QLabel* OperationText2;
    QLabel* OperationText3;
};
