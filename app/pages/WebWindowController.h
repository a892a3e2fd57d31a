#pragma once
#include <QDialog>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrl>

class QNetworkReply;
class QTextBrowser;

// The terms of service: the page "/pdf/tos.html" of the configured terms host, fetched
// over https without blocking, shown as rich text. Links open in the user's browser.
class WebWindowController final : public QDialog {
    Q_OBJECT
  public:
    static constexpr int TimeoutMs = 15000;

    explicit WebWindowController(QWidget* parent = nullptr);

    // The terms host of the bundle property list ("TermsHost"); empty when none is set.
    static QString ConfiguredHost();
    // The address of the terms page on `host`; empty for an empty or unusable host.
    static QUrl TermsUrl(const QString& host);
    // Fetches and shows the page at `url` (replacing any fetch under way).
    void Load(const QUrl& url);
    void setLanguage(int language);

    QTextBrowser* Browser() const { return browser; }
    bool isLoading() const { return !reply.isNull(); }

  signals:
    void loaded(bool ok);

  private:
    QNetworkAccessManager network;
    QPointer<QNetworkReply> reply;
    QTextBrowser* browser;
    bool failed = false;
};
