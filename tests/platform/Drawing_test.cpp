#include <gtest/gtest.h>

#include "platform/AffineTransform.h"
#include "platform/BezierPath.h"
#include "platform/Image.h"
#include "platform/ImageCanvas.h"

TEST(AffineTransform, LastOperationAppliesFirst) {
    AffineTransform t;
    t.translate(10, 20);
    t.scale(2, 3);
    const Point p = t.transformPoint({1, 1});
    EXPECT_DOUBLE_EQ(p.x, 12);
    EXPECT_DOUBLE_EQ(p.y, 23);

    AffineTransform r;
    r.translate(5, 0);
    r.rotateByDegrees(90);
    const Point q = r.transformPoint({1, 0});
    EXPECT_NEAR(q.x, 5, 1e-9);
    EXPECT_NEAR(q.y, 1, 1e-9);

    AffineTransform a;
    a.scale(2, 2);
    AffineTransform b;
    b.translate(1, 0);
    a.append(b);  // scale, then translate
    EXPECT_NEAR(a.transformPoint({1, 1}).x, 3, 1e-9);
}

TEST(BezierPath, TransformMovesEveryPointAndBoundsFollow) {
    BezierPath path = BezierPath::ovalInRect({-1, -1, 2, 2});
    EXPECT_EQ(path.elementCount(), 6u);  // move, four curves, close
    AffineTransform t;
    t.translate(14, 9);
    t.scale(8, 8);
    path.transform(t);
    const Rect b = path.bounds();
    EXPECT_NEAR(b.x(), 6, 1e-9);
    EXPECT_NEAR(b.maxX(), 22, 1e-9);
    EXPECT_NEAR(b.y(), 1, 1e-9);
    EXPECT_NEAR(b.maxY(), 17, 1e-9);
}

TEST(ImageCanvas, FillsStrokesAndTransforms) {
    ImageRef image = Image::create({28, 19});
    {
        ImageCanvas canvas(*image);
        canvas.save();
        AffineTransform t;
        t.translate(14, 9);
        t.scale(4, 4);
        canvas.concat(t);
        canvas.fill(BezierPath::rect({-1, -1, 2, 2}), Color::calibratedRGB(1, 0, 0));
        canvas.restore();
        BezierPath line;
        line.moveTo({0, 0.5});
        line.lineTo({28, 0.5});
        canvas.stroke(line, Color::calibratedRGB(0, 0, 1));
    }
    EXPECT_EQ(image->pixelAt(14, 9), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(image->pixelAt(10, 5), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(image->pixelAt(9, 9).a, 0);   // outside the scaled square
    EXPECT_EQ(image->pixelAt(20, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(image->pixelAt(20, 1).a, 0);
    // The translucent moon-shadow grey drawn over white.
    ImageRef white = Image::create({2, 2});
    {
        ImageCanvas canvas(*white);
        canvas.fillRect({0, 0, 2, 2}, Color::white());
        canvas.fillRect({0, 0, 2, 2}, Color::calibratedRGB(0.17, 0.17, 0.17, 0.5));
    }
    EXPECT_NEAR(white->pixelAt(0, 0).r, 149, 1);
    {
        ImageCanvas canvas(*white);
        canvas.clear();
    }
    EXPECT_EQ(white->pixelAt(1, 1).a, 0);
}
