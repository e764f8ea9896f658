#include "controls/TreeExStream.h"

#include <cstdio>
#include <cstring>

#include "controls/TreeEx.h"

namespace {

// Field offsets of the record.
constexpr size_t kImageIndex = 0, kSelectedIndex = 4, kStateIndex = 8, kOverlayIndex = 12, kIntegral = 16,
                 kCheckState = 20, kCheckType = 21, kEnabled = 22, kExpanded = 23, kSelected = 24, kData = 25,
                 kCount = 29, kColor = 33, kParentColor = 37, kParentFont = 38, kFontHeight = 43,
                 kFontPitch = 47, kFontStyle = 48, kFontName = 50, kFontColor = 83, kText = 87, kSystemName = 343,
                 kBackupID = 599, kNodeKind = 855, kDescription = 863, kCreated = 1119;
constexpr size_t kShortText = 256, kShortFontName = 32;
static_assert(kFontName + kShortFontName + 1 == kFontColor, "font name field then a reserved byte");
static_assert(kText + kShortText == kSystemName && kSystemName + kShortText == kBackupID, "text fields");
static_assert(kBackupID + kShortText == kNodeKind && kNodeKind + 8 == kDescription, "catalogue fields");
static_assert(kDescription + kShortText == kCreated && kCreated + 8 + 1 == TTreeExNodeRecord::Size,
              "the record ends with Created and one reserved byte");

void Put32(Byte* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}
void Put64(Byte* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}
std::uint32_t Get32(const Byte* p) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return v;
}
std::uint64_t Get64(const Byte* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return v;
}
void PutShort(Byte* p, size_t field, const String& s) {
    String cut = CutUtf8(s, field - 1);
    p[0] = static_cast<Byte>(cut.size());
    std::memcpy(p + 1, cut.data(), cut.size());
}
String GetShort(const Byte* p, size_t field, const char* name) {
    size_t n = p[0];
    if (n > field - 1) {
        char text[96];
        std::snprintf(text, sizeof text, "Corrupt node record: %s length %u exceeds its field", name,
                      static_cast<unsigned>(n));
        throw ETreeExError(text);
    }
    return String(reinterpret_cast<const char*>(p + 1), n);
}

}  // namespace

String CutUtf8(const String& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t n = maxBytes;
    // Step back over continuation bytes so that no character is split.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

void TTreeExNodeRecord::Encode() {
    // Reserved and unused bytes are written as zero so that equal trees give equal streams.
    Buffer.fill(0);
    Byte* b = Buffer.data();
    Put32(b + kImageIndex, static_cast<std::uint32_t>(ImageIndex));
    Put32(b + kSelectedIndex, static_cast<std::uint32_t>(SelectedIndex));
    Put32(b + kStateIndex, static_cast<std::uint32_t>(StateIndex));
    Put32(b + kOverlayIndex, static_cast<std::uint32_t>(OverlayIndex));
    Put32(b + kIntegral, static_cast<std::uint32_t>(IntegralHeight));
    b[kCheckState] = CheckState;
    b[kCheckType] = CheckType;
    b[kEnabled] = Enabled;
    b[kExpanded] = Expanded;
    b[kSelected] = Selected;
    Put32(b + kData, static_cast<std::uint32_t>(Data));
    Put32(b + kCount, static_cast<std::uint32_t>(Count));
    Put32(b + kColor, static_cast<std::uint32_t>(Color));
    b[kParentColor] = ParentColor;
    b[kParentFont] = ParentFont;
    if (!ParentFont) {
        Put32(b + kFontHeight, static_cast<std::uint32_t>(FontHeight));
        b[kFontPitch] = FontPitch;
        b[kFontStyle] = FontStyle;
        PutShort(b + kFontName, kShortFontName, FontName);
        Put32(b + kFontColor, static_cast<std::uint32_t>(FontColor));
    }
    PutShort(b + kText, kShortText, Text);
    PutShort(b + kSystemName, kShortText, SystemName);
    PutShort(b + kBackupID, kShortText, BackupID);
    Put64(b + kNodeKind, static_cast<std::uint64_t>(NodeKind));
    PutShort(b + kDescription, kShortText, Description);
    std::uint64_t created;
    static_assert(sizeof created == sizeof Created);
    std::memcpy(&created, &Created, sizeof created);
    Put64(b + kCreated, created);
}

void TTreeExNodeRecord::Decode() {
    const Byte* b = Buffer.data();
    ImageIndex = static_cast<Integer>(Get32(b + kImageIndex));
    SelectedIndex = static_cast<Integer>(Get32(b + kSelectedIndex));
    StateIndex = static_cast<Integer>(Get32(b + kStateIndex));
    OverlayIndex = static_cast<Integer>(Get32(b + kOverlayIndex));
    IntegralHeight = static_cast<Integer>(Get32(b + kIntegral));
    CheckState = b[kCheckState];
    CheckType = b[kCheckType];
    Enabled = b[kEnabled];
    Expanded = b[kExpanded];
    Selected = b[kSelected];
    Data = static_cast<Integer>(Get32(b + kData));
    Count = static_cast<Integer>(Get32(b + kCount));
    Color = static_cast<Integer>(Get32(b + kColor));
    ParentColor = b[kParentColor];
    ParentFont = b[kParentFont];
    if (!ParentFont) {
        FontHeight = static_cast<Integer>(Get32(b + kFontHeight));
        FontPitch = b[kFontPitch];
        FontStyle = b[kFontStyle];
        FontName = GetShort(b + kFontName, kShortFontName, "font name");
        FontColor = static_cast<Integer>(Get32(b + kFontColor));
    } else {
        FontHeight = 0;
        FontPitch = FontStyle = 0;
        FontName.clear();
        FontColor = 0;
    }
    Text = GetShort(b + kText, kShortText, "text");
    SystemName = GetShort(b + kSystemName, kShortText, "system name");
    BackupID = GetShort(b + kBackupID, kShortText, "backup id");
    NodeKind = static_cast<Int64>(Get64(b + kNodeKind));
    Description = GetShort(b + kDescription, kShortText, "description");
    std::uint64_t created = Get64(b + kCreated);
    std::memcpy(&Created, &created, sizeof created);
}

// ---- the tree stream: a CheckType byte, the top-level count, then every node in pre-order

namespace {

Integer ReadInt32(TStream& stream) {
    Byte b[4];
    stream.ReadBuffer(b, 4);
    return static_cast<Integer>(Get32(b));
}

void WriteInt32(TStream& stream, Integer v) {
    Byte b[4];
    Put32(b, static_cast<std::uint32_t>(v));
    stream.WriteBuffer(b, 4);
}

}  // namespace

// Reading runs the control's handlers (check, selection, expansion, change); one that deletes
// a node being read leaves nowhere to put the rest of the stream.
[[noreturn]] void TTreeExNodes::HandlerDeletedNode() {
    throw ETreeExError("A handler deleted a node while the tree was being read");
}

namespace {

[[noreturn]] void Corrupt(const char* what, long long value) {
    char text[128];
    std::snprintf(text, sizeof text, "Corrupt node stream: %s (%lld)", what, value);
    throw ETreeExError(text);
}

}  // namespace

void TTreeExNodes::WriteTree(TStream& stream) {
    Byte checkType = static_cast<Byte>(checkType_);
    stream.WriteBuffer(&checkType, 1);
    WriteInt32(stream, root_->Count());
    TTreeExNodeRecord buffer;
    for (TTreeExNode* node = GetFirstNode(); node; node = node->GetNextSibling()) node->WriteNodeRecord(stream, buffer);
}

void TTreeExNodes::ReadTree(TStream& stream) {
    Clear();
    BeginChanges();
    try {
        Byte checkType;
        stream.ReadBuffer(&checkType, 1);
        SetCheckType(static_cast<TCheckType>(checkType));
        Integer count = ReadInt32(stream);
        if (count < 0) Corrupt("negative node count", count);
        TTreeExNodeRecord buffer;
        // Each entry needs its own bytes, so a count larger than the data ends in a read error.
        readDepth_ = 0;
        for (Integer i = 0; i < count; ++i) {
            TTreeExNode* node = Add(nullptr, String());
            if (!IsLive(node) || node->Deleting()) HandlerDeletedNode();
            node->ReadNodeRecord(stream, buffer);
        }
    } catch (...) {
        readDepth_ = 0;
        EndChanges();
        throw;
    }
    readDepth_ = 0;
    EndChanges();
}

void TTreeExNode::WriteNodeRecord(TStream& stream, TTreeExNodeRecord& r) {
    TCustomTreeEx* tree = TreeView();
    r.ImageIndex = imageIndex_;
    r.SelectedIndex = selectedIndex_;
    r.StateIndex = stateIndex_;
    r.OverlayIndex = overlayIndex_;
    r.IntegralHeight = IntegralHeight();
    r.CheckState = checkState_;
    r.CheckType = checkType_;
    r.Enabled = enabled_ ? 1 : 0;
    r.Expanded = expanded_ ? 1 : 0;
    r.Selected = Selected() && !(tree && (tree->ComponentState() & csDesigning)) ? 1 : 0;
    r.Data = data_;
    r.Count = children_.Count();
    r.Color = color_;
    r.ParentColor = parentColor_ ? 1 : 0;
    r.ParentFont = parentFont_ ? 1 : 0;
    if (!parentFont_) {
        TTreeFont* font = Font();
        r.FontHeight = font->Height();
        r.FontPitch = static_cast<Byte>(fontPitch_);
        r.FontStyle = font->Style();
        r.FontName = font->Name();
        r.FontColor = font->Color();
    }
    r.Text = text_;
    r.SystemName = systemName_;
    r.BackupID = backupID_;
    r.NodeKind = nodeKind_;
    r.Description = description_;
    r.Created = created_;
    r.Encode();
    WriteInt32(stream, static_cast<Integer>(TTreeExNodeRecord::Size));
    stream.WriteBuffer(r.Buffer.data(), TTreeExNodeRecord::Size);
    for (Integer i = 0; i < children_.Count(); ++i) children_.Get(i)->WriteNodeRecord(stream, r);
}

void TTreeExNode::ReadNodeRecord(TStream& stream, TTreeExNodeRecord& r) {
    Integer size = ReadInt32(stream);
    // Only this writer's records are accepted: anything else is not a node record.
    if (size != static_cast<Integer>(TTreeExNodeRecord::Size)) Corrupt("record size", size);
    stream.ReadBuffer(r.Buffer.data(), TTreeExNodeRecord::Size);
    r.Decode();
    if (r.Count < 0) Corrupt("negative child count", r.Count);
    TCustomTreeEx* tree = TreeView();
    TTreeExNodes* owner = owner_;
    auto check = [owner, this] {
        if (!owner->IsLive(this) || deleting_) owner->HandlerDeletedNode();
    };

    SetText(r.Text);
    SetImageIndex(r.ImageIndex);
    SetSelectedIndex(r.SelectedIndex);
    SetStateIndex(r.StateIndex);
    SetCheckType(static_cast<TCheckType>(r.CheckType));
    SetCheckState(static_cast<TCheckState>(r.CheckState));
    check();
    SetEnabled(r.Enabled != 0);
    if (r.Selected) owner_->SelectNode(this, TSelectMode::smSelect);
    check();
    SetOverlayIndex(r.OverlayIndex);
    SetIntegralHeight(r.IntegralHeight);
    SetData(r.Data);
    check();
    parentColor_ = r.ParentColor != 0;
    if (!parentColor_) color_ = r.Color;
    parentFont_ = r.ParentFont != 0;
    backupID_ = r.BackupID;
    nodeKind_ = r.NodeKind;
    systemName_ = r.SystemName;
    description_ = r.Description;
    created_ = r.Created;
    if (!parentFont_) {
        font_ = std::make_unique<TTreeFont>();
        font_->SetHeight(r.FontHeight);
        font_->SetName(r.FontName);
        fontPitch_ = static_cast<TFontPitch>(r.FontPitch <= 2 ? r.FontPitch : 0);
        font_->SetStyle(static_cast<TFontStyles>(r.FontStyle & 0x0F));
        font_->SetColor(r.FontColor);
        font_->OnChange = [this](TObject*) { NodeFontChanged(); };
    }
    // The buffer is reused by the children: keep what is needed afterwards.
    Integer count = r.Count;
    bool expanded = r.Expanded != 0;
    if (count > 0) {
        if (owner_->readDepth_ >= kMaxTreeLevel) Corrupt("nesting deeper than the limit", owner_->readDepth_);
        ++owner_->readDepth_;
        for (Integer i = 0; i < count; ++i) {
            TTreeExNode* child = owner_->AddChild(this, String());
            check();
            if (!owner->IsLive(child) || child->Deleting()) owner->HandlerDeletedNode();
            child->ReadNodeRecord(stream, r);
            check();
        }
        --owner_->readDepth_;
    }
    if (!(tree && tree->Options().Has(TTreeOption::toSingleExpand))) SetExpanded(expanded);
}
