// The panel's decoration: the caption label and the gradient behind the panel, drawn.
#include "ControlsTestSupport.h"
#include "ZVLabel.h"
#include "Zelvar_BackgroundView.h"
#include "Zelvar_GradientView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(ZVLabel, IsACentredBorderlessCaption) {
    ZVLabel label;
    EXPECT_EQ(label.frame(), toolkit::Rect{});
    EXPECT_FALSE(label.isEditable());
    EXPECT_FALSE(label.isBordered());
    EXPECT_FALSE(label.drawsBackground());
    EXPECT_EQ(label.lineBreakMode(), toolkit::LineBreakMode::byTruncatingTail);
    EXPECT_EQ(label.alignment(), toolkit::TextAlignment::center);

    label.setFrame(toolkit::makeRect(0, 0, 165, 20));
    label.setStringValue("Resonance");
    label.setTextColor(toolkit::Color::darkGray());
    if (auto font = toolkit::Font::withName("Futura", 13)) {
        label.setFont(*font);
    }
    EXPECT_EQ(label.displayedText(), "Resonance");
    const QImage image = render(label);
    // Transparent around the text; dark grey glyphs centred: the ink's middle near x 82.5.
    EXPECT_EQ(pixelAt(image, 20, 2, 10).alpha(), 0);
    int left = 1000, right = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y).alpha() > 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_GE(right, 0);
    EXPECT_NEAR((left + right + 1) / 2.0, 82.5, 2.0);

    label.setFrameSize(toolkit::Size{30, 20});
    EXPECT_NE(label.displayedText(), "Resonance"); // cut at its end
    EXPECT_LT(label.displayedText().size(), std::string("Resonance").size());
    EXPECT_NE(label.displayedText().find("\u2026"), std::string::npos);
}

TEST(GradientView, BlendsFromUpperLeftToLowerRight) {
    Zelvar_GradientView panel(toolkit::makeRect(0, 0, 480, 360));
    const QImage image = render(panel);
    const QColor start = fromCode("#f9fed3"), end = fromCode("#ffdbb2");
    EXPECT_TRUE(near(pixelAt(image, 360, 0.5, 359.5), start, 4));
    EXPECT_TRUE(near(pixelAt(image, 360, 479.5, 0.5), end, 4));
    const QColor middle = pixelAt(image, 360, 240, 180);
    EXPECT_NEAR(middle.green(), (0xfe + 0xdb) / 2.0, 3);
    EXPECT_NEAR(middle.blue(), (0xd3 + 0xb2) / 2.0, 3);
    // Along the axis's perpendicular the colour stays: 20° below +x means (sin 20°, cos 20°).
    const QColor across = pixelAt(image, 360, 240 + 17.1, 180 + 47.0);
    EXPECT_TRUE(near(across, middle, 3));
    Zelvar_BackgroundView plain(toolkit::makeRect(0, 0, 10, 10));
    EXPECT_EQ(pixelAt(render(plain), 10, 5, 5).alpha(), 0);
}

} // namespace
