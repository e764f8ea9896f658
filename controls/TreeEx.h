// The tree control of the program: TCustomTreeEx / TTreeEx, its node collection TTreeExNodes
// and its nodes TTreeExNode.
//
// The control keeps its own object tree beside the items of the tree window: every node owns
// the list of its children and one window item, whose parameter holds the node and which asks
// for its text and images by callback. Navigation, indexes, sorting and streaming run on the
// objects; the window shows them, reports what the user does, and deletes items, whose nodes
// the control then frees. Besides the usual node state, nodes carry the backup catalogue's
// fields, which have no effect on the window.
//
// Invariant kept throughout: no node reference the control or the collection holds (the
// selection, the item cache, the child lists, the shift anchor, the pressed, dragged and
// right-clicked nodes, the last drop target, the change timer's node, the rubber-band list)
// outlives its node; the node's destructor clears them all.
#pragma once

#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "controls/TreeNodeList.h"
#include "platform/Controls.h"
#include "platform/ExtCtrls.h"
#include "platform/ImgList.h"
#include "platform/Menus.h"
#include "platform/Streams.h"
#include "platform/TreeView.h"

TARVIK_EXCEPTION(ETreeExError, Exception);

// The deepest level a node may have (top-level nodes are level 0). The node stream nests no
// deeper, so that every tree the control holds can be written and read back, as the window's
// re-creation does.
inline constexpr Integer kMaxTreeLevel = 1024;

using TTreeFont = TFont;
using TTreeImageList = TCustomImageList;
using TTreeTimer = TTimer;

// Font pitch of a node's own font, as the node stream carries it.
enum TFontPitch : Byte { fpDefault, fpVariable, fpFixed };

class TTreeExNodes;
class TCustomTreeEx;
struct TTreeExNodeRecord;

// Kinds of catalogue nodes, held in NodeKind.
enum TNodeKind : Int64 { nkFolder = 1, nkBackup = 2, nkHistory = 3 };

enum TCheckType : Byte { ctNone = 0, ctCheckBox = 1, ctTriState = 2, ctRadioButton = 3 };
enum TCheckState : Byte { chUnchecked = 0, chChecked = 1, chPartial = 3 };
enum class TSelectMode { smSelect, smUnselect, smToggle };
enum class TSortType : Byte { stNone, stData, stText, stBoth };

enum class TTreeOption : unsigned {
    toAutoExpand, toAutoScroll, toCheckSupport, toNoEraseBkgnd, toEvenHeight, toFullRowSelect,
    toHideSelection, toHotTrack, toInfoTip, toLevelSelectConstraint, toMultiSelect, toNoScroll,
    toReadOnly, toRightClickSelect, toToolTips, toShowButtons, toShowLines, toShowRoot,
    toSingleExpand, toWantReturn
};
// A set of TTreeOption, bit n for member n.
class TTreeOptions {
public:
    constexpr TTreeOptions() = default;
    constexpr explicit TTreeOptions(UInt64 bits) : bits_(static_cast<std::uint32_t>(bits)) {}
    constexpr TTreeOptions(std::initializer_list<TTreeOption> members) {
        for (auto m : members) bits_ |= Bit(m);
    }
    constexpr bool Has(TTreeOption o) const { return (bits_ & Bit(o)) != 0; }
    constexpr TTreeOptions With(TTreeOption o) const { return TTreeOptions(bits_ | Bit(o)); }
    constexpr TTreeOptions Without(TTreeOption o) const { return TTreeOptions(bits_ & ~Bit(o)); }
    constexpr std::uint32_t Bits() const { return bits_; }
    constexpr bool operator==(const TTreeOptions&) const = default;

private:
    static constexpr std::uint32_t Bit(TTreeOption o) { return 1u << static_cast<unsigned>(o); }
    std::uint32_t bits_ = 0;
};
inline constexpr TTreeOptions DefaultTreeOptions{0x3A053};

enum class TTreeHitTest : unsigned {
    thAbove, thBelow, thNowhere, thOnItem, thOnButton, thOnIcon, thOnIndent, thOnLabel, thOnRight,
    thOnStateIcon, thToLeft, thToRight
};
using TTreeHitTests = std::uint32_t;  // bit n for member n
constexpr TTreeHitTests HitBit(TTreeHitTest h) { return 1u << static_cast<unsigned>(h); }

// States handed to the item-paint events: bit positions as in a 13-bit set.
enum class TNodeState : unsigned {
    nstChecked = 0, nstDisabled = 2, nstFocused = 7, nstGrayed = 8, nstHot = 9,
    nstIndeterminate = 10, nstMarked = 11, nstSelected = 12
};
using TNodeStates = std::uint32_t;
constexpr TNodeStates StateBit(TNodeState s) { return 1u << static_cast<unsigned>(s); }

class TTreeExNode : public TPersistent {
public:
    explicit TTreeExNode(TTreeExNodes* owner);
    ~TTreeExNode() override;
    TTreeExNode(const TTreeExNode&) = delete;
    TTreeExNode& operator=(const TTreeExNode&) = delete;

    // --- catalogue fields (plain stores, no effect on the window) ---
    const String& SystemName() const { return systemName_; }
    void SetSystemName(const String& v) { systemName_ = v; }
    const String& BackupID() const { return backupID_; }
    void SetBackupID(const String& v) { backupID_ = v; }
    Int64 NodeKind() const { return nodeKind_; }
    void SetNodeKind(Int64 v) { nodeKind_ = v; }
    TDateTime Created() const { return created_; }
    void SetCreated(TDateTime v) { created_ = v; }
    const String& Description() const { return description_; }
    void SetDescription(const String& v) { description_ = v; }
    bool SavedExpanded() const { return savedExpanded_; }
    void SetSavedExpanded(bool v) { savedExpanded_ = v; }
    HMODULE PluginHandle() const { return pluginHandle_; }
    void SetPluginHandle(HMODULE v) { pluginHandle_ = v; }
    const String& PluginChildID() const { return pluginChildID_; }
    void SetPluginChildID(const String& v) { pluginChildID_ = v; }

    // --- node state ---
    const String& Text() const { return text_; }
    void SetText(const String& v);
    Integer Data() const { return data_; }
    void SetData(Integer v);
    Integer ImageIndex() const { return imageIndex_; }
    void SetImageIndex(Integer v);
    Integer SelectedIndex() const { return selectedIndex_; }
    void SetSelectedIndex(Integer v);
    Integer OverlayIndex() const { return overlayIndex_; }
    void SetOverlayIndex(Integer v);
    Integer StateIndex() const { return stateIndex_; }
    void SetStateIndex(Integer v);
    Integer IntegralHeight() const;
    void SetIntegralHeight(Integer v);
    bool Expanded() const { return expanded_; }
    void SetExpanded(bool v);
    bool Selected() const;
    void SetSelected(bool v);
    void SetFocused(bool v);
    bool DropTarget() const;
    void SetDropTarget(bool v);
    bool HasChildren() const;
    void SetHasChildren(bool v);
    TColor Color() const;
    bool ParentColor() const { return parentColor_; }
    bool ParentFont() const { return parentFont_; }
    TTreeFont* Font();
    bool HasOwnFontObject() const { return font_ != nullptr; }
    // The pitch of the node's own font (the device fonts have none; only streams keep it).
    TFontPitch FontPitch() const { return fontPitch_; }
    void SetFontPitch(TFontPitch v) { fontPitch_ = v; }

    TCheckState CheckState() const { return checkState_; }
    void SetCheckState(TCheckState v);
    TCheckType CheckType() const { return checkType_; }
    void SetCheckType(TCheckType v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    void ToggleCheck();
    void UpdateCheckFromChildren();

    // --- structure ---
    TTreeExNodes* Owner() const { return owner_; }
    TCustomTreeEx* TreeView() const;
    TTreeExNode* Parent() const;
    Integer Level() const;
    Integer Index() const;
    Integer AbsoluteIndex() const;
    Integer Count() const { return children_.Count(); }
    TTreeExNode* Item(Integer index) const;
    HTREEITEM ItemId() const { return itemId_; }
    bool Deleting() const { return deleting_; }
    bool InTree() const { return inTree_; }

    void Delete();
    void DeleteChildren();
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool HasAsParent(const TTreeExNode* value) const;
    bool IsVisible() const;
    RECT ItemRect(bool textOnly) const;
    TTreeExNode* GetFirstChild() const;
    TTreeExNode* GetLastChild() const;
    TTreeExNode* GetNextSibling() const;
    TTreeExNode* GetPrevSibling() const;
    TTreeExNode* GetNext() const;
    TTreeExNode* GetPrev() const;
    TTreeExNode* GetNextVisible() const;
    TTreeExNode* GetPrevVisible() const;
    TTreeExNode* GetNextSelected() const;
    bool SortByText() { return SortChildren(nullptr, 0); }
    bool SortChildren(TTreeNodeCompare sortProc, LPARAM data);
    bool IsEqual(const TTreeExNode* node) const;
    void Assign(TPersistent* source) override;

    virtual void ReadNodeRecord(TStream& stream, TTreeExNodeRecord& buffer);
    virtual void WriteNodeRecord(TStream& stream, TTreeExNodeRecord& buffer);

private:
    friend class TTreeExNodes;
    friend class TCustomTreeEx;

    void ExpandItem(bool expand, bool recurse);
    void NodeFontChanged();
    void SetItemState(UINT mask, UINT state);
    bool GetItemField(TVITEMA& item) const;
    bool SetItemField(TVITEMA& item);
    void ReSort();
    void ShowStateImage(Integer image);
    void ChangeCheck(TCheckState value);
    TTreeExNode* RealParent() const { return parent_; }

    TTreeExNodes* owner_;
    String text_;
    String systemName_;
    String backupID_;
    Int64 nodeKind_ = 0;
    TDateTime created_ = 0;
    String description_;
    bool savedExpanded_ = false;
    HMODULE pluginHandle_ = nullptr;
    String pluginChildID_;
    Integer data_ = 0;
    HTREEITEM itemId_ = nullptr;
    std::unique_ptr<TTreeFont> font_;
    TFontPitch fontPitch_ = fpDefault;
    TTreeExNode* parent_ = nullptr;
    bool expanded_ = false;
    bool parentColor_ = true;
    bool parentFont_ = true;
    Integer imageIndex_ = -1;
    Integer selectedIndex_ = -1;
    Integer overlayIndex_ = -1;
    Integer stateIndex_ = -1;
    bool deleting_ = false;
    TColor color_ = 0;
    bool inTree_ = false;
    TTreeNodeList children_;
    TCheckState checkState_ = chUnchecked;
    TCheckType checkType_ = ctNone;
    bool enabled_ = true;
};

using TTreeExNodeClass = std::function<TTreeExNode*(TTreeExNodes* owner)>;

class TTreeExNodes : public TPersistent {
public:
    explicit TTreeExNodes(TCustomTreeEx* owner);
    ~TTreeExNodes() override;

    TCustomTreeEx* Owner() const { return owner_; }
    Integer Count() const;
    HWND Handle() const;
    TTreeExNode* Item(Integer index);
    TTreeExNode* operator[](Integer index) { return Item(index); }
    TTreeExNode* GetNode(HTREEITEM itemId) const;
    TTreeExNode* GetFirstNode() const;
    TTreeExNode* FirstSelected() const;
    Integer SelectedCount() const { return selection_.Count(); }
    const TTreeNodeList& Selection() const { return selection_; }
    TTreeExNode* Root() const { return root_.get(); }

    TTreeExNode* AddChild(TTreeExNode* parent, const String& s);
    TTreeExNode* Add(TTreeExNode* sibling, const String& s);
    void Delete(TTreeExNode* node);
    void Clear();
    void BeginChanges();
    void EndChanges();
    Integer UpdateCount() const { return updateCount_; }
    void Repaint(TTreeExNode* node);
    virtual void InvalidateItemCache();
    void FillItemCache();
    void AddToSelection(TTreeExNode* node);
    void RemoveFromSelection(TTreeExNode* node);
    Integer LockSelection();
    Integer UnlockSelection();
    void SelectNode(TTreeExNode* node, TSelectMode mode);
    void ToggleRange(TTreeExNode* from, TTreeExNode* to);
    void SelectNodes(TTreeExNode* from, TTreeExNode* to, bool addOnly);
    TCheckType CheckType() const { return checkType_; }
    void SetCheckType(TCheckType v);
    Integer SelectLevel() const { return selectLevel_; }
    void SetSelectLevel(Integer v) { selectLevel_ = v; }
    bool MultiSelecting() const { return multiSelecting_; }
    void SetMultiSelecting(bool v) { multiSelecting_ = v; }
    bool Clearing() const { return clearing_; }
    void Assign(TPersistent* source) override;

    void ReadTree(TStream& stream);
    void WriteTree(TStream& stream);

private:
    friend class TTreeExNode;
    friend class TCustomTreeEx;

    TTreeExNode* InternalAddObject(TTreeExNode* parent, const String& s, Integer data);
    void AddedNode(TTreeExNode* parent);
    void ApplyUpdateState(bool updating);
    void ChangeNotice(TTreeExNode* node);
    Integer IndexInCache(const TTreeExNode* node);
    // Forgets node wherever the collection refers to it (selection, item cache).
    void NodeGone(TTreeExNode* node);
    [[noreturn]] void HandlerDeletedNode();

    TCustomTreeEx* owner_;
    Integer updateCount_ = 0;
    bool multiSelecting_ = false;
    bool clearing_ = false;
    std::unique_ptr<TTreeExNode> root_;
    std::unique_ptr<TTreeNodeList> itemCache_;
    TTreeNodeList selection_;
    Integer selectionLock_ = 0;
    TCheckType checkType_ = ctNone;
    Integer selectLevel_ = -1;
    Integer readDepth_ = 0;
    // A node asked for a re-sort while changes were batched.
    bool resortPending_ = false;
    std::unordered_map<const TTreeExNode*, Integer> cacheIndex_;
    std::unordered_set<const TTreeExNode*> liveNodes_;

public:
    // True while node is a node of this collection that has not been destroyed. Handlers may
    // delete nodes; code that calls them checks this before it touches a node again.
    bool IsLive(const TTreeExNode* node) const { return node && liveNodes_.count(node) != 0; }
};

// Event types: Sender is the control (or the collection for OnDeletion through Items.Delete).
using TTVChangedEvent = std::function<void(TObject* sender, TTreeExNode* node)>;
using TTVExpandedEvent = TTVChangedEvent;
using TTVCheckedEvent = TTVChangedEvent;
using TTVChangingEvent = std::function<void(TObject* sender, TTreeExNode* node, bool& allow)>;
using TTVExpandingEvent = TTVChangingEvent;
using TTVCollapsingEvent = TTVChangingEvent;
using TTVEditingEvent = TTVChangingEvent;
using TTVCheckingEvent = TTVChangingEvent;
using TTVEditedEvent = std::function<void(TObject* sender, TTreeExNode* node, String& s)>;
using TTVCompareEvent =
    std::function<void(TObject* sender, TTreeExNode* node1, TTreeExNode* node2, LPARAM data, Integer& compare)>;
using TTVHintEvent = std::function<void(TObject* sender, TTreeExNode* node, String& newText)>;
using TTVSingleExpandingEvent = std::function<void(TObject* sender, TTreeExNode* node, bool& autoCollapse)>;
using TTVCreateNodeEvent = std::function<void(TObject* sender, TTreeExNodeClass& nodeClass)>;
using TTVPaintEvent = std::function<void(TObject* sender)>;
using TTVAfterItemPaintEvent =
    std::function<void(TObject* sender, TTreeExNode* node, const RECT& itemRect, TNodeStates states)>;
using TTVBeforeItemPaintEvent = std::function<void(TObject* sender, TTreeExNode* node, const RECT& itemRect,
                                                   TNodeStates states, bool& ownerDraw)>;
using TTVPopupEvent = std::function<void(TObject* sender, TTreeExNode* node, bool& askParent,
                                         TPopupMenu*& popupMenu)>;
using TTVHelpContextEvent = std::function<void(TObject* sender, TTreeExNode* node, Integer& helpContext)>;

class TCustomTreeEx : public TWinControl {
public:
    explicit TCustomTreeEx(TComponent* AOwner);
    ~TCustomTreeEx() override;
    const char* ClassName() const noexcept override { return "TCustomTreeEx"; }
    void BeforeDestruction() override;
    using TWinControl::DestroyHandle;

    TTreeExNodes* Items() { return items_.get(); }
    void SetItems(TTreeExNodes* value);

    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle v);
    Integer ChangeDelay() const;
    void SetChangeDelay(Integer v);
    TColor ColorDropSelected() const { return colorDropSelected_; }
    void SetColorDropSelected(TColor v);
    TColor ColorSelected() const { return colorSelected_; }
    void SetColorSelected(TColor v);
    TColor ColorUnfocusedSelected() const { return colorUnfocusedSelected_; }
    void SetColorUnfocusedSelected(TColor v);
    void SetDragMode(TDragMode mode) override;
    TTreeImageList* Images() const { return images_; }
    void SetImages(TTreeImageList* v);
    TTreeImageList* StateImages() const { return stateImages_; }
    void SetStateImages(TTreeImageList* v);
    Integer Indent();
    void SetIndent(Integer v);
    TColor InsertMarkColor();
    void SetInsertMarkColor(TColor v);
    std::int8_t ItemHeight();
    void SetItemHeight(std::int8_t v);
    TTreeOptions Options() const { return options_; }
    void SetOptions(TTreeOptions v);
    Integer ScrollTime();
    void SetScrollTime(Integer v);
    String SearchString();
    TSortType SortType() const { return sortType_; }
    void SetSortType(TSortType v);

    TTreeExNode* Selected();
    void SetSelected(TTreeExNode* node);
    TTreeExNode* TopNode();
    void SetTopNode(TTreeExNode* node);
    TTreeExNode* DropTargetNode();
    void SetDropTargetNode(TTreeExNode* node);

    bool SortByText();
    bool SortChildren(TTreeNodeCompare sortProc, LPARAM data);
    TTreeExNode* NodeAtPoint(Integer x, Integer y);
    TTreeHitTests HitTestAt(Integer x, Integer y);
    bool IsEditing();
    void ClearSelection();
    void CollapseAll();
    virtual TTreeExNode* CreateNode();

    // The drag image: the list made from the dragged node's item, while it holds one.
    TCustomImageList* GetDragImages() override;
    POINT DragHotSpot() const { return POINT{2, 2}; }
    // The drag object of the drag moving over the control (until the drop or the leave).
    TDragObject* DragObject() const { return dragObject_; }
    // Scrolls the view while the pointer stays near an edge (see the scroll timer).
    virtual void DoAutoScroll(Integer x, Integer y);
    enum TScrollDirection : unsigned { sdLeft = 1, sdUp = 2, sdRight = 4, sdDown = 8 };
    unsigned ScrollDirections() const { return scrollDirections_; }
    TTreeTimer* ScrollTimer() const { return scrollTimer_.get(); }
    TTreeTimer* ExpandTimer() const { return expandTimer_.get(); }
    virtual void DelayedChange(TTreeExNode* node);

    // Events.
    TTVPaintEvent OnAfterPaint;
    TTVPaintEvent OnBeforePaint;
    TTVAfterItemPaintEvent OnAfterItemPaint;
    TTVBeforeItemPaintEvent OnBeforeItemPaint;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    TTVExpandedEvent OnExpanded;
    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnCollapsed;
    TTVCollapsingEvent OnCollapsing;
    TTVChangingEvent OnChanging;
    TTVChangedEvent OnChange;
    TTVCompareEvent OnCompare;
    TTVExpandedEvent OnDeletion;
    TTVExpandedEvent OnGetImageIndex;
    TTVExpandedEvent OnGetSelectedIndex;
    TTVHintEvent OnHint;
    TTVSingleExpandingEvent OnSingleExpanded;
    TTVCreateNodeEvent OnCreateNode;
    TTVCheckingEvent OnChecking;
    TTVCheckedEvent OnChecked;
    TTVPopupEvent OnGetPopupMenu;
    TTVHelpContextEvent OnGetHelpContext;
    // Key events of the control, also fed by the label editor (key code 0 = consumed).

    // True while the label editor is open and key (with shift) edits the label: the form's
    // menu shortcuts (Delete among them) then leave the key to the editor.
    bool WantsEditKey(WORD key, TShiftState shift) override;


    // The node references the control keeps (read-only views, mainly for tests).
    TTreeExNode* ShiftAnchor() const { return shiftAnchor_; }
    TTreeExNode* PressedNode() const { return pressedNode_; }
    bool RubberBanding() const { return rubberBanding_; }
    RECT RubberRect() const { return rubberRect_; }
    TTreeExNode* RightClickNode() const { return rightClickNode_; }
    TTreeExNode* DragNode() const { return dragNode_; }
    TTreeExNode* LastDropTarget() const { return lastDropTarget_; }
    TTreeExNode* PendingChangeNode() const;
    TTreeTimer* ChangeTimer() const { return changeTimer_.get(); }
    HFONT SavedFont() const { return savedFont_; }
    // Forgets node in every reference the control keeps; called by the node's destructor.
    void NodeGone(TTreeExNode* node);

protected:
    virtual bool CanCheck(TTreeExNode* node);
    virtual bool CanEditLabel(TTreeExNode* node);
    virtual bool CanChangeSelection(TTreeExNode* node);
    virtual bool CanCollapse(TTreeExNode* node);
    virtual bool CanExpand(TTreeExNode* node);
    virtual void Change(TTreeExNode* node);
    virtual void Checked(TTreeExNode* node);
    virtual void Collapse(TTreeExNode* node);
    virtual void Edit(const TVITEMA& item);
    virtual void Expand(TTreeExNode* node);

    void CreateParams(TCreateParams& params) override;
    // A freed (or removed) image list stops being Images or StateImages.
    void ComponentRemoved(TComponent* component) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void FontChanged() override;
    // The drag start: the node the press named (else the one under the cursor) gives the
    // drag image; the drag end stops the auto-expand wait.
    void DoStartDrag(TDragObject*& dragObject) override;
    void DoEndDrag(TObject* target, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    // The inherited handling of a message, with its answer.
    LRESULT Inherited(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    friend class TTreeExNode;
    friend class TTreeExNodes;

    // Events may run only while the control and its owner are whole.
    bool EventsLive() const;
    LRESULT CNNotify(NMHDR& header);
    LRESULT CustomDraw(NMTVCUSTOMDRAW& draw);
    void BeginLabelEdit(NMTVDISPINFOA& info, LRESULT& result);
    TTreeExNode* NodeFromItem(const TVITEMA& item);
    void ChangeTimerTick();
    void ChangeStyle(DWORD add, DWORD remove);
    void ApplyImageLists();
    // Makes list the one kept in slot (Images or StateImages), with its link and notification.
    void HoldImageList(TTreeImageList*& slot, TChangeLink& link, TTreeImageList* list);
    bool InvokeSort(TTreeExNode* parent, TTreeNodeCompare sortProc, LPARAM data);
    void RightButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT RightButtonUp(WPARAM wParam, LPARAM lParam);
    void RightClickNotice();
    LPARAM CursorPoint();
    // Mouse and keys: selection by click, range and rubber band, check boxes by press.
    void LeftButtonDown(TMessage& message);
    void LeftButtonUp(TMessage& message);
    void LeftDoubleClick(TMessage& message);
    void ApplyClickSelection(TTreeExNode* old, bool oldUnselected, TShiftState shift, bool wasSelected,
                             TTreeExNode* node);
    void UpdateRubberBand(TShiftState shift, const RECT& rect);
    void DrawRubberBand();
    bool RubberBandVisible() const;
    void WMKeyDown(TMessage& message);
    void CMDragMessage(TMessage& message);
    void DragOverNode(TDragObject* source, Integer x, Integer y);
    void DragLeave();
    void DragDropped();
    // The class library's handling of a left press without its automatic drag start.
    void InheritedLeftButtonDown(TMessage& message);
    void ScrollTimerTick();
    void ExpandTimerTick();
    bool HelpKey();
    static constexpr size_t kToolTipChars = 80;  // the tooltip record's own buffer
    bool ToolTipText(NMTTDISPINFOW& info);
    void InvalidateNodeRow(TTreeExNode* node);
    static LRESULT EditWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void ForgetNodeReferences();
    static int ListSortCompare(LPARAM node1, LPARAM node2, LPARAM data);

    TBorderStyle borderStyle_ = bsSingle;
    TTreeImageList* images_ = nullptr;
    TTreeImageList* stateImages_ = nullptr;
    // Hear every change of the two lists, which the window then takes again.
    std::unique_ptr<TChangeLink> imageLink_;
    std::unique_ptr<TChangeLink> stateImageLink_;
    std::unique_ptr<TTreeTimer> expandTimer_;
    std::unique_ptr<TTreeTimer> scrollTimer_;
    std::unique_ptr<TTreeExNodes> items_;
    TSortType sortType_ = TSortType::stNone;
    Integer savedTopIndex_ = 0;
    Integer savedSelectedIndex_ = 0;
    Integer savedIndent_ = -1;
    Integer savedItemHeight_ = -1;
    Integer scrollTimeCache_ = 0;
    std::unique_ptr<TMemoryStream> savedTree_;
    // Catalogue fields the node stream does not carry, kept by pre-order position across a
    // re-creation of the window.
    struct SavedPluginFields {
        bool savedExpanded = false;
        HMODULE pluginHandle = nullptr;
        String pluginChildID;
    };
    std::vector<SavedPluginFields> savedPluginFields_;
    TTreeOptions options_ = DefaultTreeOptions;
    bool expandingByCode_ = false;
    bool dragPending_ = false;
    TTreeExNode* dragNode_ = nullptr;
    TTreeExNode* rightClickNode_ = nullptr;
    bool rightClickMarker_ = false;
    TTreeExNode* lastDropTarget_ = nullptr;
    HFONT savedFont_ = nullptr;
    bool destroyingWindow_ = false;
    TTreeExNode* shiftAnchor_ = nullptr;
    std::unique_ptr<TTreeNodeList> rubberNodes_;
    bool rubberBanding_ = false;
    unsigned scrollDirections_ = 0;
    TDragObject* dragObject_ = nullptr;
    // A press on a node of a control that starts drags itself: the click selection waits for
    // the release, the drag start takes the node.
    struct PendingClick {
        TTreeExNode* old = nullptr;
        bool oldUnselected = false;
        TShiftState shift = 0;
        bool wasSelected = false;
        TTreeExNode* node = nullptr;
    };
    bool clickPending_ = false;
    PendingClick pendingClick_;
    struct FreeImages {
        void operator()(TCustomImageList* list) const { list->Free(); }
    };
    std::unique_ptr<TCustomImageList, FreeImages> dragImages_;
    POINT rubberOrigin_{};
    RECT rubberRect_{};
    TTreeExNode* pressedNode_ = nullptr;
    TColor colorUnfocusedSelected_ = cl3DLight;
    TColor colorSelected_ = clHighlight;
    TColor colorDropSelected_ = clBtnFace;
    std::unique_ptr<TTreeTimer> changeTimer_;
    HWND editWindow_ = nullptr;
    WNDPROC oldEditProc_ = nullptr;
    bool destroying_ = false;
    bool restoring_ = false;
    bool changeDuringDestroy_ = false;
};

// Shows the application's help for a context number. The contexts asked for are recorded, as
// the layer records every box it shows.
void ShowHelpContext(Integer context);
Integer LastHelpContext();

class TTreeEx : public TCustomTreeEx {
public:
    using TCustomTreeEx::TCustomTreeEx;
    const char* ClassName() const noexcept override { return "TTreeEx"; }
};
