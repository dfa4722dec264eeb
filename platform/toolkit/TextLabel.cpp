// Captions drawn with QPainter text, so they share the views' y-up geometry and fractional
// frames instead of living outside them as separate Qt label widgets.
#include "TextLabel.h"

#include "BezierPath.h"
#include "QtGraphicsContext.h"

#include <QFontMetricsF>
#include <QString>

#include <cmath>

namespace toolkit {

namespace {
// Space a desktop text field keeps between its edges and its text.
constexpr double horizontalPadding = 2.0;

Qt::Alignment horizontalFlag(TextAlignment alignment) {
    switch (alignment) {
    case TextAlignment::right:
        return Qt::AlignRight;
    case TextAlignment::center:
        return Qt::AlignHCenter;
    case TextAlignment::justified:
        return Qt::AlignJustify;
    case TextAlignment::left:
    case TextAlignment::natural:
        break;
    }
    return Qt::AlignLeft;
}
} // namespace

TextLabel::TextLabel(Rect frame) : View(frame) {}

void TextLabel::setStringValue(const std::string& value) {
    text = value;
    setNeedsDisplay();
}

void TextLabel::setFont(const Font& font) {
    labelFont = font;
    setNeedsDisplay();
}

void TextLabel::setTextColor(const Color& color) {
    foreground = color;
    setNeedsDisplay();
}

void TextLabel::setAlignment(TextAlignment alignment) {
    textAlignment = alignment;
    setNeedsDisplay();
}

void TextLabel::setLineBreakMode(LineBreakMode mode) {
    breakMode = mode;
    setNeedsDisplay();
}

void TextLabel::setBordered(bool value) {
    bordered = value;
    setNeedsDisplay();
}

void TextLabel::setDrawsBackground(bool draws) {
    fillsBackground = draws;
    setNeedsDisplay();
}

void TextLabel::setBackgroundColor(const Color& color) {
    background = color;
    setNeedsDisplay();
}

std::string TextLabel::displayedText() const {
    const QString full = QString::fromStdString(text);
    const double width = frame().width() - 2 * horizontalPadding;
    const QFontMetricsF metrics(labelFont.qtFont());
    switch (breakMode) {
    case LineBreakMode::byTruncatingHead:
        return metrics.elidedText(full, Qt::ElideLeft, width).toStdString();
    case LineBreakMode::byTruncatingTail:
        return metrics.elidedText(full, Qt::ElideRight, width).toStdString();
    case LineBreakMode::byTruncatingMiddle:
        return metrics.elidedText(full, Qt::ElideMiddle, width).toStdString();
    case LineBreakMode::byWordWrapping:
    case LineBreakMode::byCharWrapping:
    case LineBreakMode::byClipping:
        break;
    }
    return text;
}

Size TextLabel::fittingSize() const {
    const QFontMetricsF metrics(labelFont.qtFont());
    const double textWidth = metrics.horizontalAdvance(QString::fromStdString(text));
    return Size{std::ceil(textWidth + 2 * horizontalPadding), std::ceil(metrics.height())};
}

void TextLabel::draw(Rect) {
    QtGraphicsContext* context = QtGraphicsContext::current();
    if (context == nullptr) {
        return;
    }
    const Rect box = bounds();
    if (fillsBackground) {
        background.set();
        BezierPath::withRect(box).fill();
    }
    if (bordered) {
        Color::gray().set();
        GraphicsContext::frameRectWithWidth(box, 1.0);
    }
    int flags = static_cast<int>(horizontalFlag(textAlignment) | Qt::AlignTop);
    if (breakMode == LineBreakMode::byWordWrapping) {
        flags |= Qt::TextWordWrap;
    } else if (breakMode == LineBreakMode::byCharWrapping) {
        flags |= Qt::TextWrapAnywhere;
    }
    foreground.set();
    const Rect textBox =
        makeRect(horizontalPadding, 0.0, box.width() - 2 * horizontalPadding, box.height());
    context->drawText(QString::fromStdString(displayedText()), textBox, labelFont.qtFont(), flags);
}

} // namespace toolkit
