#pragma once
// The small window that tells the user how to give the application access to the
// backups folder: a title, three numbered steps, an illustration and one button that
// shows the folder in the file manager. What closing it means belongs to its presenter.
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

class NSPermissionsWindow : public QDialog {
    Q_OBJECT
  public:
    using PermissionRequest = std::function<void(unsigned kind)>;

    // `request` asks for a permission kind (default: the permissions kit, completion
    // ignored); `language` gives the current interface language (default: the shared
    // language store's).
    explicit NSPermissionsWindow(QWidget* parent = nullptr, PermissionRequest request = {},
                                 std::function<int()> language = {});

    static NSPermissionsWindow& shareInstance();

    // Sets every text and the illustration for the current language.
    void UpdateLanguage();
    void OpenSetPermissionsBtEvent();

    // When set, the window's own close button runs this instead of closing the window.
    void SetCloseHandler(std::function<void()> handler) { closeHandler = std::move(handler); }

    QString instructionsImageName() const { return imageName; }
    QLabel* title() const { return TextTitle; }
    QLabel* step(int n) const;
    QPushButton* openButton() const { return OpenSetPermissionsBt; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QLabel* TextTitle = nullptr;
    QLabel* InstructionsImage = nullptr;
    QLabel* InstructionsText1 = nullptr;
    QLabel* InstructionsText2 = nullptr;
    QLabel* InstructionsText3 = nullptr;
    QPushButton* OpenSetPermissionsBt = nullptr;
    PermissionRequest requestPermission;
    std::function<int()> currentLanguage;
    std::function<void()> closeHandler;
    QString imageName;
};
