#pragma once
// The desktop's own message boxes and choosers behind the platform seams,
// installed by the window for as long as it runs.

#include "platform/UserDialogs.h"
#include "platform/UserMessages.h"

#include <QPointer>
#include <QWidget>

class CMessageBoxes : public CUserMessages {
public:
    explicit CMessageBoxes(QWidget* owner) : owner_(owner) {}
    void Show(const QString& text, EMessageKind kind) override;
    bool AskOkCancel(const QString& caption, const QString& text) override;

private:
    QPointer<QWidget> owner_;
};

class CDesktopDialogs : public CUserDialogs {
public:
    explicit CDesktopDialogs(QWidget* owner) : owner_(owner) {}
    QString GetOpenFileName(const QString& filter, const QString& initialPath) override;
    QString GetSaveFileName(const QString& filter, const QString& initialPath,
                            int& filterIndex) override;
    bool PickColour(QRgb& colour) override;
    bool PickFont(QFont& font) override;
    void OpenUrl(const QString& url) override;

private:
    QPointer<QWidget> owner_;
};

// A filter of "label|patterns|...||" as Qt's file dialogs take it.
QStringList QtNameFilters(const QString& filter);
