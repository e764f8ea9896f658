#include <gtest/gtest.h>

#include "FormsFixture.h"
#include "platform/Canvas.h"
#include "platform/ComCtrls.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"
#include "platform/WebBrowser.h"

namespace {

using forms_test::FormsTest;

TEST_F(FormsTest, ListViewReportsSelectionChangesOfUserAndCode) {
    TForm* form = NewForm();
    auto* lv = new TListView(form);
    lv->SetParent(form);
    lv->SetViewStyle(vsReport);
    lv->SetBounds(0, 0, 400, 200);
    const struct {
        const char* caption;
        int width;
        TAlignment align;
    } cols[] = {{"Name", 110, taLeftJustify}, {"Size (byt's)", 100, taRightJustify}, {"Date", 90, taRightJustify}};
    for (auto& c : cols) {
        TListColumn* col = lv->Columns()->Add();
        col->SetCaption(c.caption);
        col->SetWidth(c.width);
        col->SetAlignment(c.align);
    }
    TListColumn* rest = lv->Columns()->Add();
    rest->SetCaption("Comment");
    rest->SetAutoSize(true);
    EXPECT_EQ(rest->Width(), 400 - 300);

    for (int i = 0; i < 3; ++i) {
        TListItem* item = lv->Items()->Add();
        item->SetCaption("file" + IntToStr(i));
        item->SubItems()->Add(IntToStr(i * 100));
        item->SubItems()->Add("01-01-2026");
    }
    std::vector<String> log;
    lv->OnSelectItem = [&](TObject*, TListItem* item, bool selected) {
        log.push_back(item->Caption() + (selected ? "+" : "-"));
    };
    lv->Items()->Item(1)->SetSelected(true);
    // A click on the third row: the second loses its selection first.
    int y = lv->HeaderHeight() + 2 * lv->RowHeight() + 1;
    SendMessageA(lv->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, y));
    EXPECT_EQ(log, (std::vector<String>{"file1+", "file1-", "file2+"}));
    EXPECT_EQ(lv->Selected(), lv->Items()->Item(2));
    EXPECT_EQ(lv->SelCount(), 1);

    log.clear();
    lv->Items()->Delete(0);
    EXPECT_EQ(lv->Items()->Item(1)->Caption(), "file2");
    lv->Items()->Clear();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(lv->Selected(), nullptr);
}

TEST_F(FormsTest, ListViewPaintsCaptionsAndSubItemsInTheirColumns) {
    TForm* form = NewForm();
    form->Show();
    auto* lv = new TListView(form);
    lv->SetParent(form);
    lv->SetViewStyle(vsReport);
    lv->Columns()->Add()->SetCaption("Name");
    TListColumn* second = lv->Columns()->Add();
    second->SetCaption("Precesses");
    second->SetWidth(100);
    TListItem* item = lv->Items()->Add();
    item->SetCaption("a.txt");
    item->SubItems()->Add("12");
    UpdateWindow(lv->Handle());
    auto texts = platform::WindowDisplayTexts(lv->Handle());
    EXPECT_EQ(texts, (std::vector<String>{"Name", "Precesses", "a.txt", "12"}));
}

// A cell too narrow for its text keeps the start and ends in an ellipsis, in the header too,
// whatever the alignment; the header's caption takes its column's alignment. Headless characters are 7 pixels wide, the ellipsis one of them, and
// the text has 4 pixels of margin on each side of the column.
struct FitCase {
    const char* name;
    int width;
    TAlignment align;
    const char* text;
    const char* shown;
    int x;  // where the cell's text starts
};

class ListViewFit : public FormsTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(ListViewFit, CutsTextToItsColumn) {
    const FitCase& c = GetParam();
    TForm* form = NewForm();
    form->Show();
    auto* lv = new TListView(form);
    lv->SetParent(form);
    lv->SetViewStyle(vsReport);
    TListColumn* col = lv->Columns()->Add();
    col->SetWidth(c.width);
    col->SetAlignment(c.align);
    col->SetCaption(c.text);
    lv->Items()->Add()->SetCaption(c.text);
    UpdateWindow(lv->Handle());
    std::vector<platform::DrawItem> texts;
    for (const platform::DrawItem& d : platform::WindowDisplayList(lv->Handle()))
        if (d.op == platform::DrawOp::Text) texts.push_back(d);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, c.shown);  // the header caption, aligned as its cells are
    EXPECT_EQ(texts[0].from.x, c.x);
    EXPECT_EQ(texts[1].text, c.shown);
    EXPECT_EQ(texts[1].from.x, c.x);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, ListViewFit,
    ::testing::Values(FitCase{"FitsLeft", 50, taLeftJustify, "abcde", "abcde", 4},
                      FitCase{"FitsExactlyRight", 43, taRightJustify, "12345", "12345", 4},
                      FitCase{"FitsRightWithRoom", 50, taRightJustify, "12", "12", 32},
                      FitCase{"CutLeft", 50, taLeftJustify, "abcdefghij", "abcde\xE2\x80\xA6", 4},
                      FitCase{"CutRightKeepsTheStart", 50, taRightJustify, "1234567890", "12345\xE2\x80\xA6", 4},
                      FitCase{"CutCentred", 51, taCenter, "abcdefghij", "abcde\xE2\x80\xA6", 4},
                      FitCase{"CutBetweenCharacters", 50, taRightJustify, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
                              "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xE2\x80\xA6", 4},
                      FitCase{"OnlyTheEllipsis", 16, taRightJustify, "abcdef", "\xE2\x80\xA6", 5},
                      FitCase{"TooNarrowForAnything", 12, taLeftJustify, "abcdef", "", 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormsTest, StatusBarPanelsWithTheirWidthsAndRightToLeftText) {
    TForm* form = NewForm();
    form->Show();
    auto* bar = new TStatusBar(form);
    bar->SetParent(form);
    for (int w : {190, 120, 50}) bar->Panels()->Add()->SetWidth(w);
    TStatusPanel* notice = bar->Panels()->Items(2);
    notice->SetBevel(pbNone);
    notice->SetBiDiMode(bdRightToLeft);
    notice->SetText("(c)");
    EXPECT_EQ(bar->Align(), alBottom);
    EXPECT_EQ(bar->Top() + bar->Height(), form->ClientHeight());
    EXPECT_EQ(bar->Width(), form->ClientWidth());
    TRect last = bar->PanelRect(2);
    EXPECT_EQ(last.left, 310);
    EXPECT_EQ(last.right, bar->ClientWidth());
    // The width of a text in the bar's font, as the resize handler computes it.
    EXPECT_EQ(bar->Canvas()->TextWidth("(c)"), 21);

    UpdateWindow(bar->Handle());
    for (const auto& item : platform::WindowDisplayList(bar->Handle()))
        if (item.op == platform::DrawOp::Text && item.text == "(c)") {
            EXPECT_EQ(item.from.x, last.right - 2 - 21);
        }
}

TEST_F(FormsTest, PageControlShowsPagesByCodeAndByTab) {
    TForm* form = NewForm();
    auto* pc = new TPageControl(form);
    pc->SetParent(form);
    pc->SetAlign(alClient);
    std::vector<String> log;
    TTabSheet* pages[3];
    const char* names[] = {"tsFiles", "tsActions", "tsHistory"};
    for (int i = 0; i < 3; ++i) {
        pages[i] = new TTabSheet(form);
        pages[i]->SetName(names[i]);
        pages[i]->SetCaption(names[i] + 2);
        pages[i]->SetPageControl(pc);
        pages[i]->OnShow = [&log, i, &names](TObject*) { log.push_back(String("show ") + names[i]); };
        pages[i]->OnHide = [&log, i, &names](TObject*) { log.push_back(String("hide ") + names[i]); };
    }
    pc->OnChange = [&](TObject*) { log.push_back("change"); };
    EXPECT_EQ(pc->ActivePage(), pages[0]);
    EXPECT_EQ(pc->PageCount(), 3);

    pc->SetActivePage(pages[2]);
    EXPECT_EQ(log, (std::vector<String>{"show tsHistory", "hide tsFiles"}));
    EXPECT_TRUE(pages[2]->Visible());
    EXPECT_FALSE(pages[0]->Visible());

    log.clear();
    TRect tab = pc->TabRect(pages[1]);
    SendMessageA(pc->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tab.left + 2, tab.top + 2));
    EXPECT_EQ(log, (std::vector<String>{"show tsActions", "hide tsHistory", "change"}));

    // Hidden tabs: pages change only by code, and the page fills the whole control.
    for (TTabSheet* p : pages) p->SetTabVisible(false);
    EXPECT_TRUE(pc->TabRect(pages[1]) == TRect{});
    EXPECT_TRUE(pages[1]->BoundsRect() == pc->ClientRect());
    pc->SetActivePage(pages[0]);
    EXPECT_EQ(pages[0]->TabIndex(), -1);
    EXPECT_EQ(pc->ActivePageIndex(), 0);
}

TEST(ShortCuts, StoredValuesAndTexts) {
    struct {
        Word key;
        TShiftState shift;
        TShortCut value;
        const char* text;
    } table[] = {{VK_INSERT, 0, 45, "Ins"},          {VK_INSERT, ssCtrl, 16429, "Ctrl+Ins"},
                 {VK_F1 + 11, 0, 123, "F12"},        {VK_DELETE, 0, 46, "Del"},
                 {'S', ssCtrl, 16467, "Ctrl+S"},     {'P', ssCtrl, 16464, "Ctrl+P"},
                 {VK_RETURN, ssAlt, 32781, "Alt+Enter"}, {VK_F1, ssShift, 8304, "Shift+F1"}};
    for (const auto& t : table) {
        EXPECT_EQ(ShortCut(t.key, t.shift), t.value);
        EXPECT_EQ(ShortCutToText(t.value), t.text);
    }
}

TEST_F(FormsTest, MenusClickByShortcutPopupAndToolButton) {
    TForm* form = NewForm();
    auto* menu = new TMainMenu(form);
    form->SetMenu(menu);
    auto* file = new TMenuItem(form);
    file->SetName("mnuFile");
    file->SetCaption("File");
    menu->Items()->Add(file);
    auto* add = new TMenuItem(form);
    add->SetCaption("Folder");
    add->SetShortCut(ShortCut(VK_INSERT, ssCtrl));
    file->Add(add);
    std::vector<String> log;
    file->OnClick = [&](TObject*) { log.push_back("file opens"); };
    add->OnClick = [&](TObject*) { log.push_back("add"); };

    auto* edit = new TEdit(form);
    edit->SetParent(form);
    platform::SetKeyDown(VK_CONTROL, true);
    SendMessageA(edit->Handle(), WM_KEYDOWN, VK_INSERT, 0);
    platform::SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(log, (std::vector<String>{"file opens", "add"}));

    // The tool button "File" drops the File menu: the menu's OnClick, then the user's choice.
    log.clear();
    auto* bar = new TToolBar(form);
    bar->SetParent(form);
    auto* button = new TToolButton(form);
    button->SetParent(bar);
    button->SetMenuItem(file);
    EXPECT_EQ(button->Caption(), "File");
    platform::SetPopupHook([&](TMenu&, TMenuItem& items, POINT) { return items.Find("folder"); });
    button->Click();
    EXPECT_EQ(log, (std::vector<String>{"file opens", "add"}));

    // A right click on a control with a popup menu opens it.
    log.clear();
    auto* popup = new TPopupMenu(form);
    popup->SetName("PopupMenuLeft");
    popup->OnPopup = [&](TObject*) { log.push_back("popup"); };
    auto* item = new TMenuItem(form);
    item->SetCaption("Delete");
    popup->Items()->Add(item);
    edit->SetPopupMenu(popup);
    platform::SetPopupHook({});
    SendMessageA(edit->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
    SendMessageA(edit->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(log, std::vector<String>{"popup"});
    auto shown = platform::ShownPopups();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().menuName, "PopupMenuLeft");
    EXPECT_EQ(shown.back().captions, std::vector<String>{"Delete"});
    EXPECT_EQ(popup->PopupComponent(), edit);
    popup->Free();
    EXPECT_EQ(edit->PopupMenu(), nullptr);
}

TEST_F(FormsTest, ToolBarPlacesItsChildrenLeftToRight) {
    TForm* form = NewForm();
    auto* bar = new TToolBar(form);
    bar->SetParent(form);
    bar->SetButtonWidth(40);
    auto* label = new TLabel(form);
    label->SetCaption("Backup system:  ");
    label->SetParent(bar);
    auto* combo = new TComboBox(form);
    combo->SetParent(bar);
    auto* sep = new TToolButton(form);
    sep->SetStyle(tbsSeparator);
    sep->SetParent(bar);
    auto* info = new TToolButton(form);
    info->SetParent(bar);
    EXPECT_EQ(combo->Left(), label->Width());
    EXPECT_EQ(sep->Left(), combo->Left() + combo->Width());
    EXPECT_EQ(info->Left(), sep->Left() + sep->Width());
    EXPECT_EQ(info->Width(), 40);
    combo->SetWidth(50);  // a resize handler narrows the combo: the rest follows
    EXPECT_EQ(info->Left(), label->Width() + 50 + sep->Width());
}

TEST_F(FormsTest, EditsMemosChecksAndCombosAsTheFormsUseThem) {
    TForm* form = NewForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    edit->SetText("long text set by code");  // MaxLength limits typing only
    edit->SetMaxLength(4);
    EXPECT_EQ(edit->Text(), "long text set by code");
    EXPECT_EQ(changes, 1);
    edit->SelectAll();
    EXPECT_EQ(edit->SelText(), "long text set by code");

    auto* memo = new TMemo(form);
    memo->SetParent(form);
    memo->Lines()->Add("first");
    memo->Lines()->Add("second");
    EXPECT_EQ(memo->Text(), "first\r\nsecond\r\n");
    memo->SetText("a\r\nb");
    EXPECT_EQ(memo->Lines()->Count(), 2);
    EXPECT_EQ(memo->Lines()->Strings(1), "b");

    auto* check = new TCheckBox(form);
    check->SetParent(form);
    int clicks = 0;
    check->OnClick = [&](TObject*) { ++clicks; };
    check->SetChecked(true);  // code that changes the state clicks, as the class library does
    check->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    SendMessageA(check->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    SendMessageA(check->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    EXPECT_FALSE(check->Checked());
    EXPECT_EQ(clicks, 2);

    auto* combo = new TComboBox(form);
    combo->SetParent(form);
    combo->SetStyle(csDropDownList);
    combo->Items()->Add("QelBackup");
    combo->Items()->Add("Other");
    int comboChanges = 0;
    combo->OnChange = [&](TObject*) { ++comboChanges; };
    combo->SetItemIndex(0);
    EXPECT_EQ(combo->Text(), "QelBackup");
    EXPECT_EQ(comboChanges, 0);
    SendMessageA(combo->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), "Other");
    EXPECT_EQ(comboChanges, 1);
    combo->Items()->Clear();
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), "");
}

TEST_F(FormsTest, WebBrowserKeepsThePathAndTheTextItNavigatedTo) {
    TForm* form = NewForm();
    auto* browser = new TWebBrowser(form);
    browser->SetParent(form);
    EXPECT_EQ(browser->LocationName(), "");
    profile_->WriteText("Templates/Default.htm", "<html>Welcome</html>");
    String page = profile_->Win("Templates\\Default.htm");
    browser->Navigate(page);
    EXPECT_EQ(browser->LocationURL(), page);
    EXPECT_EQ(browser->LocationName(), "Default.htm");
    EXPECT_EQ(browser->DocumentText(), "<html>Welcome</html>");
    browser->Navigate(profile_->Win("missing.htm"));
    EXPECT_EQ(browser->DocumentText(), "");
    EXPECT_EQ(browser->NavigationCount(), 2);
}

}  // namespace
