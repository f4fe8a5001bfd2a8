// What an image button shows and when it is clicked, from the pointer events
// it receives. It holds the mouse capture from a press until the release, so
// it also hears about the pointer while it is outside.
#pragma once

#include "forms/Platform.h"

namespace qinvara::forms {

enum class ButtonPicture { Normal, Hover, Pressed };

class ImageButtonState {
  public:
    ButtonPicture Picture() const {
        if (over_ && held_ && showPressed_) return ButtonPicture::Pressed;
        return over_ ? ButtonPicture::Hover : ButtonPicture::Normal;
    }

    // Returns true when the input completes a click.
    bool Handle(const PointerInput& input) {
        over_ = input.over;
        switch (input.action) {
            case PointerAction::Press:
                held_ = true;
                showPressed_ = true;
                return false;
            case PointerAction::DoublePress:
                // The second press of a double-click shows nothing, but its
                // release still clicks.
                held_ = true;
                showPressed_ = false;
                return false;
            case PointerAction::Release: {
                bool clicked = held_ && input.over;
                held_ = false;
                showPressed_ = false;
                return clicked;
            }
            case PointerAction::Enter:
            case PointerAction::Leave:
            case PointerAction::Motion:
                return false;
        }
        return false;
    }

  private:
    bool over_ = false;
    bool held_ = false;
    bool showPressed_ = false;
};

}  // namespace qinvara::forms
