#pragma once
// "About Tandeo": the icon, the product and version line, and OK.

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QLabel* VersionLine() const { return version_; }

private:
    QLabel* version_;
};
