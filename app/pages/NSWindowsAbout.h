#pragma once
#include <QDialog>

class QLabel;

// The About window: application name with logo, version and the makers' line.
class NSWindowsAbout final : public QDialog {
    Q_OBJECT
  public:
    explicit NSWindowsAbout(QWidget* parent = nullptr);

    void Show();
    void setLanguage(int language);
    void UpdateViewDarkAqua(bool dark);

    QLabel* VersionText() const { return ShowVersion; }
    QLabel* NameText() const { return AppName; }

  private:
    QLabel* NavigationBackground;
    QLabel* Logo;
    QLabel* AppName;
    QLabel* ShowVersion;
    QLabel* CompanyTitle;
};
