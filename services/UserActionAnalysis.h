#pragma once
// The client of the usage-statistics service: product actions, queued usage events,
// error texts, a log file upload and user feedback. Each report is a JSON text,
// encrypted with AES-128 (ECB, PKCS#7) under the body key, base64-encoded and posted to
// an endpoint of the service address. Nothing is sent while no address is set. Used on
// the GUI thread; a synchronous report waits in a local event loop until the reply or
// the transfer timeout.
#include "services/CUserActionLog.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>
#include <string>
#include <vector>

class QNetworkAccessManager;

class UserActionAnalysis : public QObject {
    Q_OBJECT
  public:
    // `manager` null: the process's shared one.
    explicit UserActionAnalysis(QNetworkAccessManager* manager = nullptr, QObject* parent = nullptr);
    ~UserActionAnalysis() override;

    static UserActionAnalysis& shareInstance();

    void SetDomainName(const QString& name) { m_strDomainName = name; }
    void SetAppId(int id) { m_uAppId = id; }
    void SetChannelCode(const QString& code) { m_strChannelCode = code; }
    void SetVersion(const QString& version) { m_strVersion = version; }
    void SetMachineCode(const QString& code) { m_strMachineCode = code; }
    void SetOS(const QString& os) { m_strOS = os; }
    void SetOSBit(int bits) { m_uOSBit = bits; }
    void SetUserName(const QString& name) { m_strUserName = name; }
    // The process log that UploadLogAction sends; unset: the newest "DoviakIOS-*.log"
    // of the log folder, the one this run writes.
    void SetLogFile(const QString& path) { m_strLogFile = path; }
    QString LogFile() const;
    // Transfer timeout of every request (15 s unless changed).
    void SetTransferTimeout(int milliseconds) { transferTimeoutMs = milliseconds; }

    void AddLog(const QString& code, unsigned times, bool hasValue, const QString& value);
    void ClearLogs();
    std::size_t QueuedLogCount() const { return m_UALogs.size(); }

    // `synchronous` true: waits for the reply and returns the server's verdict; false:
    // returns true at once (the reply is only logged).
    bool ProductAction(int typeId, bool synchronous);
    bool EventAction(bool synchronous);
    bool ErrorAction(const std::optional<QString>& content, bool synchronous);
    // Always synchronous. A missing contact (or content) leaves its member out.
    bool Feedback(const std::optional<QString>& content, const std::optional<QString>& contact);
    bool UploadLogAction();
    bool DumpFileAction(const QString& localPath);

    // Base64 text of the encrypted bytes; empty when the encryption fails.
    static std::string EncryEncode(const std::string& text);
    // The request and multipart body that carry a file.
    struct FileRequest {
        QNetworkRequest request;
        QByteArray body;
        bool fileRead = false;
    };
    static FileRequest requestWithURl(const QUrl& url, const QString& fileName, const QString& localPath,
                                      const QString& boundary);
    // Hook run after a report the server accepted synchronously.
    virtual void RequestEvent(int actionType);

    int ActionType() const { return m_ActionType; }

    static constexpr const char* kBodyKey = "Tm@Kw#527#DELTAS";

  private:
    bool Post(const std::string& json, const QString& endpoint, const QString& logName, bool synchronous);

    QNetworkAccessManager* nam = nullptr;
    int transferTimeoutMs = 15000;

    QString m_strUploadFile;
    QString m_strDomainName;
    int m_uAppId = 0;
    int m_ActionType = 0;
    int m_uOSBit = 0;
    QString m_strChannelCode;
    QString m_strVersion;
    QString m_strMachineCode;
    QString m_strOS;
    QString m_strUserName;
    QString m_strLogFile;
    std::vector<CUserActionLog> m_UALogs;
};
