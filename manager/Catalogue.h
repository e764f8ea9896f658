// The catalogue file Backup.Dat: one text line per node below the "Backup's" root, in
// pre-order, ten "|"-separated fields, CR LF after every line.
//
// This is the file format and the rules that place a line's node in the tree; it knows no
// tree control. The main window walks its tree into records for a save and offers the small
// TCatalogueTarget interface for a load.
//
// Every line whose values hold no "|", double quote or control character and do not begin
// with a blank is written exactly as the older program wrote it. A text field that does is
// written in double quotes with inner quotes doubled, which the shared splitter reads back
// equal; a line break inside such a field stays inside the quotes, so the reader joins the
// physical lines of an open quoted field into one record.
//
// The catalogue must never be lost: the file is replaced through a new file and a rename; a
// line that cannot be read is skipped and reported, and the file as it was read is kept as
// Backup.Dat.bak before the first save that follows such a load.
#pragma once

#include <vector>

#include "controls/TreeEx.h"
#include "platform/FormatSettings.h"
#include "platform/Types.h"

namespace manager {

// Node kinds as the catalogue and the tree store them: the tree control's own.
using ::TNodeKind;
using ::nkFolder;
using ::nkBackup;
using ::nkHistory;

struct TCatalogueRecord {
    Integer Level = 1;
    String Text;
    Int64 NodeKind = 0;
    String SystemName;
    String BackupID;
    String Description;
    TDateTime Created = 0;
    Integer ImageIndex = 0;
    Integer SelectedIndex = 0;
    bool Expanded = false;
    // How many fields the line held (2 to 10); fields after those keep the values above.
    Integer FieldCount = 10;
};

// Deepest level the reader places a node at: the tree's walks go one call deeper per level.
inline constexpr Integer kMaxCatalogueLevel = 256;

// One line of the file, CR LF included.
String CatalogueLine(const TCatalogueRecord& record, const TFormatSettings& settings);
// A text field as it stands in a line: unchanged, or quoted when the splitter would not give
// it back equal.
String CatalogueField(const String& value);

// Reads one record (without its line end). False, with the reason, when the line is
// malformed: fewer than two fields, or field 0, 2, 7 or 8 not a whole number, or field 6 not
// a date and time under settings.
bool ParseCatalogueLine(const String& line, TCatalogueRecord& record, const TFormatSettings& settings,
                        String& reason);

// The records of a file's contents, physical lines of an open quoted field joined. A line
// that cannot be read is reported in problems with its line number and skipped; a line that
// reads but would not be written back as it stands is kept and reported too.
struct TCatalogueLine {
    Integer LineNumber = 0;  // first physical line, from 1
    TCatalogueRecord Record;
};
std::vector<TCatalogueLine> ParseCatalogueText(const String& text, const TFormatSettings& settings,
                                               std::vector<String>& problems);

// What the loader needs of the tree. Nodes are opaque to it.
class TCatalogueTarget {
public:
    using Node = void*;
    virtual ~TCatalogueTarget() = default;
    // The "Backup's" root.
    virtual Node BackupRoot() = 0;
    // The parent, or null for a top-level node.
    virtual Node ParentOf(Node node) = 0;
    // Adds a new last child of parent with the record's text and fields.
    virtual Node AddChild(Node parent, const TCatalogueRecord& record) = 0;
    // The page step for a loaded node; it may raise, which does not end the load.
    virtual void NodeLoaded(Node node) = 0;
    // After the last line: expands every node whose saved state says so, in index order.
    virtual void ExpandSavedNodes() = 0;
};

// Places every record under the Backup's root by its level. A level below 1 counts as 1 and
// a level more than one deeper than the previous line's counts as one deeper, so no line is
// dropped for its level. Each line placed at another level than it holds is added to problems,
// as are problems of the page step. True when a line was placed at another level.
bool PlaceCatalogueRecords(const std::vector<TCatalogueLine>& lines, TCatalogueTarget& target,
                           std::vector<String>& problems);

// The file itself.
class TCatalogueFile {
public:
    explicit TCatalogueFile(String fileName = String()) : fileName_(std::move(fileName)) {}

    const String& FileName() const { return fileName_; }
    void SetFileName(const String& fileName) { fileName_ = fileName; }
    String BackupCopyName() const { return fileName_ + ".bak"; }

    // Reads the file into target; a missing file adds nothing. Gives the problems met (lines
    // skipped, page steps that failed). Raises only when the file exists but cannot be read.
    std::vector<String> Load(TCatalogueTarget& target, const TFormatSettings& settings);
    // Writes the records (in pre-order) through a new file and a rename, creating the folder
    // first. After a load that skipped lines, the file as it was read is first kept as
    // BackupCopyName(); after a load that could not read the file at all, that file is first
    // renamed to BackupCopyName(). An earlier copy is kept: the new one then takes the first
    // free name of BackupCopyName() + ".1", ".2", ... Raises the layer's file errors; the old
    // file then stays.
    void Save(const std::vector<TCatalogueRecord>& records, const TFormatSettings& settings);

    // True while a backup copy of a damaged load is still owed.
    bool BackupCopyPending() const { return backupPending_; }

private:
    String FreeBackupCopyName() const;

    String fileName_;
    String damagedText_;  // the file as read, when lines had to be skipped
    bool backupPending_ = false;
    bool unreadFile_ = false;  // the last load found the file but could not read it
};

}  // namespace manager
