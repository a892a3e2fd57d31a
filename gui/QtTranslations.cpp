#include "gui/QtTranslations.h"

#include "gui/NSLanguageText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include <memory>

namespace {

QString& folderOverride() {
    static QString folder;
    return folder;
}

std::unique_ptr<QTranslator>& installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

// Qt's locale names for a language, the preferred first.
QStringList localeNames(int language) {
    switch (language) {
    case NSLanguageText::SimplifiedChinese:
        return {QStringLiteral("zh_CN")};
    case NSLanguageText::TraditionalChinese:
        return {QStringLiteral("zh_HK"), QStringLiteral("zh_TW")};
    case NSLanguageText::Japanese:
        return {QStringLiteral("ja")};
    case NSLanguageText::Korean:
        return {QStringLiteral("ko")};
    case NSLanguageText::German:
        return {QStringLiteral("de")};
    case NSLanguageText::Russian:
        return {QStringLiteral("ru")};
    case NSLanguageText::Arabic:
        return {QStringLiteral("ar")};
    // Qt carries Brazilian Portuguese only: nearer to the reader than English.
    case NSLanguageText::Portuguese:
        return {QStringLiteral("pt_PT"), QStringLiteral("pt"), QStringLiteral("pt_BR")};
    case NSLanguageText::Spanish:
        return {QStringLiteral("es")};
    case NSLanguageText::French:
        return {QStringLiteral("fr")};
    case NSLanguageText::Indonesian:
        return {QStringLiteral("id")};
    default:
        return {};
    }
}

} // namespace

void QtTranslations::SetFolder(const QString& folder) {
    folderOverride() = folder;
}

QString QtTranslations::CatalogueName(int language) {
    const QStringList names = localeNames(language);
    return names.isEmpty() ? QString() : QStringLiteral("qtbase_") + names.first();
}

bool QtTranslations::Apply(int language) {
    std::unique_ptr<QTranslator>& current = installed();
    if (current) {
        QCoreApplication::removeTranslator(current.get());
        current.reset();
    }
    const QString folder =
        folderOverride().isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folderOverride();
    for (const QString& name : localeNames(language)) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(QStringLiteral("qtbase_") + name, folder)) continue;
        if (!QCoreApplication::installTranslator(translator.get())) return false;
        current = std::move(translator);
        return true;
    }
    return false;
}
