#include <gtest/gtest.h>

#include "FormsFixture.h"
#include "platform/ExtCtrls.h"
#include "platform/SysUtils.h"

namespace {

using forms_test::FormsTest;

// Moves the pointer to a client point of a control and sends the mouse message there.
void MouseAt(TWinControl* c, UINT msg, int x, int y, WPARAM keys = 0) {
    POINT p = c->ClientToScreen(Point(x, y));
    SetCursorPos(p.x, p.y);
    HWND target = GetCapture() ? GetCapture() : c->Handle();
    POINT local = p;
    ScreenToClient(target, &local);
    SendMessageA(target, msg, keys, MAKELPARAM(local.x, local.y));
}

TEST_F(FormsTest, DragFromOneControlDropsOnAnotherThatAccepts) {
    TForm* form = NewForm();
    form->Show();
    auto* source = new TPanel(form);
    source->SetParent(form);
    source->SetBounds(0, 0, 100, 100);
    source->SetDragMode(dmAutomatic);
    auto* target = new TPanel(form);
    target->SetParent(form);
    target->SetBounds(200, 0, 100, 100);
    std::vector<String> log;
    target->OnDragOver = [&](TObject*, TObject* src, int x, int, TDragState state, bool& accept) {
        log.push_back("over " + IntToStr(state) + " " + IntToStr(x));
        accept = src == source;
    };
    target->OnDragDrop = [&](TObject*, TObject* src, int x, int y) {
        log.push_back("drop " + IntToStr(x) + "," + IntToStr(y) + (src == source ? " from source" : ""));
    };
    source->OnEndDrag = [&](TObject*, TObject* t, int, int) { log.push_back(t == target ? "end on target" : "end"); };

    MouseAt(source, WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
    MouseAt(source, WM_MOUSEMOVE, 12, 11, MK_LBUTTON);  // under the threshold: no drag yet
    EXPECT_FALSE(source->Dragging());
    MouseAt(target, WM_MOUSEMOVE, 5, 5, MK_LBUTTON);
    EXPECT_TRUE(source->Dragging());
    MouseAt(target, WM_MOUSEMOVE, 6, 7, MK_LBUTTON);
    MouseAt(target, WM_LBUTTONUP, 6, 7);
    EXPECT_FALSE(source->Dragging());
    EXPECT_EQ(log, (std::vector<String>{"over 0 5", "over 2 5", "over 2 6", "drop 6,7 from source", "end on target"}));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(FormsTest, CancelledOrRefusedDragsDropNothing) {
    TForm* form = NewForm();
    form->Show();
    auto* source = new TPanel(form);
    source->SetParent(form);
    source->SetBounds(0, 0, 100, 100);
    auto* target = new TPanel(form);
    target->SetParent(form);
    target->SetBounds(200, 0, 100, 100);
    int drops = 0, leaves = 0;
    target->OnDragOver = [&](TObject*, TObject*, int, int, TDragState state, bool& accept) {
        if (state == dsDragLeave) ++leaves;
        accept = false;
    };
    target->OnDragDrop = [&](TObject*, TObject*, int, int) { ++drops; };
    TObject* ended = form;
    source->OnEndDrag = [&](TObject*, TObject* t, int, int) { ended = t; };
    source->BeginDrag(true);
    MouseAt(target, WM_MOUSEMOVE, 5, 5, MK_LBUTTON);
    MouseAt(target, WM_LBUTTONUP, 5, 5);  // refused: no drop
    EXPECT_EQ(drops, 0);
    EXPECT_EQ(ended, nullptr);
    EXPECT_EQ(leaves, 1);

    source->BeginDrag(true);
    MouseAt(target, WM_MOUSEMOVE, 5, 5, MK_LBUTTON);
    MouseAt(target, WM_RBUTTONDOWN, 5, 5, MK_RBUTTON);  // the right button cancels
    EXPECT_FALSE(source->Dragging());
    EXPECT_EQ(drops, 0);
}

}  // namespace
