// The common tree window class "SysTreeView32": its messages, styles, item records and
// notification records, under the names the controls were written against.
//
// The window keeps items (text or text callback, images, state bits, child count, integral
// height and a pointer-sized parameter) and shows them with fixed metrics. What it reports to
// its parent goes out as WM_NOTIFY with the ANSI record forms below. The model behind it lives
// in platform::detail (TreeViewModel: storage, navigation, metrics, hit tests; TreeViewWindow:
// the message switch and the notifications). This header defines no behaviour of its own.
#pragma once

#include "platform/ScrollBar.h"
#include "platform/TreeViewBase.h"

struct TREEITEM__;
using HTREEITEM = TREEITEM__*;
using LPSTR = char*;
using LPCSTR = const char*;

inline constexpr const char* WC_TREEVIEWA = "SysTreeView32";
inline constexpr DWORD ICC_TREEVIEW_CLASSES = 0x00000002;

// Styles.
inline constexpr DWORD TVS_HASBUTTONS = 0x0001;
inline constexpr DWORD TVS_HASLINES = 0x0002;
inline constexpr DWORD TVS_LINESATROOT = 0x0004;
inline constexpr DWORD TVS_EDITLABELS = 0x0008;
inline constexpr DWORD TVS_DISABLEDRAGDROP = 0x0010;
inline constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;
inline constexpr DWORD TVS_RTLREADING = 0x0040;
inline constexpr DWORD TVS_NOTOOLTIPS = 0x0080;
inline constexpr DWORD TVS_CHECKBOXES = 0x0100;
inline constexpr DWORD TVS_TRACKSELECT = 0x0200;
inline constexpr DWORD TVS_SINGLEEXPAND = 0x0400;
inline constexpr DWORD TVS_INFOTIP = 0x0800;
inline constexpr DWORD TVS_FULLROWSELECT = 0x1000;
inline constexpr DWORD TVS_NOSCROLL = 0x2000;
inline constexpr DWORD TVS_NONEVENHEIGHT = 0x4000;

// Item fields.
inline constexpr UINT TVIF_TEXT = 0x0001;
inline constexpr UINT TVIF_IMAGE = 0x0002;
inline constexpr UINT TVIF_PARAM = 0x0004;
inline constexpr UINT TVIF_STATE = 0x0008;
inline constexpr UINT TVIF_HANDLE = 0x0010;
inline constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;
inline constexpr UINT TVIF_CHILDREN = 0x0040;
inline constexpr UINT TVIF_INTEGRAL = 0x0080;

inline constexpr UINT TVIS_FOCUSED = 0x0001;
inline constexpr UINT TVIS_SELECTED = 0x0002;
inline constexpr UINT TVIS_CUT = 0x0004;
inline constexpr UINT TVIS_DROPHILITED = 0x0008;
inline constexpr UINT TVIS_BOLD = 0x0010;
inline constexpr UINT TVIS_EXPANDED = 0x0020;
inline constexpr UINT TVIS_EXPANDEDONCE = 0x0040;
inline constexpr UINT TVIS_EXPANDPARTIAL = 0x0080;
inline constexpr UINT TVIS_OVERLAYMASK = 0x0F00;
inline constexpr UINT TVIS_STATEIMAGEMASK = 0xF000;
inline constexpr UINT TVIS_USERMASK = 0xF000;
constexpr UINT INDEXTOOVERLAYMASK(UINT i) { return i << 8; }
constexpr UINT INDEXTOSTATEIMAGEMASK(UINT i) { return i << 12; }

inline LPSTR const LPSTR_TEXTCALLBACKA = reinterpret_cast<LPSTR>(static_cast<std::intptr_t>(-1));
inline constexpr int I_IMAGECALLBACK = -1;
inline constexpr int I_CHILDRENCALLBACK = -1;

inline HTREEITEM const TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x10000));
inline HTREEITEM const TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFF));
inline HTREEITEM const TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFE));
inline HTREEITEM const TVI_SORT = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFD));

// Expand actions.
inline constexpr UINT TVE_COLLAPSE = 0x0001;
inline constexpr UINT TVE_EXPAND = 0x0002;
inline constexpr UINT TVE_TOGGLE = 0x0003;
inline constexpr UINT TVE_ACTIONMASK = 0x0003;
inline constexpr UINT TVE_EXPANDPARTIAL = 0x4000;
inline constexpr UINT TVE_COLLAPSERESET = 0x8000;

// Causes of a selection change.
inline constexpr UINT TVC_UNKNOWN = 0;
inline constexpr UINT TVC_BYMOUSE = 1;
inline constexpr UINT TVC_BYKEYBOARD = 2;

// Relations for TVM_GETNEXTITEM and TVM_SELECTITEM.
inline constexpr UINT TVGN_ROOT = 0x0000;
inline constexpr UINT TVGN_NEXT = 0x0001;
inline constexpr UINT TVGN_PREVIOUS = 0x0002;
inline constexpr UINT TVGN_PARENT = 0x0003;
inline constexpr UINT TVGN_CHILD = 0x0004;
inline constexpr UINT TVGN_FIRSTVISIBLE = 0x0005;
inline constexpr UINT TVGN_NEXTVISIBLE = 0x0006;
inline constexpr UINT TVGN_PREVIOUSVISIBLE = 0x0007;
inline constexpr UINT TVGN_DROPHILITE = 0x0008;
inline constexpr UINT TVGN_CARET = 0x0009;
inline constexpr UINT TVGN_LASTVISIBLE = 0x000A;

inline constexpr WPARAM TVSIL_NORMAL = 0;
inline constexpr WPARAM TVSIL_STATE = 2;

// Hit-test flags.
inline constexpr UINT TVHT_NOWHERE = 0x0001;
inline constexpr UINT TVHT_ONITEMICON = 0x0002;
inline constexpr UINT TVHT_ONITEMLABEL = 0x0004;
inline constexpr UINT TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | 0x0040;
inline constexpr UINT TVHT_ONITEMINDENT = 0x0008;
inline constexpr UINT TVHT_ONITEMBUTTON = 0x0010;
inline constexpr UINT TVHT_ONITEMRIGHT = 0x0020;
inline constexpr UINT TVHT_ONITEMSTATEICON = 0x0040;
inline constexpr UINT TVHT_ABOVE = 0x0100;
inline constexpr UINT TVHT_BELOW = 0x0200;
inline constexpr UINT TVHT_TORIGHT = 0x0400;
inline constexpr UINT TVHT_TOLEFT = 0x0800;

// Messages.
inline constexpr UINT TV_FIRST = 0x1100;
inline constexpr UINT TVM_INSERTITEMA = TV_FIRST + 0;
inline constexpr UINT TVM_DELETEITEM = TV_FIRST + 1;
inline constexpr UINT TVM_EXPAND = TV_FIRST + 2;
inline constexpr UINT TVM_GETITEMRECT = TV_FIRST + 4;
inline constexpr UINT TVM_GETCOUNT = TV_FIRST + 5;
inline constexpr UINT TVM_GETINDENT = TV_FIRST + 6;
inline constexpr UINT TVM_SETINDENT = TV_FIRST + 7;
inline constexpr UINT TVM_GETIMAGELIST = TV_FIRST + 8;
inline constexpr UINT TVM_SETIMAGELIST = TV_FIRST + 9;
inline constexpr UINT TVM_GETNEXTITEM = TV_FIRST + 10;
inline constexpr UINT TVM_SELECTITEM = TV_FIRST + 11;
inline constexpr UINT TVM_GETITEMA = TV_FIRST + 12;
inline constexpr UINT TVM_SETITEMA = TV_FIRST + 13;
inline constexpr UINT TVM_EDITLABELA = TV_FIRST + 14;
inline constexpr UINT TVM_GETEDITCONTROL = TV_FIRST + 15;
inline constexpr UINT TVM_GETVISIBLECOUNT = TV_FIRST + 16;
inline constexpr UINT TVM_HITTEST = TV_FIRST + 17;
inline constexpr UINT TVM_CREATEDRAGIMAGE = TV_FIRST + 18;
inline constexpr UINT TVM_SORTCHILDREN = TV_FIRST + 19;
inline constexpr UINT TVM_ENSUREVISIBLE = TV_FIRST + 20;
inline constexpr UINT TVM_SORTCHILDRENCB = TV_FIRST + 21;
inline constexpr UINT TVM_ENDEDITLABELNOW = TV_FIRST + 22;
inline constexpr UINT TVM_GETISEARCHSTRINGA = TV_FIRST + 23;
inline constexpr UINT TVM_SETTOOLTIPS = TV_FIRST + 24;
inline constexpr UINT TVM_GETTOOLTIPS = TV_FIRST + 25;
inline constexpr UINT TVM_SETINSERTMARK = TV_FIRST + 26;
inline constexpr UINT TVM_SETITEMHEIGHT = TV_FIRST + 27;
inline constexpr UINT TVM_GETITEMHEIGHT = TV_FIRST + 28;
inline constexpr UINT TVM_SETBKCOLOR = TV_FIRST + 29;
inline constexpr UINT TVM_SETTEXTCOLOR = TV_FIRST + 30;
inline constexpr UINT TVM_GETBKCOLOR = TV_FIRST + 31;
inline constexpr UINT TVM_GETTEXTCOLOR = TV_FIRST + 32;
inline constexpr UINT TVM_SETSCROLLTIME = TV_FIRST + 33;
inline constexpr UINT TVM_GETSCROLLTIME = TV_FIRST + 34;
inline constexpr UINT TVM_SETINSERTMARKCOLOR = TV_FIRST + 37;
inline constexpr UINT TVM_GETINSERTMARKCOLOR = TV_FIRST + 38;
inline constexpr UINT TVM_GETITEMSTATE = TV_FIRST + 39;

// Notification codes (ANSI forms; the window always talks ANSI).
inline constexpr UINT TVN_FIRST = 0u - 400u;
inline constexpr UINT TVN_SELCHANGINGA = TVN_FIRST - 1;
inline constexpr UINT TVN_SELCHANGEDA = TVN_FIRST - 2;
inline constexpr UINT TVN_GETDISPINFOA = TVN_FIRST - 3;
inline constexpr UINT TVN_SETDISPINFOA = TVN_FIRST - 4;
inline constexpr UINT TVN_ITEMEXPANDINGA = TVN_FIRST - 5;
inline constexpr UINT TVN_ITEMEXPANDEDA = TVN_FIRST - 6;
inline constexpr UINT TVN_BEGINDRAGA = TVN_FIRST - 7;
inline constexpr UINT TVN_BEGINRDRAGA = TVN_FIRST - 8;
inline constexpr UINT TVN_DELETEITEMA = TVN_FIRST - 9;
inline constexpr UINT TVN_BEGINLABELEDITA = TVN_FIRST - 10;
inline constexpr UINT TVN_ENDLABELEDITA = TVN_FIRST - 11;
inline constexpr UINT TVN_KEYDOWN = TVN_FIRST - 12;
inline constexpr UINT TVN_GETINFOTIPA = TVN_FIRST - 13;
inline constexpr UINT TVN_SINGLEEXPAND = TVN_FIRST - 15;
inline constexpr LRESULT TVNRET_DEFAULT = 0;
inline constexpr LRESULT TVNRET_SKIPOLD = 1;
inline constexpr LRESULT TVNRET_SKIPNEW = 2;

using PFNTVCOMPARE = int (*)(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

// One item record for get, set and insert (the extended form, with the integral height).
struct TVITEMEXA {
    UINT mask = 0;
    HTREEITEM hItem = nullptr;
    UINT state = 0;
    UINT stateMask = 0;
    LPSTR pszText = nullptr;
    int cchTextMax = 0;
    int iImage = 0;
    int iSelectedImage = 0;
    int cChildren = 0;
    LPARAM lParam = 0;
    int iIntegral = 0;
};
using TVITEMA = TVITEMEXA;

struct TVINSERTSTRUCTA {
    HTREEITEM hParent = nullptr;
    HTREEITEM hInsertAfter = nullptr;
    TVITEMEXA item;
};

struct TVHITTESTINFO {
    POINT pt{};
    UINT flags = 0;
    HTREEITEM hItem = nullptr;
};

struct TVSORTCB {
    HTREEITEM hParent = nullptr;
    PFNTVCOMPARE lpfnCompare = nullptr;
    LPARAM lParam = 0;
};

struct NMTREEVIEWA {
    NMHDR hdr{};
    UINT action = 0;
    TVITEMA itemOld;
    TVITEMA itemNew;
    POINT ptDrag{};
};

struct NMTVDISPINFOA {
    NMHDR hdr{};
    TVITEMA item;
};

struct NMTVGETINFOTIPA {
    NMHDR hdr{};
    LPSTR pszText = nullptr;
    int cchTextMax = 0;
    HTREEITEM hItem = nullptr;
    LPARAM lParam = 0;
};

struct NMTVKEYDOWN {
    NMHDR hdr{};
    WORD wVKey = 0;
    UINT flags = 0;
};

// Custom draw.
inline constexpr DWORD CDDS_PREPAINT = 0x00000001;
inline constexpr DWORD CDDS_POSTPAINT = 0x00000002;
inline constexpr DWORD CDDS_PREERASE = 0x00000003;
inline constexpr DWORD CDDS_POSTERASE = 0x00000004;
inline constexpr DWORD CDDS_ITEM = 0x00010000;
inline constexpr DWORD CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
inline constexpr DWORD CDDS_ITEMPOSTPAINT = CDDS_ITEM | CDDS_POSTPAINT;
inline constexpr DWORD CDDS_ITEMPREERASE = CDDS_ITEM | CDDS_PREERASE;
inline constexpr DWORD CDDS_ITEMPOSTERASE = CDDS_ITEM | CDDS_POSTERASE;

inline constexpr LRESULT CDRF_DODEFAULT = 0x00;
inline constexpr LRESULT CDRF_NEWFONT = 0x02;
inline constexpr LRESULT CDRF_SKIPDEFAULT = 0x04;
inline constexpr LRESULT CDRF_NOTIFYPOSTPAINT = 0x10;
inline constexpr LRESULT CDRF_NOTIFYITEMDRAW = 0x20;
inline constexpr LRESULT CDRF_NOTIFYPOSTERASE = 0x40;
inline constexpr LRESULT CDRF_NOTIFYITEMERASE = 0x80;

inline constexpr UINT CDIS_SELECTED = 0x0001;
inline constexpr UINT CDIS_GRAYED = 0x0002;
inline constexpr UINT CDIS_DISABLED = 0x0004;
inline constexpr UINT CDIS_CHECKED = 0x0008;
inline constexpr UINT CDIS_FOCUS = 0x0010;
inline constexpr UINT CDIS_DEFAULT = 0x0020;
inline constexpr UINT CDIS_HOT = 0x0040;
inline constexpr UINT CDIS_MARKED = 0x0080;
inline constexpr UINT CDIS_INDETERMINATE = 0x0100;

struct NMCUSTOMDRAW {
    NMHDR hdr{};
    DWORD dwDrawStage = 0;
    HDC hdc = nullptr;
    RECT rc{};
    std::uintptr_t dwItemSpec = 0;
    UINT uItemState = 0;
    LPARAM lItemlParam = 0;
};

struct NMTVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText = 0;
    COLORREF clrTextBk = 0;
    int iLevel = 0;
};

// Image lists are opaque to the tree window; it only needs their picture size for layout and
// a new one-picture list for a drag image. The image-list code installs both when the layer
// loads; without a size query every list is taken as 16 x 16, without a factory no drag image
// is made. The size query gives false for a handle that names no live list.
using TreeImageSizeQuery = bool (*)(HIMAGELIST list, int* width, int* height);
void SetTreeImageSizeQuery(TreeImageSizeQuery query);
// A new list of one width x height picture filled with color; the caller frees it.
// What a tree's drag image shows: its icon from the tree's image list, and its label as a
// selected label looks (text has no pixels without a display to shape it, so the label is its
// selection box with a line per character cell in the text colour).
struct TreeDragPicture {
    int width = 0, height = 0;
    COLORREF background = 0;
    HIMAGELIST icons = nullptr;
    int iconIndex = -1;
    int labelLeft = 0, textLeft = 0, textRight = 0;
    COLORREF accent = 0, ink = 0;
};
using TreeDragImageFactory = HIMAGELIST (*)(const TreeDragPicture& picture);
void SetTreeDragImageFactory(TreeDragImageFactory factory);

// Registers the window class (done once per process; later calls do nothing).
bool InitTreeViewClass();

// Common-control messages the tree window answers.
inline constexpr UINT CCM_FIRST = 0x2000;
inline constexpr UINT CCM_SETUNICODEFORMAT = CCM_FIRST + 5;
inline constexpr UINT CCM_GETUNICODEFORMAT = CCM_FIRST + 6;
inline constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000;

// The scroll information of a tree window (its scroll bars are its own).
BOOL GetTreeScrollInfo(HWND hwnd, int bar, SCROLLINFO* info);
// True when a client point of a tree window lies on one of its scroll bars (they take the
// mouse there, not the rows).
bool TreeScrollBarAt(HWND hwnd, POINT pt);

// The last info tip the window asked its parent for while the pointer rested on an item, and
// the label editor window class.
String TreeViewLastInfoTip(HWND hwnd);
inline constexpr const char* kTreeLabelEditClass = "TarvikTreeLabelEdit";

// The window's own tooltip for labels the window cuts off. The tooltip asks the tree window for
// its text with WM_NOTIFY / TTN_NEEDTEXTW (wide characters, UTF-16).
using WCHAR = char16_t;
inline constexpr UINT TTN_FIRST = 0u - 520u;
inline constexpr UINT TTN_NEEDTEXTW = TTN_FIRST - 10;
inline constexpr UINT TTF_IDISHWND = 0x0001;
inline constexpr const char* kTreeToolTipClass = "TarvikTreeToolTip";
struct NMTTDISPINFOW {
    NMHDR hdr{};
    WCHAR* lpszText = nullptr;
    WCHAR szText[80] = {};
    HINSTANCE hinst = nullptr;
    UINT uFlags = 0;
    LPARAM lParam = 0;
};
// The text the window's tooltip showed last.
String TreeViewLastToolTip(HWND hwnd);
// UTF-8 to UTF-16 and back, as the tooltip records need.
std::u16string TreeUtf8ToUtf16(const String& text);
String TreeUtf16ToUtf8(const WCHAR* text, size_t maxLength);
