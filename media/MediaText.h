#pragma once
#include "gui/NSLanguageText.h"

#include <QString>

// Texts of the preview windows, looked up each time they are shown (the table named by
// "AppLanguage", English when unset).
inline QString MediaText(const char* key) {
    return NSLanguageText::Text(QString::fromLatin1(key));
}
