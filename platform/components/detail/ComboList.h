// The drop-down list of a combo box: a popup window of its own that never takes activation,
// holding the mouse (capture) while it is open. The combo box keeps the keyboard focus and
// hands the keys to it; the list hands a pick or a close back to the combo box, which then
// destroys it.
#pragma once

#include "platform/ScrollBar.h"
#include "platform/StdCtrls.h"

namespace platform::detail {

class ComboList {
public:
    explicit ComboList(TCustomComboBox& combo);
    ~ComboList();
    ComboList(const ComboList&) = delete;
    ComboList& operator=(const ComboList&) = delete;

    // Makes and shows the window below (or above) the combo box; false when there is nothing
    // to show.
    bool Open();
    HWND Handle() const { return hwnd_; }
    int Hot() const { return hot_; }
    // Highlights an item (clamped to the list) and scrolls it into view.
    void SetHot(int index);
    void ScrollBy(int rows);
    int VisibleRows() const { return rows_; }
    RECT ItemRect(int index) const;

    LRESULT Proc(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    int Count() const;
    bool HasBar() const { return Count() > rows_; }
    RECT BarRect() const;
    int RowAt(POINT p) const;
    void SetTop(int top);
    void Paint();
    void Mouse(UINT msg, POINT p);

    TCustomComboBox& combo_;
    HWND hwnd_ = nullptr;
    int rowHeight_ = 1;
    int rows_ = 1;
    int top_ = 0;
    int hot_ = -1;
    bool closing_ = false;
    bool armed_ = false;  // a release may pick (see Mouse)
    ScrollBarDriver bar_{SB_VERT};
};

}  // namespace platform::detail
