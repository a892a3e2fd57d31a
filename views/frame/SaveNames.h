#pragma once
#include "gui/SaveFolder.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

// File names of one save, one per item key (a conversation, a friend): the key made
// safe by SaveFolder, plus the extension. Two different keys that come out the same
// get "name (2).ext", "name (3).ext"... in the order they are asked for; the same key
// always gets the same name within one save (the writer still takes a numbered name of
// its own where a file of that name is already in the folder).
class SaveNames {
  public:
    explicit SaveNames(QString extension) : extension_(std::move(extension)) {}

    // The file name for `key` ("" when the key is empty takes `emptyName`).
    QString NameFor(const QString& key);

    // A subfolder `name` (made safe) directly inside `folder`: an existing folder (not a
    // link) is used, a missing one is created (without intermediate folders). Nothing
    // when it is something else or cannot be created.
    static std::optional<SaveFolder> SubFolder(const SaveFolder& folder, const QString& name);

  private:
    QString extension_;
    QHash<QString, QString> byKey_;
    QSet<QString> used_;
};
