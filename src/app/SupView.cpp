#include "app/SupView.h"

#include "app/ImageView.h"
#include "app/SupListView.h"
#include "app/SupPropertyView.h"
#include "app/TandeoApp.h"
#include "pgs/VideoFormats.h"
#include "platform/UserDialogs.h"
#include "platform/UserMessages.h"
#include "source/Placement.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPainter>
#include <QSplitter>

namespace {

constexpr int LeftColumnMinimum = 500;
constexpr int PreviewMinimum = 200;

// The one local file a drag carries, if it carries exactly one.
QString DraggedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().front().isLocalFile())
        return {};
    return data->urls().front().toLocalFile();
}

}  // namespace

CSupView::CSupView(CTandeoApp* app, bool topLeft, QWidget* parent)
    : QWidget(parent), isTopLeft(topLeft), app_(app)
{
    grid = new CSupPropertyView(this);
    list = new CSupListView(this);
    preview = new CSupVideoView;
    columns_ = new QSplitter(Qt::Horizontal, this);
    left_ = new QSplitter(Qt::Vertical);
    left_->addWidget(preview);
    left_->addWidget(list);
    left_->setChildrenCollapsible(false);
    columns_->addWidget(left_);
    columns_->addWidget(grid);
    columns_->setChildrenCollapsible(false);
    left_->setMinimumWidth(LeftColumnMinimum);
    preview->setMinimumHeight(PreviewMinimum);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(columns_);
    setAcceptDrops(true);
    // Every change the grid takes shows at once.
    grid->onStyleChanged = [this] { RenderPreview(list->selectedRow); };
}

CSupView::~CSupView()
{
    // The preview shows the frame picture; let it go first.
    preview->SetPicture(nullptr);
}

QString CSupView::Section() const
{
    return isTopLeft ? QStringLiteral("Top") : QStringLiteral("Bottom");
}

void CSupView::RenderPreview(int lineIndex)
{
    if (framePicture) {
        framePicture->fill(Qt::transparent);
        if (lineIndex != -1 && source) {
            SLineRequest request;
            request.videoSizeIndex = videoSizeIndex;
            request.frameRateIndex = frameRateIndex;
            // As the stream will show it: the build squeezes 720-wide frames.
            request.squeeze = true;
            request.lineSpace = grid->style.LineSpace;
            request.fadeEnable = 1;
            request.pictureMode = 0;
            request.flag2 = 1;
            if (source->GetLineImage(lineIndex, request) && !request.image.isNull() &&
                lineIndex >= 0 && lineIndex < static_cast<int>(source->lines.size())) {
                const SSubLine& line = source->lines[static_cast<std::size_t>(lineIndex)];
                const SSourceStyle& style = grid->style;
                const bool oneRow =
                    line.imageFile.isEmpty() && source->GetRowCount(line.entryIndex) == 1;
                const int offset = oneRow ? style.Location2 : style.Location;
                const QPoint corner = PlaceLineImage(request.image.size(), request, offset,
                                                     isTopLeft, style.Direction, style.Alignment);
                QPainter painter(framePicture.get());
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setRenderHint(QPainter::TextAntialiasing);
                painter.drawImage(corner, request.image);
            }
        }
    }
    preview->SetPicture(framePicture.get());
}

void CSupView::AddPictureLine(int index)
{
    if (!source)
        return;
    const QString path = UserDialogs().GetOpenFileName(
        QStringLiteral(
            "Image file (*.bmp;*.jpg;*.png;*.gif)|*.bmp;*.jpg;*.png;*.gif|All files(*.*)|*.*||"),
        QString());
    if (path.isEmpty())
        return;
    QSize picture;
    {
        const QImage image(path);
        if (image.isNull()) {
            UserMessages().Show(QString("%1\r\n%2").arg(path, "invaid image file! "),
                                EMessageKind::Error);
            return;
        }
        picture = image.size();
    }
    // Near the right edge and the top of the frame, a twentieth in.
    const SVideoSize& frame =
        VideoSizeAt(videoSizeIndex >= 0 && videoSizeIndex < VideoSizeCount ? videoSizeIndex : 0);
    int x = 1, y = 0;
    if (frame.Width - picture.width() > 0) {
        const int margin = static_cast<int>(0.05 * frame.Width);
        const int room = frame.Width - picture.width();
        x = room > margin ? room - margin : room;
    }
    if (frame.Height - picture.height() > 0)
        y = static_cast<int>(0.05 * frame.Height);
    const int added = source->InsertImageLine(path, QPoint(x, y), index, isTopLeft ? 0 : 1);
    list->InsertRow(added);
    list->RenumberRows();
    list->SelectRow(added);
}

void CSupView::DeleteSelectedLine()
{
    const int i = list->selectedRow;
    if (!source || i < 0 || i >= static_cast<int>(source->lines.size()))
        return;
    source->RemoveLine(i);
    {
        const QSignalBlocker quiet(list->List());
        delete list->List()->takeTopLevelItem(i);
    }
    list->RenumberRows();
    list->SelectRow(std::min(i, static_cast<int>(source->lines.size()) - 1));
}

int CSupView::LeftColumnWidth() const
{
    return columns_->sizes().value(0);
}

int CSupView::PreviewHeight() const
{
    return left_->sizes().value(0);
}

void CSupView::LayoutPage()
{
    const QSize client = size();
    if (pageWidth <= 0)
        pageWidth = static_cast<int>(client.width() * 0.7);
    const int width = std::max(pageWidth, LeftColumnMinimum);
    columns_->setSizes({width, std::max(0, client.width() - width - columns_->handleWidth())});
    if (pageHeight <= 0)
        pageHeight = static_cast<int>(client.height() * 0.7);
    const int height = std::max(pageHeight, PreviewMinimum);
    left_->setSizes({height, std::max(0, client.height() - height - left_->handleWidth())});
}

void CSupView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (layoutLoaded && !size().isEmpty())
        LayoutPage();
}

void CSupView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DraggedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CSupView::dropEvent(QDropEvent* event)
{
    const QString path = DraggedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    app_->OpenPageSourceFile(this, path);
}
