// Pieces the manager's dialogs build their layout from.
#pragma once

#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

namespace manager {

// A caption label of the standard size at the given place.
inline TLabel* MakeLabel(TComponent* owner, TWinControl* parent, const char* caption, Integer left, Integer top) {
    auto* l = new TLabel(owner);
    l->SetParent(parent);
    l->SetCaption(caption);
    l->SetBounds(left, top, 100, 16);
    return l;
}

// The strip along the bottom of a dialog with its Help, Cancel and Ok buttons; Help stays at
// the left, the other two stand where the dialog's width puts them. Every button clicks into
// onClick.
inline void MakeDialogButtons(TForm* form, TButton*& help, TButton*& cancel, TButton*& ok, Integer cancelLeft,
                              Integer okLeft, const TNotifyEvent& onClick) {
    auto* bottom = new TPanel(form);
    bottom->SetParent(form);
    bottom->SetAlign(alBottom);
    bottom->SetHeight(33);
    bottom->SetBevelOuter(bvNone);
    auto button = [form, bottom, &onClick](TButton*& b, const char* name, const char* caption, Integer left) {
        b = new TButton(form);
        b->SetName(name);
        b->SetParent(bottom);
        b->SetCaption(caption);
        b->SetBounds(left, 4, 75, 25);
        b->OnClick = onClick;
    };
    button(help, "cmdHelp", "&Help", 8);
    button(cancel, "cmdCancel", " &Cancel ", cancelLeft);
    button(ok, "cmdOk", "  &Ok  ", okLeft);
}

// The page control that fills a dialog above its button strip.
inline TPageControl* MakeDialogPages(TForm* form) {
    auto* pages = new TPageControl(form);
    pages->SetName("PageControl");
    pages->SetParent(form);
    pages->SetAlign(alClient);
    return pages;
}

// A named page of a dialog's page control.
inline TTabSheet* MakeSheet(TComponent* owner, TPageControl* pages, const char* name) {
    auto* sheet = new TTabSheet(owner);
    sheet->SetName(name);
    sheet->SetPageControl(pages);
    return sheet;
}

}  // namespace manager
