// One key of the on-screen keyboard: white or black, pressed or released. It only draws; the
// keyboard view handles the mouse for all its keys.
#pragma once

#include "KeyState.h"
#include "KeyType.h"
#include "View.h"

class KeyView : public toolkit::View {
public:
    KeyView();
    explicit KeyView(toolkit::Rect frame);

    void draw(toolkit::Rect dirtyRect) override;

    KeyType keyType = KeyType::white;
    KeyState keyState = KeyState::isOff;
};
