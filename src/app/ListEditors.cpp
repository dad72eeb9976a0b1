#include "app/ListEditors.h"

#include <QKeyEvent>

#include <algorithm>

namespace {

bool IsSeparator(int position)
{
    return position == 2 || position == 5 || position == 8;
}

}  // namespace

CListEditBase::CListEditBase(int row, int column, QWidget* parent)
    : QLineEdit(parent), row_(row), column_(column)
{
    setAlignment(Qt::AlignCenter);
    setFrame(true);
}

void CListEditBase::End(bool report)
{
    if (ended_)
        return;
    ended_ = true;
    if (report)
        emit Reported(row_, column_, text());
    hide();
}

bool CListEditBase::event(QEvent* event)
{
    // Enter, Esc, Delete and keys with Ctrl belong to the editor, never to
    // a menu shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
            key->key() == Qt::Key_Escape || key->key() == Qt::Key_Delete ||
            (key->modifiers() & Qt::ControlModifier)) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CListEditBase::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    End(true);
}

CTimeEdit::CTimeEdit(int row, int column, const QString& text, QWidget* parent)
    : CListEditBase(row, column, parent)
{
    setText(text);
    setMaxLength(11);
}

int CTimeEdit::Position() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void CTimeEdit::SelectAt(int position)
{
    position = std::clamp(position, 0, 10);
    setSelection(position, 1);
}

void CTimeEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    SelectAt(0);
}

void CTimeEdit::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    int p = cursorPositionAt(event->position().toPoint());
    if (IsSeparator(p) || p == 11)
        p -= 1;
    SelectAt(p);
}

void CTimeEdit::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging selects nothing more than the one character.
    event->accept();
}

void CTimeEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void CTimeEdit::Type(QChar digit)
{
    const int p = Position();
    if (IsSeparator(p) || p < 0 || p > 10)
        return;
    if ((p == 3 || p == 6) && digit > QChar('5'))
        digit = QChar('5');
    QString t = text();
    if (t.size() < 11)
        t = t.leftJustified(11, QChar('0'));
    t[p] = digit;
    setText(t);
    const int next = (p == 1 || p == 4 || p == 7) ? p + 2 : p + 1;
    SelectAt(std::min(next, 10));
}

void CTimeEdit::keyPressEvent(QKeyEvent* event)
{
    const int b = Position();
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up: SelectAt(std::max(0, (b == 3 || b == 6 || b == 9) ? b - 2 : b - 1)); return;
    case Qt::Key_Right:
    case Qt::Key_Down: SelectAt(std::min(10, (b == 1 || b == 4 || b == 7) ? b + 2 : b + 1)); return;
    case Qt::Key_Home: SelectAt(0); return;
    case Qt::Key_End: SelectAt(10); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: End(true); return;
    case Qt::Key_Escape: End(false); return;
    default: break;
    }
    const QString typed = event->text();
    if (typed.size() == 1 && typed[0] >= QChar('0') && typed[0] <= QChar('9'))
        Type(typed[0]);
    // Every other key is swallowed.
}

CIPEdit::CIPEdit(int row, int column, const QString& text, int widest, QWidget* parent)
    : CListEditBase(row, column, parent), widest_(widest)
{
    setText(text);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void CIPEdit::Widen()
{
    const int wanted = fontMetrics().horizontalAdvance(text()) + 5;
    if (wanted > width())
        resize(std::min(wanted, std::max(widest_, width())), height());
}

void CIPEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: End(true); return;
    case Qt::Key_Escape: End(false); return;
    default: break;
    }
    if (event->matches(QKeySequence::Paste))
        return;  // nothing but typed digits
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && typed[0].isPrint();
    if (printable && !(typed.size() == 1 && typed[0] >= QChar('0') && typed[0] <= QChar('9')))
        return;  // digits only
    QLineEdit::keyPressEvent(event);
    if (printable)
        Widen();
}
