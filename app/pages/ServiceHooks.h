#pragma once
#include <QString>

#include <functional>

class QWidget;

// Where the shell reaches the settings, permission, update, download, feedback and
// usage-report services. Each hook is optional: an empty one does nothing (the
// permission answers "granted", the platform having no such permission to ask for).
// The executable fills them in; tests replace them.
struct ServiceHooks {
    // The state of the backups-folder permission: 0 undecided, 1 refused, 2 granted.
    std::function<int()> fullDiskAccessStatus;
    // Makes the window that explains how to grant that permission (a top-level window
    // owned by the caller).
    std::function<QWidget*()> createPermissionsWindow;
    // Re-reads the texts of a window made by createPermissionsWindow.
    std::function<void(QWidget* window)> permissionsWindowLanguage;
    // Opens the companion package download; `closed` is called when its window closes
    // (empty: nobody is told).
    std::function<void(std::function<void()> closed)> showDownloadPackage;
    std::function<void()> showFeedback;
    // The second feedback window (a kind of feedback, a message and photos).
    std::function<void()> showNewFeedback;
    std::function<void()> showCheckUpdate;
    // Passes a language change to the service windows.
    std::function<void(int language)> setLanguage;
    // Records that the guide has been answered.
    std::function<void()> saveGuide;
    // Creates and loads the settings store (its file is written when it is new).
    std::function<void()> loadSettings;
    // A usage event (1: the application quits).
    std::function<void(int action)> eventAction;

    // The hooks of this process.
    static ServiceHooks& Current();
    int FullDiskAccessStatus() const { return fullDiskAccessStatus ? fullDiskAccessStatus() : 2; }
};
