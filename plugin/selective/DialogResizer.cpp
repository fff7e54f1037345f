#include "DialogResizer.h"

void DialogResizer::Track(HWND dialog, int controlId, unsigned anchors) {
    RECT client;
    GetClientRect(dialog, &client);
    client_.cx = client.right;
    client_.cy = client.bottom;
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) {
        return;
    }
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    controls_.push_back(Tracked{controlId, anchors, place});
}

void DialogResizer::Apply(HWND dialog) const {
    RECT client;
    GetClientRect(dialog, &client);
    const LONG dx = client.right - client_.cx;
    const LONG dy = client.bottom - client_.cy;
    for (const Tracked& tracked : controls_) {
        HWND control = GetDlgItem(dialog, tracked.id);
        if (!control) {
            continue;
        }
        RECT place = tracked.place;
        if (tracked.anchors & kMoveRight) {
            place.left += dx;
            place.right += dx;
        }
        if (tracked.anchors & kMoveDown) {
            place.top += dy;
            place.bottom += dy;
        }
        if (tracked.anchors & kGrowWidth) {
            place.right += dx;
        }
        if (tracked.anchors & kGrowHeight) {
            place.bottom += dy;
        }
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(control, nullptr, TRUE);
    }
}
