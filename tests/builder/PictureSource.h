#pragma once
// A source for builder tests: every line is drawn as an anti-aliased
// rounded box of its own colour with a dark outline on a transparent
// background, so its pictures carry hundreds of colours like rendered text.

#include "source/SubBase.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

#include <vector>

struct STestLine {
    std::int32_t start = 0;
    std::int32_t end = 0;
    int width = 400;
    int height = 60;
    QRgb colour = qRgb(255, 255, 255);
    bool noPicture = false;  // the line shows nothing
    bool fails = false;      // the source cannot draw the line
    bool fade = false;
};

inline QImage DrawTestPicture(int width, int height, QRgb colour)
{
    QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(3.5, 3.5, width - 7, height - 7), height / 4.0, height / 4.0);
    painter.setPen(QPen(QColor(20, 20, 20), 3));
    painter.setBrush(QColor(colour));
    painter.drawPath(box);
    painter.end();
    return picture.convertToFormat(QImage::Format_ARGB32);
}

class CPictureSource : public CSubBase {
public:
    explicit CPictureSource(std::vector<STestLine> specs, int rowCount = 1)
        : Specs(std::move(specs)), Rows(rowCount)
    {
        for (std::size_t i = 0; i < Specs.size(); ++i) {
            SSubLine line;
            line.source = this;
            line.entryIndex = static_cast<std::int32_t>(i);
            line.start = Specs[i].start;
            line.end = Specs[i].end;
            line.fade = Specs[i].fade ? 1 : 0;
            lines.push_back(line);
        }
    }

    bool Load(const QString&, CUserMessages*) override { return true; }
    int GetRowCount(int) override { return Rows; }

    bool GetLineImage(int index, SLineRequest& request) override
    {
        ++Requests;
        const STestLine& spec = Specs.at(static_cast<std::size_t>(index));
        if (spec.fails)
            return false;
        request.image =
            spec.noPicture ? QImage() : DrawTestPicture(spec.width, spec.height, spec.colour);
        request.posX = lines[static_cast<std::size_t>(index)].posX;
        request.posY = lines[static_cast<std::size_t>(index)].posY;
        return true;
    }

    std::vector<STestLine> Specs;
    int Rows;
    int Requests = 0;
};
