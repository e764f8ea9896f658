// The message side of the tree control: its message switch, the notifications of the tree
// window, owner colouring during custom draw, label editing, info tips and the Enter key.
#include <cstring>

#include "controls/TreeEx.h"

#include "controls/CheckImages.h"
#include "platform/Forms.h"

namespace {

constexpr const char* kEditOwnerProp = "TarvikTreeEditOwner";

TNodeStates StatesOf(UINT itemState) {
    TNodeStates s = 0;
    if (itemState & CDIS_SELECTED) s |= StateBit(TNodeState::nstSelected);
    if (itemState & CDIS_GRAYED) s |= StateBit(TNodeState::nstGrayed);
    if (itemState & CDIS_DISABLED) s |= StateBit(TNodeState::nstDisabled);
    if (itemState & CDIS_FOCUS) s |= StateBit(TNodeState::nstFocused);
    if (itemState & CDIS_HOT) s |= StateBit(TNodeState::nstHot);
    if (itemState & CDIS_MARKED) s |= StateBit(TNodeState::nstMarked);
    if (itemState & CDIS_INDETERMINATE) s |= StateBit(TNodeState::nstIndeterminate);
    return s;
}

void CopyOut(const String& text, char* buffer, int size) {
    if (!buffer || size <= 0) return;
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace

LRESULT TCustomTreeEx::Inherited(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    TWinControl::WndProc(m);
    return m.Result;
}

void TCustomTreeEx::DefaultHandler(TMessage& message) {
    // CM_SYSCOLORCHANGE reaches the window as the system's own colour-change message.
    if (message.Msg == CM_SYSCOLORCHANGE) {
        TMessage m{WM_SYSCOLORCHANGE, message.WParam, message.LParam, 0};
        TWinControl::DefaultHandler(m);
        message.Result = m.Result;
        return;
    }
    TWinControl::DefaultHandler(message);
}

void TCustomTreeEx::WndProc(TMessage& message) {
    const WPARAM wParam = message.WParam;
    const LPARAM lParam = message.LParam;
    // The scroll bars take the mouse over them: the tree's selection and drag rules are for
    // the rows.
    if ((message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONUP || message.Msg == WM_LBUTTONDBLCLK ||
         message.Msg == WM_MOUSEMOVE) &&
        HandleAllocated() && !Dragging() &&
        TreeScrollBarAt(Handle(), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
        DefaultHandler(message);
        return;
    }
    switch (message.Msg) {
    case CN_NOTIFY:
        message.Result = CNNotify(*reinterpret_cast<NMHDR*>(lParam));
        return;
    case CM_COLORCHANGED:
        // The class library hears of the colour first; the new window then takes it.
        TWinControl::WndProc(message);
        RecreateWnd();
        return;
    case CM_CTL3DCHANGED:
        if (borderStyle_ == bsSingle) RecreateWnd();
        message.Result = 0;
        return;
    case CM_SYSCOLORCHANGE:
        DefaultHandler(message);
        // The check images follow the desktop's button colours: every tree rebuilds the
        // module's one list in place.
        if (CheckImages) LoadCheckImages(CheckImages);
        return;
    case WM_DESTROY:
        if (!destroying_ && !Destroying()) CollapseAll();
        break;
    case WM_NOTIFY:
        if (lParam && reinterpret_cast<NMHDR*>(lParam)->code == TTN_NEEDTEXTW &&
            !options_.Has(TTreeOption::toInfoTip) && ToolTipText(*reinterpret_cast<NMTTDISPINFOW*>(lParam))) {
            message.Result = 1;
            return;
        }
        break;
    case WM_KEYDOWN:
        WMKeyDown(message);
        return;
    case WM_LBUTTONDOWN:
        LeftButtonDown(message);
        return;
    case WM_LBUTTONUP:
        LeftButtonUp(message);
        return;
    case WM_LBUTTONDBLCLK:
        LeftDoubleClick(message);
        return;
    case CM_DRAG:
        CMDragMessage(message);
        return;
    case CM_MOUSELEAVE:
        scrollTimer_->SetEnabled(false);
        break;
    case WM_NCHITTEST:
        DefaultHandler(message);
        // Over a scroll bar or the border the view stops scrolling by itself.
        if (message.Result != HTCLIENT) scrollTimer_->SetEnabled(false);
        return;
    case WM_RBUTTONDOWN:
        RightButtonDown(wParam, lParam);
        message.Result = 0;
        return;
    case WM_RBUTTONUP:
        message.Result = RightButtonUp(wParam, lParam);
        return;
    case WM_CONTEXTMENU:
        // From the keyboard: the selected node's menu, as a right click on it gives.
        if (lParam == kContextMenuFromKeyboard) {
            if (TTreeExNode* node = Selected()) {
                RECT r = node->ItemRect(true);
                message.Result = RightButtonUp(0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
                return;
            }
        }
        break;
    case WM_ERASEBKGND:
        if (options_.Has(TTreeOption::toNoEraseBkgnd)) {
            message.Result = 1;
            return;
        }
        // The window paints its own background.
        DefaultHandler(message);
        return;
    default:
        break;
    }
    TWinControl::WndProc(message);
}

LRESULT TCustomTreeEx::CNNotify(NMHDR& header) {
    TTreeExNodes& items = *items_;
    switch (header.code) {
    case TVN_SELCHANGINGA: {
        auto& nm = reinterpret_cast<NMTREEVIEWA&>(header);
        return CanChangeSelection(NodeFromItem(nm.itemNew)) ? 0 : 1;
    }
    case TVN_SELCHANGEDA: {
        auto& nm = reinterpret_cast<NMTREEVIEWA&>(header);
        if (TTreeExNode* old = NodeFromItem(nm.itemOld)) items.RemoveFromSelection(old);
        TTreeExNode* node = NodeFromItem(nm.itemNew);
        if (node) {
            items.AddToSelection(node);
            if (!items.multiSelecting_) items.selectLevel_ = node->Level();
        }
        DelayedChange(node);
        return 0;
    }
    case TVN_GETDISPINFOA: {
        auto& nm = reinterpret_cast<NMTVDISPINFOA&>(header);
        TTreeExNode* node = NodeFromItem(nm.item);
        if (!node) return 0;
        if (nm.item.mask & TVIF_TEXT) CopyOut(node->Text(), nm.item.pszText, nm.item.cchTextMax);
        if (nm.item.mask & TVIF_IMAGE) {
            if (OnGetImageIndex && EventsLive()) OnGetImageIndex(this, node);
            if (items.IsLive(node)) nm.item.iImage = node->ImageIndex();
        }
        if (nm.item.mask & TVIF_SELECTEDIMAGE) {
            if (OnGetSelectedIndex && EventsLive()) OnGetSelectedIndex(this, node);
            if (items.IsLive(node)) nm.item.iSelectedImage = node->SelectedIndex();
        }
        return 0;
    }
    case TVN_SETDISPINFOA: {
        auto& nm = reinterpret_cast<NMTVDISPINFOA&>(header);
        TTreeExNode* node = NodeFromItem(nm.item);
        if (node && (nm.item.mask & TVIF_TEXT) && nm.item.pszText && nm.item.pszText != LPSTR_TEXTCALLBACKA)
            node->SetText(nm.item.pszText);
        return 0;
    }
    case TVN_ITEMEXPANDINGA: {
        if (expandingByCode_) return 0;
        auto& nm = reinterpret_cast<NMTREEVIEWA&>(header);
        TTreeExNode* node = NodeFromItem(nm.itemNew);
        UINT action = nm.action & TVE_ACTIONMASK;
        if (action == TVE_EXPAND && !CanExpand(node)) return 1;
        if (action == TVE_COLLAPSE && !CanCollapse(node)) return 1;
        return 0;
    }
    case TVN_ITEMEXPANDEDA: {
        if (expandingByCode_) return 0;
        auto& nm = reinterpret_cast<NMTREEVIEWA&>(header);
        TTreeExNode* node = NodeFromItem(nm.itemNew);
        UINT action = nm.action & TVE_ACTIONMASK;
        if (action == TVE_EXPAND) {
            if (node) node->expanded_ = true;
            Expand(node);
        } else if (action == TVE_COLLAPSE) {
            if (node) node->expanded_ = false;
            Collapse(node);
        }
        return 0;
    }
    case TVN_BEGINDRAGA:
    case TVN_BEGINRDRAGA: {
        auto& nm = reinterpret_cast<NMTREEVIEWA&>(header);
        dragPending_ = true;
        dragNode_ = NodeFromItem(nm.itemNew);
        return 0;
    }
    case TVN_DELETEITEMA: {
        auto& nm = reinterpret_cast<NMTREEVIEWA&>(header);
        TTreeExNode* node = NodeFromItem(nm.itemOld);
        if (node) {
            node->itemId_ = nullptr;
            changeTimer_->SetEnabled(false);
            if (destroyingWindow_) {
                if (!node->Deleting()) delete node;
            } else {
                items.Delete(node);
            }
        }
        items.InvalidateItemCache();
        return 0;
    }
    case TVN_BEGINLABELEDITA: {
        LRESULT result = 0;
        BeginLabelEdit(reinterpret_cast<NMTVDISPINFOA&>(header), result);
        return result;
    }
    case TVN_ENDLABELEDITA:
        Edit(reinterpret_cast<NMTVDISPINFOA&>(header).item);
        return 0;
    case TVN_GETINFOTIPA: {
        if (!OnHint || !EventsLive()) return 0;
        auto& nm = reinterpret_cast<NMTVGETINFOTIPA&>(header);
        auto* node = reinterpret_cast<TTreeExNode*>(nm.lParam);
        String text;
        OnHint(this, items.IsLive(node) ? node : nullptr, text);
        CopyOut(text, nm.pszText, nm.cchTextMax);
        return 0;
    }
    case TVN_SINGLEEXPAND: {
        auto& nm = reinterpret_cast<NMTREEVIEWA&>(header);
        bool autoCollapse = true;
        if (OnSingleExpanded && EventsLive()) OnSingleExpanded(this, NodeFromItem(nm.itemNew), autoCollapse);
        return autoCollapse ? TVNRET_DEFAULT : TVNRET_SKIPOLD;
    }
    case NM_CUSTOMDRAW:
        return CustomDraw(reinterpret_cast<NMTVCUSTOMDRAW&>(header));
    case NM_RCLICK:
        RightClickNotice();
        return 0;
    case NM_SETFOCUS:
        Invalidate();
        if (!shiftAnchor_) shiftAnchor_ = Selected();
        return 0;
    case NM_KILLFOCUS:
        Invalidate();
        return 0;
    case NM_RETURN: {
        if (!options_.Has(TTreeOption::toWantReturn)) return 0;
        TTreeExNode* selected = Selected();
        TTreeExNode* target = selected ? selected->GetNext() : nullptr;
        if (!target) target = items.GetFirstNode();
        if (target) {
            ClearSelection();
            if (items.IsLive(target)) target->SetSelected(true);
        }
        return 1;
    }
    default:
        return 0;
    }
}

void TCustomTreeEx::BeginLabelEdit(NMTVDISPINFOA& info, LRESULT& result) {
    TTreeExNode* node = NodeFromItem(info.item);
    if (Dragging() || !CanEditLabel(node)) {
        result = 1;
        return;
    }
    // OnEditing may have deleted the node: its item is gone, so is the edit.
    if (node && (!items_->IsLive(node) || node->Deleting())) {
        result = 1;
        return;
    }
    editWindow_ = reinterpret_cast<HWND>(Perform(TVM_GETEDITCONTROL, 0, 0));
    result = 0;
    if (!editWindow_ || !IsWindow(editWindow_)) return;
    SetPropA(editWindow_, kEditOwnerProp, this);
    oldEditProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(editWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TCustomTreeEx::EditWndProc)));
    if (node && !node->ParentFont() && node->HasOwnFontObject())
        SendMessageA(editWindow_, WM_SETFONT, reinterpret_cast<WPARAM>(node->Font()->Handle()), 1);
}

bool TCustomTreeEx::WantsEditKey(WORD key, TShiftState shift) {
    if (!IsEditing()) return false;
    // Function keys and combinations with Alt belong to the form; with Ctrl, only the
    // editor's own clipboard, undo and selection keys stay in it.
    if (key >= VK_F1 && key <= VK_F1 + 23) return false;
    if (shift & ssAlt) return false;
    if (shift & ssCtrl) {
        switch (key) {
        case 'A': case 'C': case 'V': case 'X': case 'Z': case VK_INSERT: case VK_LEFT: case VK_RIGHT:
        case VK_HOME: case VK_END: case VK_BACK: case VK_DELETE:
            return true;
        default:
            return false;
        }
    }
    return true;
}

// The label editor's procedure: keys go first through the control's key events (a handler that
// sets the key to 0 consumes it), then to the editor itself. A key the editor wants goes
// nowhere else, so a Delete pressed while editing deletes text and nothing in the tree; the
// others may still be the form's menu shortcuts.
LRESULT TCustomTreeEx::EditWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* tree = static_cast<TCustomTreeEx*>(GetPropA(hwnd, kEditOwnerProp));
    if (!tree) return DefWindowProcA(hwnd, msg, wParam, lParam);
    WNDPROC old = tree->oldEditProc_;
    try {
        TShiftState shift = KeyboardStateToShiftState();
        switch (msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (!tree->WantsEditKey(static_cast<WORD>(wParam), shift)) {
                Word key = static_cast<Word>(wParam);
                if (tree->DoKeyDown(key, shift)) return 0;
                wParam = key;
                break;
            }
            [[fallthrough]];
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
            auto& handler = down ? tree->OnKeyDown : tree->OnKeyUp;
            if (handler && tree->EventsLive()) {
                WORD key = static_cast<WORD>(wParam);
                handler(tree, key, shift);
                if (key == 0) return 0;
                wParam = key;
            }
            break;
        }
        case WM_CHAR:
            if (tree->OnKeyPress && tree->EventsLive()) {
                char key = static_cast<char>(wParam);
                tree->OnKeyPress(tree, key);
                if (key == 0) return 0;
                wParam = static_cast<unsigned char>(key);
            }
            break;
        case CN_KEYDOWN:
        case CN_CHAR:
        case CN_SYSKEYDOWN:
        case CN_SYSCHAR:
            return tree->Perform(msg, wParam, lParam);
        case WM_NCDESTROY:
            RemovePropA(hwnd, kEditOwnerProp);
            if (tree->editWindow_ == hwnd) tree->editWindow_ = nullptr;
            break;
        default:
            break;
        }
    } catch (...) {
        // A handler's failure is reported and ends with this message; the editor keeps running.
        if (Application) Application->HandleException(tree);
        return 0;
    }
    return old ? CallWindowProcA(old, hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT TCustomTreeEx::CustomDraw(NMTVCUSTOMDRAW& draw) {
    NMCUSTOMDRAW& cd = draw.nmcd;
    switch (cd.dwDrawStage) {
    case CDDS_PREPAINT:
        if (items_->multiSelecting_) return CDRF_SKIPDEFAULT;
        if (OnBeforePaint && EventsLive()) OnBeforePaint(this);
        return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT | CDRF_NOTIFYITEMERASE | CDRF_NOTIFYPOSTERASE;
    case CDDS_ITEMPREPAINT: {
        LRESULT answer = CDRF_NOTIFYPOSTPAINT;
        auto* node = reinterpret_cast<TTreeExNode*>(cd.lItemlParam);
        if (!items_->IsLive(node)) return 0;
        TNodeStates states = StatesOf(cd.uItemState);
        if (node->CheckState() == chChecked || node->CheckState() == chPartial)
            states |= StateBit(TNodeState::nstChecked);
        bool ownerDraw = false;
        if (OnBeforeItemPaint && EventsLive()) OnBeforeItemPaint(this, node, cd.rc, states, ownerDraw);
        if (ownerDraw) return CDRF_SKIPDEFAULT;
        if (!items_->IsLive(node)) return 0;
        bool selected = (states & StateBit(TNodeState::nstSelected)) != 0;
        TColor back;
        if (selected) {
            if (Dragging()) back = node == DropTargetNode() ? colorDropSelected_ : colorSelected_;
            else if (!Focused()) back = colorUnfocusedSelected_;
            else if (node->ParentColor() && draw.clrTextBk == ColorToRGB(clWindow)) back = Color();
            else back = colorSelected_;
        } else if (node == DropTargetNode()) {
            back = colorSelected_;
        } else {
            back = node->ParentColor() ? Color() : node->Color();
        }
        draw.clrTextBk = ColorToRGB(back);
        if (!node->ParentFont()) {
            // Only the control's own font is remembered, so that every later restore brings it
            // back, however many items with their own fonts follow one another.
            HFONT previous = static_cast<HFONT>(SelectObject(cd.hdc, node->Font()->Handle()));
            if (!savedFont_) savedFont_ = previous;
            if (!selected) draw.clrText = ColorToRGB(node->Font()->Color());
            answer |= CDRF_NEWFONT;
        } else if (savedFont_) {
            SelectObject(cd.hdc, savedFont_);
            savedFont_ = nullptr;
            answer |= CDRF_NEWFONT;
        }
        return answer;
    }
    case CDDS_ITEMPOSTPAINT: {
        auto* node = reinterpret_cast<TTreeExNode*>(cd.lItemlParam);
        if (OnAfterItemPaint && EventsLive())
            OnAfterItemPaint(this, items_->IsLive(node) ? node : nullptr, cd.rc, StatesOf(cd.uItemState));
        return 0;
    }
    case CDDS_ITEMPREERASE:
        return CDRF_NOTIFYPOSTERASE;
    case CDDS_POSTPAINT:
        if (OnAfterPaint && EventsLive()) OnAfterPaint(this);
        if (savedFont_) {
            SelectObject(cd.hdc, savedFont_);
            savedFont_ = nullptr;
        }
        return 0;
    default:
        return 0;
    }
}

// ---- right button and popup menus

LPARAM TCustomTreeEx::CursorPoint() {
    POINT pt{};
    GetCursorPos(&pt);
    ::ScreenToClient(Handle(), &pt);
    return MAKELPARAM(pt.x, pt.y);
}

void TCustomTreeEx::RightButtonDown(WPARAM wParam, LPARAM lParam) {
    // The right button ends a rubber band as the left button's release does.
    if (rubberBanding_) {
        bool visible = RubberBandVisible();
        rubberBanding_ = false;
        rubberNodes_.reset();
        if (visible) DrawRubberBand();
    }
    rightClickNode_ = nullptr;
    rightClickMarker_ = false;
    try {
        // The window's own handling runs its right-click detection and reports NM_RCLICK. With
        // right-click selection the mouse-down event waits for the button-up (no menu shown).
        if (options_.Has(TTreeOption::toRightClickSelect)) {
            TMessage m{WM_RBUTTONDOWN, wParam, lParam, 0};
            DefaultHandler(m);
        } else {
            Inherited(WM_RBUTTONDOWN, wParam, lParam);
        }
        if (!options_.Has(TTreeOption::toRightClickSelect) && rightClickMarker_ && HandleAllocated())
            Perform(WM_RBUTTONUP, 0, CursorPoint());
    } catch (...) {
        rightClickNode_ = nullptr;
        rightClickMarker_ = false;
        throw;
    }
    rightClickNode_ = nullptr;
    rightClickMarker_ = false;
}

void TCustomTreeEx::RightClickNotice() {
    if (!options_.Has(TTreeOption::toRightClickSelect)) {
        rightClickMarker_ = true;
        return;
    }
    LPARAM at = CursorPoint();
    rightClickNode_ = NodeAtPoint(GET_X_LPARAM(at), GET_Y_LPARAM(at));
    if (rightClickNode_ && !rightClickNode_->Selected()) ClearSelection();
    // Selected now reads the right-clicked node while the popup is chosen.
    Perform(WM_RBUTTONUP, 0, at);
}

LRESULT TCustomTreeEx::RightButtonUp(WPARAM wParam, LPARAM lParam) {
    TTreeExNode* selected = Selected();
    if (OnGetPopupMenu && EventsLive() && selected) {
        TPopupMenu* menu = nullptr;
        bool askParent = true;
        TTreeExNode* node = selected;
        // Each ancestor is asked in turn until one gives a menu or says not to go on.
        while (node && items_->IsLive(node)) {
            OnGetPopupMenu(this, node, askParent, menu);
            if (menu || !askParent || !items_->IsLive(node)) break;
            node = node->Parent();
        }
        if (menu) {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (HandleAllocated()) ::ClientToScreen(Handle(), &pt);
            menu->SetPopupComponent(this);
            menu->Popup(pt.x, pt.y);
            return 0;
        }
    }
    if (options_.Has(TTreeOption::toRightClickSelect) && !(ControlStyle() & csNoStdEvents)) {
        std::weak_ptr<bool> alive = AliveToken();
        MouseDown(mbRight, MouseKeysToShiftState(wParam) | ssRight, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (alive.expired()) return 0;
    }
    return Inherited(WM_RBUTTONUP, wParam, lParam);
}

// ---- the window's own tooltip

bool TCustomTreeEx::ToolTipText(NMTTDISPINFOW& info) {
    LPARAM at = CursorPoint();
    TTreeExNode* node = NodeAtPoint(GET_X_LPARAM(at), GET_Y_LPARAM(at));
    if (!node || node->Text().empty() || !(info.uFlags & TTF_IDISHWND)) return false;
    std::u16string wide = TreeUtf8ToUtf16(node->Text());
    // The window's own answer serves texts that fit its 80-character buffer.
    if (wide.size() < kToolTipChars) return false;
    wide.resize(kToolTipChars - 4);
    // Cutting may leave half a surrogate pair at the end: drop it.
    if (!wide.empty() && wide.back() >= 0xD800 && wide.back() < 0xDC00) wide.pop_back();
    wide += u"...";
    std::memset(info.szText, 0, sizeof info.szText);
    std::memcpy(info.szText, wide.data(), wide.size() * sizeof(WCHAR));
    info.lpszText = info.szText;
    info.hinst = nullptr;
    if (info.hdr.hwndFrom && IsWindow(info.hdr.hwndFrom))
        SetWindowPos(info.hdr.hwndFrom, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    return true;
}

// ---- keys

namespace {
Integer g_lastHelpContext = 0;
}

void ShowHelpContext(Integer context) { g_lastHelpContext = context; }
Integer LastHelpContext() { return g_lastHelpContext; }

bool TCustomTreeEx::HelpKey() {
    TTreeExNode* selected = Selected();
    if (!selected || !OnGetHelpContext) return false;
    if (EventsLive()) {
        Integer context = 0;
        // The handler may delete the node it is asked about: its parent is taken beforehand,
        // and the walk stops at any node that is gone.
        for (TTreeExNode* node = selected; node && context == 0 && items_->IsLive(node) && !node->Deleting();) {
            TTreeExNode* parent = node->Parent();
            OnGetHelpContext(this, node, context);
            if (!items_->IsLive(node) || node->Deleting()) break;
            node = parent;
        }
        for (TControl* c = this; c && context == 0; c = c->Parent()) context = c->HelpContext();
        if (context != 0) ShowHelpContext(context);
    }
    return true;
}
