#include "app/AboutDlg.h"

#include "app/TandeoApp.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Tandeo"));
    auto* icon = new QLabel;
    QIcon appIcon = QApplication::windowIcon();
    if (appIcon.isNull())
        appIcon = style()->standardIcon(QStyle::SP_ComputerIcon);
    icon->setPixmap(appIcon.pixmap(32, 32));
    version_ = new QLabel(QString("%1, V%2").arg(ProductName, FileVersion));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(version_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
