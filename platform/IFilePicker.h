#pragma once
#include <QString>
#include <QStringList>

class QWidget;

// Asks the user for files or a folder. GUI thread only (runs modally).
class IFilePicker {
  public:
    struct Request {
        QString title;
        QString directory; // where the dialog starts; empty: the last one used
        bool chooseFiles = true;
        bool chooseFolders = false;
        bool multiple = false;
        QStringList fileTypes; // suffixes without dot ("jpg", "png"); empty: any
    };

    virtual ~IFilePicker() = default;
    // The chosen paths; empty when the user cancelled.
    virtual QStringList Choose(QWidget* parent, const Request& request) = 0;

    // The picker windows use: the one set with SetCurrent, else QFileDialog's (FilePicker).
    static IFilePicker& Current();
    // Replaces the picker (tests); null restores the real one.
    static void SetCurrent(IFilePicker* picker);
};
