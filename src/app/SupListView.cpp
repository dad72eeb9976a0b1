#include "app/SupListView.h"

#include "app/ListEditors.h"
#include "app/SupView.h"
#include "pgs/VideoFormats.h"
#include "source/TextSub.h"
#include "source/TimeText.h"

#include <QHeaderView>
#include <QPainter>
#include <QVBoxLayout>

namespace {

enum EColumn { ColumnFade, ColumnStart, ColumnEnd, ColumnX, ColumnY, ColumnContents, ColumnCount };

// A line with bad times is written in this colour.
const QColor BadTimingColour(255, 37, 0);

}  // namespace

CMyListCtrl::CMyListCtrl(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(ColumnCount);
    setHeaderLabels({"  Fade", "Start", "End", "X", "Y", "Contents"});
    const int widths[ColumnCount] = {90, 110, 110, 70, 70, 400};
    for (int c = 0; c < ColumnCount; ++c) {
        setColumnWidth(c, widths[c]);
        headerItem()->setTextAlignment(c, Qt::AlignCenter);
    }
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    header()->setSectionsClickable(false);
    header()->setStretchLastSection(true);
}

void CMyListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
{
    QTreeWidget::drawRow(painter, option, index);
    // Grid lines under and between the cells.
    painter->save();
    painter->setPen(palette().color(QPalette::Mid));
    const QRect row = option.rect;
    painter->drawLine(row.bottomLeft(), row.bottomRight());
    int x = row.left() - header()->offset();
    for (int c = 0; c + 1 < columnCount(); ++c) {
        x += columnWidth(c);
        painter->drawLine(x - 1, row.top(), x - 1, row.bottom());
    }
    painter->restore();
}

CSupListView::CSupListView(CSupView* page, QWidget* parent)
    : QWidget(parent), list_(new CMyListCtrl(this)), page_(page)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CSupListView::OnSelectionChanged);
    connect(list_, &QTreeWidget::itemChanged, this, &CSupListView::OnItemChanged);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int column) {
                EditCell(list_->indexOfTopLevelItem(item), column);
            });
}

void CSupListView::FillList(CSubBase* source)
{
    source_ = source;
    selectedRow = -1;
    list_->setUpdatesEnabled(false);
    {
        const QSignalBlocker quiet(list_);
        list_->clear();
    }
    if (source_)
        for (int i = 0; i < static_cast<int>(source_->lines.size()); ++i)
            InsertRow(i);
    list_->setUpdatesEnabled(true);
    emit SelectedRowChanged();
}

void CSupListView::SetRowTexts(QTreeWidgetItem* item, int lineIndex)
{
    const SSubLine& line = source_->lines[static_cast<std::size_t>(lineIndex)];
    QString contents = line.imageFile;
    if (contents.isEmpty())
        if (auto* text = dynamic_cast<CTextSub*>(source_))
            text->GetLineText(line.entryIndex, contents);
    const auto position = [this](std::int32_t v) {
        return v == 0 ? list_->autoText : QString::number(v);
    };
    const QString texts[ColumnCount] = {QString(" #%1").arg(lineIndex + 1),
                                        TimeText(static_cast<std::uint32_t>(line.start)),
                                        TimeText(static_cast<std::uint32_t>(line.end)),
                                        position(line.posX),
                                        position(line.posY),
                                        contents};
    const QBrush colour(line.timingOk == 0 ? BadTimingColour : QColor(Qt::black));
    for (int c = 0; c < ColumnCount; ++c) {
        item->setText(c, texts[c]);
        item->setTextAlignment(c, Qt::AlignCenter);
        item->setForeground(c, colour);
    }
    item->setData(ColumnFade, Qt::UserRole, lineIndex);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(ColumnFade, line.fade ? Qt::Checked : Qt::Unchecked);
}

void CSupListView::InsertRow(int lineIndex)
{
    if (!source_ || lineIndex < 0 || lineIndex >= static_cast<int>(source_->lines.size()))
        return;
    auto* item = new QTreeWidgetItem;
    SetRowTexts(item, lineIndex);
    const QSignalBlocker quiet(list_);
    list_->insertTopLevelItem(lineIndex, item);
}

void CSupListView::RenumberRows()
{
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        item->setText(ColumnFade, QString(" #%1").arg(i + 1));
        item->setData(ColumnFade, Qt::UserRole, i);
    }
}

void CSupListView::RefreshRow(int row)
{
    if (!source_ || row < 0 || row >= list_->topLevelItemCount() ||
        row >= static_cast<int>(source_->lines.size()))
        return;
    const QSignalBlocker quiet(list_);
    SetRowTexts(list_->topLevelItem(row), row);
}

void CSupListView::OnItemChanged(QTreeWidgetItem* item, int column)
{
    // The user switched a row's box: the line follows it.
    const int row = list_->indexOfTopLevelItem(item);
    if (column != ColumnFade || !source_ || row < 0 ||
        row >= static_cast<int>(source_->lines.size()))
        return;
    source_->lines[static_cast<std::size_t>(row)].fade =
        item->checkState(ColumnFade) == Qt::Checked ? 1 : 0;
}

void CSupListView::SetAllFade(bool fade)
{
    if (!source_)
        return;
    const QSignalBlocker quiet(list_);
    for (int row = 0;
         row < list_->topLevelItemCount() && row < static_cast<int>(source_->lines.size()); ++row) {
        source_->lines[static_cast<std::size_t>(row)].fade = fade ? 1 : 0;
        list_->topLevelItem(row)->setCheckState(ColumnFade, fade ? Qt::Checked : Qt::Unchecked);
    }
}

void CSupListView::EditCell(int row, int column)
{
    if (row < 0 || row >= list_->topLevelItemCount())
        return;
    QTreeWidgetItem* item = list_->topLevelItem(row);
    const QString text = item->text(column);
    QRect cell = list_->visualItemRect(item);
    cell.setLeft(list_->header()->sectionViewportPosition(column));
    cell.setWidth(list_->columnWidth(column));
    cell.adjust(1, 0, -1, -1);
    CListEditBase* editor = nullptr;
    if (column == ColumnStart || column == ColumnEnd) {
        delete timeEdit_;
        timeEdit_ = new CTimeEdit(row, column, text, list_->viewport());
        editor = timeEdit_;
    } else if (column == ColumnX || column == ColumnY) {
        delete numberEdit_;
        numberEdit_ = new CIPEdit(row, column, text, list_->width() - 2, list_->viewport());
        editor = numberEdit_;
    } else {
        return;
    }
    connect(editor, &CListEditBase::Reported, this, [this](int r, int c, const QString& t) {
        list_->setFocus();
        OnEndLabelEdit(r, c, t);
    });
    editor->setFont(list_->font());
    editor->setGeometry(cell);
    editor->show();
    editor->setFocus();
    // What taking the focus does, also when the window is not active.
    if (timeEdit_ == editor)
        timeEdit_->SelectAt(0);
    else
        editor->selectAll();
}

void CSupListView::OnEndLabelEdit(int row, int column, const QString& text)
{
    if (!source_ || row < 0 || row >= list_->topLevelItemCount() ||
        row >= static_cast<int>(source_->lines.size()))
        return;
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (text == item->text(column))
        return;
    SSubLine& line = source_->lines[static_cast<std::size_t>(row)];
    if (column == ColumnStart || column == ColumnEnd) {
        const auto ms = static_cast<std::int32_t>(TimeFromText(text));
        (column == ColumnStart ? line.start : line.end) = ms;
        // The lines keep their order; the times are checked again.
        source_->CheckLineTiming(row);
        RefreshRow(row);
        if (row + 1 < static_cast<int>(source_->lines.size())) {
            source_->CheckLineTiming(row + 1);
            RefreshRow(row + 1);
        }
        return;
    }
    if (column != ColumnX && column != ColumnY)
        return;
    const int index = page_ ? page_->videoSizeIndex : 0;
    const SVideoSize& frame = VideoSizeAt(index >= 0 && index < VideoSizeCount ? index : 0);
    const int limit = column == ColumnX ? frame.Width : frame.Height;
    // Leading digits as a number, "auto" and no digits as 0.
    const auto number = [](const QString& t) {
        long long value = 0;
        for (const QChar c : t) {
            if (c < QChar('0') || c > QChar('9'))
                break;
            value = std::min<long long>(value * 10 + (c.unicode() - '0'), 1LL << 40);
        }
        return value;
    };
    const long long old = number(item->text(column));
    const int wanted = static_cast<int>(std::min<long long>(number(text), limit));
    if (wanted == old)
        return;
    (column == ColumnX ? line.posX : line.posY) = wanted;
    RefreshRow(row);
    if (page_)
        page_->RenderPreview(selectedRow);
}

void CSupListView::OnSelectionChanged()
{
    const QList<QTreeWidgetItem*> items = list_->selectedItems();
    SelectionReported(items.isEmpty() ? -1 : list_->indexOfTopLevelItem(items.front()));
}

void CSupListView::SelectionReported(int row)
{
    if (row == -1 || row != selectedRow) {
        selectedRow = row;
        if (page_)
            page_->RenderPreview(row);
        emit SelectedRowChanged();
    }
}

void CSupListView::SelectRow(int row)
{
    selectedRow = -1;
    SelectionReported(row);
    if (row < 0 || row >= list_->topLevelItemCount())
        return;
    const QSignalBlocker quiet(list_);
    QTreeWidgetItem* item = list_->topLevelItem(row);
    list_->setCurrentItem(item);
    item->setSelected(true);
}
