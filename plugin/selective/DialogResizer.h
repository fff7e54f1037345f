#pragma once
// Keeps a dialog's controls in place while the user resizes it: each control
// named at Track follows the right edge, the bottom edge, or both, by the
// distance the client area has grown since Track was called.

#include <windows.h>

#include <vector>

class DialogResizer {
public:
    enum Anchor : unsigned {
        kMoveRight = 1,   // keeps its distance to the right edge
        kMoveDown = 2,    // keeps its distance to the bottom edge
        kGrowWidth = 4,   // its right side keeps its distance to the right edge
        kGrowHeight = 8,  // its bottom keeps its distance to the bottom edge
    };

    // Takes the dialog's client size and the control's place as they are now.
    void Track(HWND dialog, int controlId, unsigned anchors);
    // Moves every tracked control for the dialog's present client size.
    void Apply(HWND dialog) const;

private:
    struct Tracked {
        int id;
        unsigned anchors;
        RECT place;  // in client coordinates when tracked
    };
    SIZE client_ = {0, 0};
    std::vector<Tracked> controls_;
};
