#include "app/pages/WebWindowController.h"

#include "gui/NSLanguageText.h"
#include "platform/IOpener.h"
#include "platform/PlistDocument.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
constexpr qint64 kMaxPageBytes = 4 * 1024 * 1024;
}

WebWindowController::WebWindowController(QWidget* parent) : QDialog(parent), browser(new QTextBrowser(this)) {
    resize(720, 560);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    browser->setOpenLinks(false);
    browser->setOpenExternalLinks(false);
    connect(browser, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http") ||
            url.scheme() == QLatin1String("mailto"))
            IOpener::Current().OpenUrl(url);
    });
    setLanguage(NSLanguageText::shareInstance()->Language());
}

QString WebWindowController::ConfiguredHost() {
    return PlistDocument::FromFile(QStringLiteral(":/Configuration.plist"))
        .String({"TermsHost"})
        .value_or(QString())
        .trimmed();
}

QUrl WebWindowController::TermsUrl(const QString& host) {
    const QString h = host.trimmed();
    if (h.isEmpty() || h.contains(QLatin1Char('/')) || h.contains(QLatin1Char(' '))) return QUrl();
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setAuthority(h);
    url.setPath(QStringLiteral("/pdf/tos.html"));
    return url.isValid() && !url.host().isEmpty() ? url : QUrl();
}

void WebWindowController::setLanguage(int) {
    setWindowTitle(LanguageText("TermsTitle"));
    if (isLoading())
        browser->setPlainText(LanguageText("TermsLoading"));
    else if (failed)
        browser->setPlainText(LanguageText("TermsLoadFailed"));
}

void WebWindowController::Load(const QUrl& url) {
    if (reply) {
        QNetworkReply* old = reply;
        reply = nullptr; // its end is no longer of interest
        old->abort();
    }
    failed = false;
    browser->setPlainText(LanguageText("TermsLoading"));
    if (!url.isValid()) {
        failed = true;
        browser->setPlainText(LanguageText("TermsLoadFailed"));
        emit loaded(false);
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(TimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* r = network.get(request);
    reply = r;
    connect(r, &QNetworkReply::downloadProgress, this, [r](qint64 received, qint64) {
        if (received > kMaxPageBytes) r->abort();
    });
    connect(r, &QNetworkReply::finished, this, [this, r] {
        r->deleteLater();
        if (reply != r) return;
        const bool ok = r->error() == QNetworkReply::NoError;
        if (ok) {
            browser->document()->setBaseUrl(r->url());
            browser->setHtml(QString::fromUtf8(r->readAll()));
        } else {
            failed = true;
            browser->setPlainText(LanguageText("TermsLoadFailed"));
        }
        reply = nullptr;
        emit loaded(ok);
    });
}
