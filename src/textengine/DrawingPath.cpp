#include "DrawingPath.h"

#include <cmath>
#include <vector>

namespace {

bool IsNumberChar(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'+' || c == u'e' ||
           c == u'E';
}

// A uniform cubic B-spline through `points` as Bézier segments, from the
// current position.
void AddSpline(QPainterPath& path, const std::vector<QPointF>& points)
{
    for (std::size_t i = 0; i + 3 < points.size(); ++i) {
        const QPointF& p0 = points[i];
        const QPointF& p1 = points[i + 1];
        const QPointF& p2 = points[i + 2];
        const QPointF& p3 = points[i + 3];
        if (i == 0)
            path.lineTo((p0 + 4 * p1 + p2) / 6);
        path.cubicTo((4 * p1 + 2 * p2) / 6, (2 * p1 + 4 * p2) / 6, (p1 + 4 * p2 + p3) / 6);
    }
}

}  // namespace

QPainterPath DrawingPath(const QString& commands, double scaleX, double scaleY)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    QChar command;
    std::vector<double> numbers;
    std::vector<QPointF> spline;  // points of the open spline
    bool figure = false;          // a figure is open
    QPointF current;

    const auto point = [&](std::size_t i) {
        return QPointF(numbers[i] * scaleX, numbers[i + 1] * scaleY);
    };
    const auto finishSpline = [&](bool closed) {
        // A closed spline runs on over its first points back to its start.
        if (closed && spline.size() >= 3) {
            const std::size_t n = spline.size();
            for (std::size_t i = 0; i < 3; ++i)
                spline.push_back(spline[i % n]);
        }
        if (spline.size() >= 4)
            AddSpline(path, spline);
        else
            for (std::size_t i = 1; i < spline.size(); ++i)
                path.lineTo(spline[i]);
        spline.clear();
    };
    // Draws what the numbers of the current command describe so far.
    const auto flush = [&](bool atCommandEnd) {
        switch (command.unicode()) {
        case 'm':
        case 'n':
            if (numbers.size() >= 2) {
                if (command == u'm' && figure)
                    path.closeSubpath();
                current = point(numbers.size() - 2);
                path.moveTo(current);
                figure = true;
                numbers.clear();
            }
            break;
        case 'l':
            while (numbers.size() >= 2) {
                current = point(0);
                path.lineTo(current);
                numbers.erase(numbers.begin(), numbers.begin() + 2);
            }
            break;
        case 'b':
            while (numbers.size() >= 6) {
                current = point(4);
                path.cubicTo(point(0), point(2), current);
                numbers.erase(numbers.begin(), numbers.begin() + 6);
            }
            break;
        case 's':
        case 'p':
            while (numbers.size() >= 2) {
                if (spline.empty())
                    spline.push_back(current);
                current = point(0);
                spline.push_back(current);
                numbers.erase(numbers.begin(), numbers.begin() + 2);
            }
            if (atCommandEnd)
                finishSpline(false);
            break;
        default: numbers.clear(); break;
        }
    };

    qsizetype i = 0;
    const qsizetype length = commands.size();
    while (i < length) {
        const QChar c = commands[i];
        if (c == u'm' || c == u'n' || c == u'l' || c == u'b' || c == u's' || c == u'p' ||
            c == u'c') {
            const bool continuesSpline =
                (c == u'p' || c == u'c') && (command == u's' || command == u'p');
            flush(!continuesSpline);
            numbers.clear();
            if (c == u'c') {
                finishSpline(continuesSpline);
                command = QChar();
            } else {
                command = c;
            }
            ++i;
            continue;
        }
        if (!IsNumberChar(c)) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < length && IsNumberChar(commands[i]))
            ++i;
        bool ok = false;
        const double value = QStringView(commands).mid(start, i - start).toDouble(&ok);
        if (ok && std::isfinite(value) && !command.isNull()) {
            numbers.push_back(value);
            flush(false);
        }
    }
    flush(true);
    finishSpline(false);
    if (figure)
        path.closeSubpath();
    return path;
}
