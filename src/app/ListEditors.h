#pragma once
// The in-place editors of the line list: a time editor that overwrites the
// eleven characters "HH:MM:SS:cc" one digit at a time, and a number editor
// that takes digits only and widens as it fills. Both end when they lose
// the focus or on Enter, reporting their text, or on Esc without a report;
// then they hide.

#include <QLineEdit>

class CListEditBase : public QLineEdit {
    Q_OBJECT
public:
    CListEditBase(int row, int column, QWidget* parent);
    int Row() const { return row_; }
    int Column() const { return column_; }
    bool IsEnded() const { return ended_; }

signals:
    // The user ended the edit with `text` (not sent on Esc).
    void Reported(int row, int column, const QString& text);

protected:
    // Ends the edit: reports unless cancelled, then hides.
    void End(bool report);
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int row_;
    int column_;
    bool ended_ = false;
};

class CTimeEdit : public CListEditBase {
    Q_OBJECT
public:
    CTimeEdit(int row, int column, const QString& text, QWidget* parent);
    // The position of the one selected character.
    int Position() const;
    // Selects the character at `position` (0 to 10).
    void SelectAt(int position);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Type(QChar digit);
};

class CIPEdit : public CListEditBase {
    Q_OBJECT
public:
    // `widest` is the width the editor may grow to.
    CIPEdit(int row, int column, const QString& text, int widest, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Widen();
    int widest_;
};
