// Keyboard focus order: Tab and Shift+Tab over a form, arrows within a radio group.
#include <vector>

#include "platform/Forms.h"
#include "platform/StdCtrls.h"

namespace {

// A radio button is a stop when checked, or when none of its group (its parent's radio
// buttons) is, so that Tab enters a group once and arrows move within it.
bool RadioStop(TRadioButton* radio) {
    if (radio->Checked() || !radio->Parent()) return true;
    for (Integer i = 0; i < radio->Parent()->ControlCount(); ++i)
        if (auto* other = dynamic_cast<TRadioButton*>(radio->Parent()->Controls(i)); other && other->Checked())
            return false;
    return true;
}

// Every windowed control under root in tab order (a parent before its children).
void CollectTabOrder(TWinControl* root, std::vector<TWinControl*>& out) {
    for (Integer i = 0; i < root->ControlCount(); ++i) {
        auto* w = dynamic_cast<TWinControl*>(root->Controls(i));
        if (!w || !w->Visible()) continue;
        out.push_back(w);
        CollectTabOrder(w, out);
    }
}

bool IsStop(TWinControl* w, bool checkTabStop) {
    if (checkTabStop && !w->TabStop()) return false;
    if (!w->CanFocus() || !w->Showing()) return false;
    if (auto* radio = dynamic_cast<TRadioButton*>(w); radio && !RadioStop(radio)) return false;
    return true;
}

}  // namespace

void TCustomForm::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
    std::vector<TWinControl*> order;
    CollectTabOrder(this, order);
    if (order.empty()) return;
    const std::size_t n = order.size();
    std::size_t at = n;
    for (std::size_t i = 0; i < n; ++i)
        if (order[i] == CurControl) at = i;
    for (std::size_t step = 1; step <= n; ++step) {
        std::size_t i = at == n ? (GoForward ? step - 1 : n - step) : (GoForward ? (at + step) % n : (at + n - step) % n);
        TWinControl* w = order[i];
        if (w == CurControl || !IsStop(w, CheckTabStop)) continue;
        w->SetFocus();
        // Reached by the keyboard, a one-line edit offers its whole text for retyping.
        if (auto* edit = dynamic_cast<TEdit*>(w)) edit->SelectAll();
        return;
    }
}
