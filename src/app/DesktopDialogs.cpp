#include "app/DesktopDialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QUrl>

void CMessageBoxes::Show(const QString& text, EMessageKind kind)
{
    // Messages are written with Windows line ends; a box shows one break.
    QString shown = text;
    shown.replace("\r\n", "\n");
    const QString caption = QStringLiteral("Tandeo");
    switch (kind) {
    case EMessageKind::Information: QMessageBox::information(owner_, caption, shown); break;
    case EMessageKind::Warning: QMessageBox::warning(owner_, caption, shown); break;
    case EMessageKind::Error: QMessageBox::critical(owner_, caption, shown); break;
    }
}

bool CMessageBoxes::AskOkCancel(const QString& caption, const QString& text)
{
    QString shown = text;
    shown.replace("\r\n", "\n");
    return QMessageBox::question(owner_, caption, shown, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

QStringList QtNameFilters(const QString& filter)
{
    QStringList filters;
    for (const SFileFilterEntry& entry : ParseFileFilter(filter)) {
        // Qt reads the patterns from the parentheses of the label.
        QString label = entry.label;
        const qsizetype open = label.indexOf('(');
        if (open >= 0)
            label.truncate(open);
        filters << QString("%1 (%2)").arg(label.trimmed(), entry.patterns.join(' '));
    }
    return filters;
}

QString CDesktopDialogs::GetOpenFileName(const QString& filter, const QString& initialPath)
{
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QtNameFilters(filter));
    if (!initialPath.isEmpty())
        dialog.selectFile(initialPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString CDesktopDialogs::GetSaveFileName(const QString& filter, const QString& initialPath,
                                         int& filterIndex)
{
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The caller asks about overwriting once it knows the final name.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = QtNameFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 0 && filterIndex < filters.size())
        dialog.selectNameFilter(filters[filterIndex]);
    if (!initialPath.isEmpty())
        dialog.selectFile(initialPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    return dialog.selectedFiles().front();
}

bool CDesktopDialogs::PickColour(QRgb& colour)
{
    const QColor picked = QColorDialog::getColor(QColor::fromRgb(colour), owner_);
    if (!picked.isValid())
        return false;
    colour = picked.rgb();
    return true;
}

bool CDesktopDialogs::PickFont(QFont& font)
{
    bool ok = false;
    const QFont picked = QFontDialog::getFont(&ok, font, owner_);
    if (ok)
        font = picked;
    return ok;
}

void CDesktopDialogs::OpenUrl(const QString& url)
{
    QDesktopServices::openUrl(QUrl(url));
}
