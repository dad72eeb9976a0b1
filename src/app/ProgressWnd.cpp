#include "app/ProgressWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int Margin = 10;
// The text area's right edge before the window is widened to fit it.
constexpr int TextRight = 540;
constexpr int MinClientWidth = 560;

constexpr Qt::WindowFlags WindowFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                        Qt::WindowCloseButtonHint;

}  // namespace

CProgressWnd::CProgressWnd(QWidget* owner, const QString& title)
    : QWidget(owner, WindowFlags), m_owner(owner)
{
    m_title = title;
    // Closing the progress window must never end the application.
    setAttribute(Qt::WA_QuitOnClose, false);
    if (owner == nullptr)
        return;
    // The owner deletes its children; this window usually lives on the
    // caller's stack, so leave the owner before it goes.
    connect(owner, &QObject::destroyed, this, [this] {
        setParent(nullptr, WindowFlags);
        hide();
    });
    Create(title);
}

CProgressWnd::~CProgressWnd()
{
    // Never leave the owner's chain disabled behind us.
    DestroyWindow();
}

bool CProgressWnd::Create(const QString& title)
{
    m_title = title;
    m_percent = 0;
    if (m_owner == nullptr)
        return false;
    setWindowTitle(m_title);
    if (m_created)
        return true;

    setFont(QApplication::font("QMessageBox"));
    setCursor(Qt::BusyCursor);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);

    m_progressBar = std::make_unique<QProgressBar>(this);
    m_progressBar->setRange(m_lower, m_upper);
    m_progressBar->setValue(m_lower);
    m_cancelButton = std::make_unique<QPushButton>(m_cancelCaption, this);
    m_cancelButton->setAutoDefault(false);
    connect(m_cancelButton.get(), &QPushButton::clicked, this, [this] { RequestCancel(); });

    m_created = true;
    Layout();
    CentreOverOwner();
    raise();
    Show();
    return true;
}

void CProgressWnd::Layout()
{
    const QFontMetrics metrics(font());

    QString sample = QStringLiteral("M");
    for (int line = 1; line < m_textLines; ++line)
        sample += QStringLiteral("\nM");
    const QRect measured = metrics.boundingRect(QRect(Margin, Margin, TextRight - Margin, 0),
                                                Qt::AlignLeft | Qt::AlignTop, sample);
    const int textWidth = std::max(TextRight - Margin, measured.width());
    const int clientWidth = std::max(MinClientWidth, textWidth + 2 * Margin);
    m_textArea = QRect(Margin, Margin, clientWidth - 2 * Margin, measured.height());
    const int textRight = m_textArea.x() + m_textArea.width();
    const int textBottom = m_textArea.y() + m_textArea.height();

    // The caption's extent with room around it, sized by the style's edges.
    const int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const QSize extent = metrics.size(Qt::TextSingleLine, m_cancelCaption + QStringLiteral("  "));
    const int buttonWidth = extent.width() + 11 * edge;
    const int buttonHeight = extent.height() + 5 * edge;

    const int barTop = textBottom + Margin;
    m_progressBar->setGeometry(m_textArea.x(), barTop, m_textArea.width(), buttonHeight);
    const int buttonTop = barTop + buttonHeight + Margin;
    m_cancelButton->setGeometry(textRight - buttonWidth, buttonTop, buttonWidth, buttonHeight);

    setFixedSize(clientWidth, buttonTop + buttonHeight + Margin);
}

void CProgressWnd::CentreOverOwner()
{
    // Client areas, not frames: the frame is unknown until the window manager
    // has shown the window.
    const QWidget* anchor = m_owner->window();
    QRect client(QPoint(0, 0), size());
    client.moveCenter(anchor->geometry().center());
    if (const QScreen* screen = anchor->screen()) {
        const QRect available = screen->availableGeometry();
        client.moveLeft(std::max(available.left(),
                                 std::min(client.left(), available.right() - client.width() + 1)));
        client.moveTop(std::max(available.top(),
                                std::min(client.top(), available.bottom() - client.height() + 1)));
    }
    setGeometry(client);
}

void CProgressWnd::Show()
{
    // Once cancelled the window stays hidden until it is destroyed.
    if (!m_created || m_cancelled)
        return;
    if (!isVisible())
        show();
    m_cancelButton->show();
    update(m_textArea);
    if (m_firstShow) {
        update();
        QElapsedTimer clock;
        clock.start();
        m_startTicks = static_cast<std::uint32_t>(clock.msecsSinceReference());
        m_firstShow = false;
    }
}

void CProgressWnd::GoModal(QWidget* owner)
{
    if (!m_created && !Create(QStringLiteral("Progress")))
        return;
    // A second call would find the chain already disabled and forget what
    // to enable again.
    if (m_modal)
        return;
    QWidget* top = nullptr;
    for (QWidget* window = owner; window != nullptr && window->isEnabled();
         window = window->parentWidget())
        top = window;
    if (top != nullptr)
        top->setEnabled(false);
    m_disabledWindow = top;
    // Disabling the owner disabled this window too, being its child.
    setEnabled(true);
    m_modal = true;
}

bool CProgressWnd::OnProgress(const SBuildProgress& progress)
{
    if (!m_created)
        return !m_cancelled;
    switch (progress.phase) {
    case 0: SetPos(progress.percent); break;
    case 1:
        // Paths differ by case on this system, so compare them exactly.
        if (progress.fileName != m_statusText)
            SetText(progress.fileName);
        Show();
        Pump();
        break;
    case 2:
        if (QString::compare(progress.title, m_title, Qt::CaseInsensitive) != 0)
            m_title = progress.title;
        Show();
        Pump();
        break;
    case 3: m_progressBar->hide(); break;
    default: break;
    }
    return !m_cancelled;
}

std::int32_t CProgressWnd::Callback(void* context, const SBuildProgress& progress)
{
    auto* window = static_cast<CProgressWnd*>(context);
    if (window == nullptr)
        return 1;
    return window->OnProgress(progress) ? 1 : 0;
}

void CProgressWnd::SetPos(int position)
{
    if (!m_created)
        return;
    Show();
    m_position = position;
    m_percent =
        m_lower < m_upper
            ? static_cast<int>(
                  static_cast<double>(position - m_lower) * 100.0 / (m_upper - m_lower) + 0.5)
            : 0;
    if (m_percent != m_lastPercent || m_percent == 0) {
        m_lastPercent = m_percent;
        // One pass, so a "%1" in the title stays as it is.
        setWindowTitle(QStringLiteral("%1 [%2%]").arg(m_title, QString::number(m_percent)));
    }
    m_progressBar->setValue(std::clamp(position, m_lower, m_upper));
    // The last reports come just before the window goes; skip their pumping.
    if (position < 99)
        Pump();
}

void CProgressWnd::SetText(const QString& text)
{
    int length = std::min<int>(text.size(), MaxTextLength);
    // Do not keep half of a surrogate pair.
    if (length < text.size() && length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    m_statusText = text.left(length);
    if (m_created)
        update(m_textArea);
}

QString CProgressWnd::ShownText() const
{
    if (!m_created)
        return {};
    return fontMetrics().elidedText(m_statusText, Qt::ElideMiddle, m_textArea.width());
}

void CProgressWnd::Pump()
{
    if (!m_created || m_pumping)
        return;
    // Take the focus back within the application, never from another one.
    if (m_modal && isVisible() && QApplication::activeWindow() != nullptr && !isActiveWindow())
        activateWindow();
    if (m_cancelled)
        return;

    QCoreApplication* app = QCoreApplication::instance();
    m_pumping = true;
    app->installEventFilter(this);
    QCoreApplication::processEvents();
    app->removeEventFilter(this);
    m_pumping = false;

    // A quit held back while the build runs ends the application once the
    // build has returned to the event loop.
    if (m_quitRequested) {
        m_quitRequested = false;
        QCoreApplication::postEvent(app, new QEvent(QEvent::Quit));
    }
}

bool CProgressWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (m_pumping) {
        switch (event->type()) {
        case QEvent::Quit:
            // Quitting now would close the windows under the running build.
            m_quitRequested = true;
            return true;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                RequestCancel();
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (m_modal && mouse->button() == Qt::LeftButton &&
                IsOverCancel(mouse->globalPosition()))
                RequestCancel();
            break;
        }
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool CProgressWnd::IsOverCancel(const QPointF& globalPos) const
{
    if (m_cancelButton == nullptr || !m_cancelButton->isVisible())
        return false;
    const QRect screenRect(m_cancelButton->mapToGlobal(QPoint(0, 0)), m_cancelButton->size());
    return screenRect.contains(globalPos.toPoint());
}

void CProgressWnd::RequestCancel()
{
    if (!m_created || m_cancelled)
        return;
    if (m_modal)
        close();
    // A window that never reached the screen answers close() without an event.
    if (!m_cancelled)
        Cancel();
}

void CProgressWnd::Cancel()
{
    m_cancelled = true;
    if (isVisible())
        hide();
    if (m_owner != nullptr) {
        QWidget* window = m_owner->window();
        window->raise();
        window->activateWindow();
    }
}

void CProgressWnd::DestroyWindow()
{
    if (m_modal) {
        m_modal = false;
        // Enable the chain first, so the window manager hands the focus back
        // to it when this window goes.
        if (m_disabledWindow != nullptr)
            m_disabledWindow->setEnabled(true);
        m_disabledWindow = nullptr;
    }
    if (!m_created)
        return;
    m_destroying = true;
    close();
    hide();
    m_cancelButton.reset();
    m_progressBar.reset();
    m_created = false;
    m_destroying = false;
}

void CProgressWnd::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!m_created)
        return;
    QPainter painter(this);
    painter.fillRect(m_textArea, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(m_textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ShownText());
}

void CProgressWnd::closeEvent(QCloseEvent* event)
{
    if (m_destroying || !m_created) {
        event->accept();
        return;
    }
    // The window manager's close button, Esc and Cancel all mean stop.
    event->ignore();
    Cancel();
}

void CProgressWnd::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        RequestCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}
