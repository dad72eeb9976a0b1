#pragma once
// One source page: the preview above the line list on the left, the style
// on the right. The page owns its source and the frame picture its preview
// shows.

#include "source/TextSub.h"

#include <QImage>
#include <QWidget>

#include <memory>

class CSupListView;
class CSupPropertyView;
class CSupVideoView;
class QSplitter;
class CTandeoApp;

class CSupView : public QWidget {
    Q_OBJECT
public:
    CSupView(CTandeoApp* app, bool topLeft, QWidget* parent = nullptr);
    ~CSupView() override;

    // Draws line `lineIndex` of the source (-1: none) into the frame
    // picture at its place and shows it.
    void RenderPreview(int lineIndex);
    // Puts the two dividers where `pageWidth` and `pageHeight` say, taking
    // 70 % of the page for either that is not known yet.
    void LayoutPage();
    // Asks for a picture and puts it in as a line before `index` (-1:
    // after the last line), then selects it.
    void AddPictureLine(int index);
    // Removes the selected line and selects the one now in its place.
    void DeleteSelectedLine();

    // The current sizes of the left column and of the preview row.
    int LeftColumnWidth() const;
    int PreviewHeight() const;

    CSupPropertyView* grid;
    CSupListView* list;
    CSupVideoView* preview;
    QString sourcePath;
    std::unique_ptr<CTextSub> source;
    std::unique_ptr<QImage> framePicture;
    int videoSizeIndex = 0;
    int frameRateIndex = 0;
    const bool isTopLeft;
    bool layoutLoaded = false;
    int pageHeight = 0;
    int pageWidth = 0;

    // The settings section of the page: "Top" or "Bottom".
    QString Section() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CTandeoApp* app_;
    QSplitter* columns_;
    QSplitter* left_;
};
