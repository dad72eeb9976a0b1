#include "app/SupListView.h"

#include "app/SupView.h"
#include "source/TextSub.h"

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
}

QString CSupListView::TimeText(std::uint32_t ms)
{
    const std::uint32_t s = ms / 1000;
    const QString thousandths = QString::asprintf("%03u", ms % 1000);
    return QString::asprintf("%02u:%02u:%02u:", s / 3600, (s % 3600) / 60, s % 60) +
           thousandths.left(2);
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
    // The box shows the line's fade; switching it comes with editing.
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
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
    SetRowTexts(list_->topLevelItem(row), row);
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
