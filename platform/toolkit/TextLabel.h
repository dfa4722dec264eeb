// A caption: a view that shows one text in a font and colour, aligned in its frame.
//
// It covers what the panel's labels use of a desktop text field: a text, a font, a text
// colour, an alignment, an optional border and background, and the line-break mode. Labels
// are never edited; `setEditable(true)` is accepted and changes nothing. The enumeration
// values are the raw values the panel code passes.
#pragma once

#include "Color.h"
#include "Font.h"
#include "View.h"

#include <string>

namespace toolkit {

enum class TextAlignment : int { left = 0, right = 1, center = 2, justified = 3, natural = 4 };

enum class LineBreakMode : int {
    byWordWrapping = 0,
    byCharWrapping = 1,
    byClipping = 2,
    byTruncatingHead = 3,
    byTruncatingTail = 4,
    byTruncatingMiddle = 5,
};

class TextLabel : public View {
public:
    explicit TextLabel(Rect frame = {});

    void setStringValue(const std::string& text);
    const std::string& stringValue() const { return text; }
    void setFont(const Font& font);
    const Font& font() const { return labelFont; }
    void setTextColor(const Color& color);
    const Color& textColor() const { return foreground; }
    void setAlignment(TextAlignment alignment);
    TextAlignment alignment() const { return textAlignment; }
    void setLineBreakMode(LineBreakMode mode);
    LineBreakMode lineBreakMode() const { return breakMode; }
    void setBordered(bool bordered);
    bool isBordered() const { return bordered; }
    void setDrawsBackground(bool draws);
    bool drawsBackground() const { return fillsBackground; }
    void setBackgroundColor(const Color& color);
    void setEditable(bool editable) { isEditableFlag = editable; }
    bool isEditable() const { return isEditableFlag; }

    void draw(Rect dirtyRect) override;

    // The text as it fits the label's width under the line-break mode (for drawing and tests).
    std::string displayedText() const;
    // The smallest frame size that shows the whole text on one line, padding included.
    Size fittingSize() const;

private:
    std::string text;
    Font labelFont = Font::systemFont(13.0);
    Color foreground = Color::black();
    Color background = Color::white();
    TextAlignment textAlignment = TextAlignment::natural;
    LineBreakMode breakMode = LineBreakMode::byClipping;
    bool bordered = true;
    bool fillsBackground = true;
    bool isEditableFlag = true;
};

} // namespace toolkit
