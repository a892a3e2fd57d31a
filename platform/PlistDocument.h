#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <initializer_list>
#include <memory>
#include <optional>

// A property list (binary or XML) read through libplist, for the backup's "Info.plist"
// and "Manifest.plist", the device's pair record and the "exc/Option" resource. Values
// are reached by a path of dictionary keys; a missing key, a node of another type or
// an unreadable document gives nothing.
class PlistDocument {
  public:
    PlistDocument() = default;

    // Reads a file of at most `maxBytes`; an invalid document when it is missing, too
    // large or not a property list.
    static PlistDocument FromFile(const QString& path, qint64 maxBytes = 64 * 1024 * 1024);
    static PlistDocument FromBytes(const QByteArray& bytes);

    bool isValid() const { return root != nullptr; }
    // True when the node at the path is a dictionary (the root for an empty path).
    bool HasDictionary(std::initializer_list<const char*> path) const;
    std::optional<QString> String(std::initializer_list<const char*> path) const;
    // A boolean node; an integer node counts as true when it is not 0.
    std::optional<bool> Bool(std::initializer_list<const char*> path) const;
    // A date node, in UTC.
    std::optional<QDateTime> Date(std::initializer_list<const char*> path) const;
    // The string values of the dictionary at the path (other values are left out).
    QHash<QString, QString> StringDictionary(std::initializer_list<const char*> path) const;

  private:
    void* Node(std::initializer_list<const char*> path) const;

    std::shared_ptr<void> root; // plist_t, freed with plist_free
};
