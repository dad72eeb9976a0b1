#pragma once
// The line list of a page: one row per line of its source, in line order,
// with the fade box, times, positions and contents; a line with bad times
// shows in red. Picking a row shows its line in the page's preview.

#include <QTreeWidget>

class CSubBase;
class CSupView;
class CTimeEdit;
class CIPEdit;
struct SSubLine;

// The list control: a single-selection report list with grid lines,
// check boxes and whole-row selection.
class CMyListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CMyListCtrl(QWidget* parent = nullptr);
    QString autoText = QStringLiteral("auto");  // the word for an automatic position

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
};

class CSupListView : public QWidget {
    Q_OBJECT
public:
    explicit CSupListView(CSupView* page, QWidget* parent = nullptr);

    // Shows the lines of `source` (none: an empty list); no row is selected.
    void FillList(CSubBase* source);
    void InsertRow(int lineIndex);
    // Rewrites the numbers and line data of every row.
    void RenumberRows();
    // Selects row `row` (-1 for none) and shows its line, even when the row
    // was selected already.
    void SelectRow(int row);
    // Rewrites the texts and colour of one row from its line.
    void RefreshRow(int row);
    // Fade all (true) or none (false).
    void SetAllFade(bool fade);
    // Opens the in-place editor of a cell, as a double click on it does.
    void EditCell(int row, int column);
    // The end of an in-place edit of (row, column) with `text`.
    void OnEndLabelEdit(int row, int column, const QString& text);

    CMyListCtrl* List() const { return list_; }
    CSubBase* Source() const { return source_; }
    CTimeEdit* TimeEditor() const { return timeEdit_; }
    CIPEdit* NumberEditor() const { return numberEdit_; }
    int selectedRow = -1;

signals:
    // `selectedRow` changed, or the list was filled again.
    void SelectedRowChanged();

private:
    void OnSelectionChanged();
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void SetRowTexts(QTreeWidgetItem* item, int lineIndex);
    void SelectionReported(int row);

    CMyListCtrl* list_;
    CTimeEdit* timeEdit_ = nullptr;
    CIPEdit* numberEdit_ = nullptr;
    CSupView* page_;
    CSubBase* source_ = nullptr;
};
