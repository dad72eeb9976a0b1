#include "textengine/DrawingPath.h"

#include <gtest/gtest.h>

TEST(DrawingPath, ShapesOfTheDrawingCommands)
{
    struct Case {
        const char* Name;
        const char* Commands;
        double Scale;
        QRectF Box;       // bounding box; empty: nothing drawn
        QPointF Inside;   // a point the shape fills
        QPointF Outside;  // a point in its box that it leaves empty
    } cases[] = {
        {"square", "m 0 0 l 100 0 100 100 0 100", 1, {0, 0, 100, 100}, {50, 50}, {-1, -1}},
        {"scaled", "m 0 0 l 100 0 100 100 0 100", 0.5, {0, 0, 50, 50}, {25, 25}, {-1, -1}},
        {"two figures",
         "m 0 0 l 10 0 10 10 0 10 m 20 0 l 30 0 30 10 20 10",
         1,
         {0, 0, 30, 10},
         {25, 5},
         {15, 5}},
        {"curve", "m 0 0 b 0 100 100 100 100 0", 1, {0, 0, 100, 75}, {50, 40}, {2, 70}},
        {"spline", "m 0 0 s 100 0 100 100 0 100 c", 1, {0, 0, 95.83, 95.83}, {50, 50}, {94, 6}},
        {"no spaces", "m0 0l50 0 50 50", 1, {0, 0, 50, 50}, {40, 10}, {10, 40}},
        {"move only", "m 10 10", 1, {}, {}, {}},
        {"no command", "10 10 20 20", 1, {}, {}, {}},
        {"odd number", "m 0 0 l 10 0 10 10 5", 1, {0, 0, 10, 10}, {8, 3}, {2, 8}},
    };
    for (const Case& c : cases) {
        const QPainterPath path = DrawingPath(c.Commands, c.Scale, c.Scale);
        if (c.Box.isNull()) {
            EXPECT_TRUE(path.isEmpty()) << c.Name;
            continue;
        }
        const QRectF box = path.boundingRect();
        EXPECT_NEAR(box.left(), c.Box.left(), 1.0) << c.Name;
        EXPECT_NEAR(box.top(), c.Box.top(), 1.0) << c.Name;
        EXPECT_NEAR(box.right(), c.Box.right(), 1.0) << c.Name;
        EXPECT_NEAR(box.bottom(), c.Box.bottom(), 1.0) << c.Name;
        EXPECT_TRUE(path.contains(c.Inside)) << c.Name;
        EXPECT_FALSE(path.contains(c.Outside)) << c.Name;
    }
}
