// The node record of the tree's binary stream: 1128 bytes per node, little-endian, strings as
// length-prefixed short strings in fixed fields. The layout is what earlier streams hold, so it
// never changes; the offsets below are checked against the record size.
//
// Decode only reads inside the record and refuses a short string whose length byte exceeds its
// field, so a damaged record is an error, never a read past the buffer.
#pragma once

#include <array>

#include "platform/Types.h"

struct TTreeExNodeRecord {
    static constexpr size_t Size = 1128;
    static constexpr size_t MaxText = 255;      // Text, SystemName, BackupID, Description
    static constexpr size_t MaxFontName = 31;

    Integer ImageIndex = -1;
    Integer SelectedIndex = -1;
    Integer StateIndex = -1;
    Integer OverlayIndex = -1;
    Integer IntegralHeight = 0;
    Byte CheckState = 0;
    Byte CheckType = 0;
    Byte Enabled = 1;
    Byte Expanded = 0;
    Byte Selected = 0;
    Integer Data = 0;
    Integer Count = 0;
    Integer Color = 0;
    Byte ParentColor = 1;
    Byte ParentFont = 1;
    Integer FontHeight = 0;
    Byte FontPitch = 0;
    Byte FontStyle = 0;
    String FontName;
    Integer FontColor = 0;
    String Text;
    String SystemName;
    String BackupID;
    Int64 NodeKind = 0;
    String Description;
    double Created = 0;

    // The raw area every node of one pass reuses.
    std::array<Byte, Size> Buffer{};

    // Fills Buffer from the fields (texts cut at a character boundary to fit their field).
    void Encode();
    // Fills the fields from Buffer; raises ETreeExError for a short string that overruns its
    // field.
    void Decode();
};

// Cuts a UTF-8 text to at most maxBytes without splitting a character.
String CutUtf8(const String& text, size_t maxBytes);
