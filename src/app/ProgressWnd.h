#pragma once
// The small window shown while a stream is built: a title with the
// percentage, the status text (the output path), a bar and a Cancel button.
//
// The builder runs on the user-interface thread and reports through
// Callback; each report answers go on or stop, and pumps the waiting events
// so the window (and only the window, while modal) stays responsive:
//
//     CProgressWnd progress(mainWindow, "Converting");
//     progress.GoModal(mainWindow);
//     job.progressContext = &progress;
//     job.progressCallback = CProgressWnd::Callback;
//     CSubBuilder().Build(...);
//     progress.DestroyWindow();
//
// Without an owner nothing is created: GoModal does nothing and reports are
// only answered, without pumping.

#include "builder/BuildJob.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

class QProgressBar;
class QPushButton;

class CProgressWnd : public QWidget {
    Q_OBJECT

public:
    // The longest status text kept.
    static constexpr int MaxTextLength = 4095;

    CProgressWnd(QWidget* owner, const QString& title);
    ~CProgressWnd() override;

    // Creates and shows the window over its owner; false without an owner.
    bool Create(const QString& title);
    // Disables the top of the owner's enabled parent chain until
    // DestroyWindow. A second call keeps the chain of the first.
    void GoModal(QWidget* owner);

    // Kind (phase) 0: position = percent; 1: status text = fileName;
    // 2: title = title (shown with the next percentage); 3: hide the bar.
    // Other kinds do nothing. Returns false once the user has cancelled.
    bool OnProgress(const SBuildProgress& progress);
    // The builder's callback; context is the CProgressWnd. 1 = go on.
    static std::int32_t Callback(void* context, const SBuildProgress& progress);

    // Position in 0..100; the title shows "<title> [<percent>%]". Events are
    // pumped below 99, so the last reports of a build cost nothing.
    void SetPos(int position);
    void SetText(const QString& text);
    // Lets the waiting events through; Esc or a left click on Cancel cancels.
    void Pump();
    void Cancel();
    // Ends the modal state (enables the chain again) and closes the window.
    void DestroyWindow();

    bool IsCreated() const { return m_created; }
    bool IsCancelled() const { return m_cancelled; }
    bool IsModal() const { return m_modal; }
    int Position() const { return m_position; }
    int Percent() const { return m_percent; }
    const QString& Title() const { return m_title; }
    const QString& StatusText() const { return m_statusText; }
    // The status text as drawn: shortened in the middle to fit the text area.
    QString ShownText() const;
    QRect TextArea() const { return m_textArea; }
    QWidget* DisabledWindow() const { return m_disabledWindow; }
    QProgressBar* ProgressBar() const { return m_progressBar.get(); }
    QPushButton* CancelButton() const { return m_cancelButton.get(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void CentreOverOwner();
    void Show();
    // Cancels through the close request while modal, as the window manager's
    // close button does, else directly.
    void RequestCancel();
    bool IsOverCancel(const QPointF& globalPos) const;

    QPointer<QWidget> m_owner;
    std::unique_ptr<QProgressBar> m_progressBar;
    std::unique_ptr<QPushButton> m_cancelButton;
    QPointer<QWidget> m_disabledWindow;
    QRect m_textArea;
    bool m_created = false;
    bool m_cancelled = false;
    bool m_modal = false;
    bool m_firstShow = true;
    bool m_pumping = false;
    bool m_quitRequested = false;
    bool m_destroying = false;
    int m_position = 0;
    int m_lastPercent = 0;
    int m_upper = 100;
    int m_lower = 0;
    int m_textLines = 4;
    int m_percent = 0;
    std::uint32_t m_startTicks = 0;
    QString m_title = QStringLiteral("Progress");
    QString m_statusText;
    QString m_cancelCaption = QStringLiteral(" Cancel ");
};
