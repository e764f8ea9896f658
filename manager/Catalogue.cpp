#include "manager/Catalogue.h"

#include <algorithm>
#include <memory>

#include "manager/SplitParams.h"
#include "platform/AtomicFile.h"
#include "platform/DateTime.h"
#include "platform/FileStream.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"

namespace manager {
namespace {

constexpr char kSeparator = '|';
constexpr const char* kLineEnd = "\r\n";
// How many physical lines one record may span. Older files can hold many texts that begin
// with a quote and never close it; the bound keeps reading them linear.
constexpr std::size_t kMaxJoinedLines = 1000;

bool IsLineSpace(unsigned char c) { return c >= 1 && c <= 32; }

// True when the splitter, reading a line with "|" as separator, would still be inside a
// quoted field at its end: the line's record goes on in the next physical line. startInside
// continues a quoted field that an earlier physical line opened, so joining lines costs one
// pass over each of them.
bool EndsInsideQuote(const String& line, bool startInside = false) {
    std::size_t i = 0, n = line.size();
    auto skip = [&] {
        while (i < n && IsLineSpace(static_cast<unsigned char>(line[i]))) ++i;
    };
    // The rest of a quoted field from i; true when the line ends inside it.
    auto quoted = [&] {
        while (i < n && line[i] != '\0') {
            if (line[i] == '"') {
                if (i + 1 < n && line[i + 1] == '"') {
                    i += 2;
                    continue;
                }
                ++i;
                return false;
            }
            ++i;
        }
        return i >= n;
    };
    if (startInside) {
        if (quoted()) return true;
        if (i >= n || line[i] == '\0') return false;
        skip();
        if (i < n && line[i] == kSeparator) ++i;
    }
    skip();
    while (i < n && line[i] != '\0') {
        if (line[i] == '"') {
            ++i;
            if (quoted()) return true;
            if (i >= n || line[i] == '\0') return false;
        } else {
            while (i < n && static_cast<unsigned char>(line[i]) >= 32 && line[i] != kSeparator) ++i;
        }
        skip();
        if (i < n && line[i] == kSeparator) {
            ++i;
            skip();
        }
    }
    return false;
}

String WithoutTrailingCR(const String& s) {
    return !s.empty() && s.back() == '\r' ? s.substr(0, s.size() - 1) : s;
}

bool ReadInteger(const std::vector<String>& f, std::size_t index, Integer& value, String& reason) {
    if (TryStrToInt(f[index], value)) return true;
    reason = "field " + std::to_string(index) + " \"" + f[index] + "\" is not a whole number";
    return false;
}

String ReadAll(const String& fileName) {
    TFileStream in(fileName, fmOpenRead | fmShareDenyWrite);
    String text(static_cast<std::size_t>(in.Size()), '\0');
    if (!text.empty()) in.ReadBuffer(text.data(), static_cast<Int64>(text.size()));
    return text;
}

void WriteAll(const String& fileName, const String& text) {
    platform::AtomicFile out(fileName);
    out.Write(text);
    out.Commit();
}

}  // namespace

namespace {

// A record that would not be written back as it stands loses something at the next save (a
// NUL byte ends its line early, a tab splits a field, an extra field is dropped, a value is
// written in another form). It is loaded as read, and reported so that the file as read is
// kept beside the new one.
void NoteChangedRecord(const TCatalogueLine& entry, const String& source, const TFormatSettings& settings,
                       std::vector<String>& problems) {
    String written = CatalogueLine(entry.Record, settings);
    written.resize(written.size() - 2);  // without its CR LF
    if (written == source) return;
    problems.push_back("Backup.Dat line " + std::to_string(entry.LineNumber) +
                       " does not read back as it stands; the file as read is kept as Backup.Dat.bak");
}

}  // namespace

String CatalogueField(const String& value) {
    bool quote = !value.empty() && (IsLineSpace(static_cast<unsigned char>(value.front())) || value.front() == '"');
    for (char ch : value) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 32 || ch == kSeparator || ch == '"') quote = true;
    }
    if (!quote) return value;
    String out = "\"";
    for (char ch : value) {
        if (ch == '"') out += '"';
        out += ch;
    }
    out += '"';
    return out;
}

String CatalogueLine(const TCatalogueRecord& r, const TFormatSettings& settings) {
    String line;
    line += IntToStr(r.Level);
    line += kSeparator;
    line += CatalogueField(r.Text);
    line += kSeparator;
    line += IntToStr(r.NodeKind);
    line += kSeparator;
    line += CatalogueField(r.SystemName);
    line += kSeparator;
    line += CatalogueField(r.BackupID);
    line += kSeparator;
    line += CatalogueField(r.Description);
    line += kSeparator;
    line += DateTimeToStr(r.Created, settings);
    line += kSeparator;
    line += IntToStr(r.ImageIndex);
    line += kSeparator;
    line += IntToStr(r.SelectedIndex);
    line += kSeparator;
    line += r.Expanded ? "+" : "-";
    line += kLineEnd;
    return line;
}

bool ParseCatalogueLine(const String& line, TCatalogueRecord& r, const TFormatSettings& settings,
                        String& reason) {
    std::vector<String> f = SplitParamsTokens(line, kSeparator);
    if (f.size() < 2) {
        reason = "fewer than two fields";
        return false;
    }
    TCatalogueRecord out;
    out.FieldCount = static_cast<Integer>(std::min<std::size_t>(f.size(), 10));
    if (!ReadInteger(f, 0, out.Level, reason)) return false;
    out.Text = f[1];
    if (f.size() > 2) {
        Integer kind = 0;
        if (!ReadInteger(f, 2, kind, reason)) return false;
        out.NodeKind = kind;  // stored as 32 bits, widened with its sign
    }
    if (f.size() > 3) out.SystemName = f[3];
    if (f.size() > 4) out.BackupID = f[4];
    if (f.size() > 5) out.Description = f[5];
    if (f.size() > 6 && !TryStrToDateTime(f[6], out.Created, settings)) {
        reason = "field 6 \"" + f[6] + "\" is not a date and time";
        return false;
    }
    if (f.size() > 7 && !ReadInteger(f, 7, out.ImageIndex, reason)) return false;
    if (f.size() > 8 && !ReadInteger(f, 8, out.SelectedIndex, reason)) return false;
    if (f.size() > 9) out.Expanded = f[9] == "+";
    r = out;
    return true;
}

std::vector<TCatalogueLine> ParseCatalogueText(const String& text, const TFormatSettings& settings,
                                               std::vector<String>& problems) {
    // Physical lines as they stand, each with the CR of its CR LF still on it.
    std::vector<String> raw;
    // A byte-order mark some editors put in front of UTF-8 text is not part of the first line.
    std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        if (lf == String::npos) {
            raw.push_back(text.substr(start));
            break;
        }
        raw.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }

    std::vector<TCatalogueLine> lines;
    for (std::size_t i = 0; i < raw.size();) {
        TCatalogueLine entry;
        entry.LineNumber = static_cast<Integer>(i + 1);
        String reason;
        // A quoted field that holds a line break spans physical lines: join them, but only
        // keep the join when it gives a whole record; an older file's stray quote must not
        // swallow the lines after it.
        if (EndsInsideQuote(raw[i])) {
            String joined = raw[i];
            std::size_t j = i + 1;
            bool inside = true;
            while (j < raw.size() && inside && j - i < kMaxJoinedLines) {
                inside = EndsInsideQuote(raw[j], true);
                joined += "\n" + raw[j++];
            }
            String joinedReason;
            if (!inside &&
                ParseCatalogueLine(WithoutTrailingCR(joined), entry.Record, settings, joinedReason) &&
                entry.Record.FieldCount == 10) {
                NoteChangedRecord(entry, WithoutTrailingCR(joined), settings, problems);
                lines.push_back(entry);
                i = j;
                continue;
            }
        }
        String line = WithoutTrailingCR(raw[i]);
        if (ParseCatalogueLine(line, entry.Record, settings, reason)) {
            NoteChangedRecord(entry, line, settings, problems);
            lines.push_back(entry);
        } else {
            problems.push_back("Backup.Dat line " + std::to_string(i + 1) + " skipped: " + reason);
        }
        ++i;
    }
    return lines;
}

bool PlaceCatalogueRecords(const std::vector<TCatalogueLine>& lines, TCatalogueTarget& target,
                           std::vector<String>& problems) {
    using Node = TCatalogueTarget::Node;
    Node root = target.BackupRoot();
    Node current = nullptr;
    Integer previous = 1;
    bool moved = false;
    for (const TCatalogueLine& entry : lines) {
        Integer level = std::clamp(entry.Record.Level, 1, kMaxCatalogueLevel);
        if (!current) level = 1;  // the first node always hangs from the root
        level = std::min(level, previous + 1);
        if (level != entry.Record.Level) {
            // The next save writes the level the node got, so the line changes.
            moved = true;
            problems.push_back("Backup.Dat line " + std::to_string(entry.LineNumber) + " has level " +
                               std::to_string(entry.Record.Level) + " and is placed at level " +
                               std::to_string(level) + "; the file as read is kept as Backup.Dat.bak");
        }
        Node parent = root;
        if (level == 1) {
            parent = root;
        } else if (level < previous) {
            Node reached = current;
            for (Integer up = previous - level + 1; up > 0; --up) {
                Node p = target.ParentOf(reached);
                if (!p) break;  // never past a top-level node
                reached = p;
            }
            parent = reached;
        } else if (level == previous + 1) {
            parent = current;
        } else {
            parent = target.ParentOf(current);
            if (!parent) parent = root;
        }
        Node node = target.AddChild(parent, entry.Record);
        current = node;
        previous = level;
        try {
            target.NodeLoaded(node);
        } catch (const std::exception& e) {
            problems.push_back("Backup.Dat line " + std::to_string(entry.LineNumber) + " \"" + entry.Record.Text +
                               "\": " + e.what());
        }
    }
    target.ExpandSavedNodes();
    return moved;
}

std::vector<String> TCatalogueFile::Load(TCatalogueTarget& target, const TFormatSettings& settings) {
    std::vector<String> problems;
    if (!FileExists(fileName_)) return problems;
    String text;
    try {
        text = ReadAll(fileName_);
    } catch (...) {
        // The tree now lacks the whole catalogue; the next save must not put an empty one in
        // its place.
        unreadFile_ = true;
        throw;
    }
    std::vector<TCatalogueLine> lines = ParseCatalogueText(text, settings, problems);
    if (!problems.empty()) {
        damagedText_ = text;
        backupPending_ = true;
    }
    try {
        if (PlaceCatalogueRecords(lines, target, problems)) {
            damagedText_ = text;
            backupPending_ = true;
        }
    } catch (...) {
        // The lines after the failure are not in the tree, so the file as read is kept before
        // the next save.
        damagedText_ = text;
        backupPending_ = true;
        throw;
    }
    return problems;
}

String TCatalogueFile::FreeBackupCopyName() const {
    // An earlier copy is the only one left of an earlier damaged file: it is never replaced.
    String name = BackupCopyName();
    for (Integer n = 1; FileExists(name); ++n) name = BackupCopyName() + "." + IntToStr(n);
    return name;
}

void TCatalogueFile::Save(const std::vector<TCatalogueRecord>& records, const TFormatSettings& settings) {
    ForceDirectories(ExtractFileDir(fileName_));
    if (unreadFile_) {
        // The file the load could not read is moved aside whole; when even that fails, the
        // save fails and the file stays where it is.
        if (FileExists(fileName_)) {
            const String copy = FreeBackupCopyName();
            if (!RenameFile(fileName_, copy))
                throw EFCreateError("Cannot keep the unread catalogue \"" + fileName_ + "\" as \"" + copy + "\"");
        }
        unreadFile_ = false;
    }
    if (backupPending_) {
        WriteAll(FreeBackupCopyName(), damagedText_);
        backupPending_ = false;
        damagedText_.clear();
    }
    String text;
    for (const TCatalogueRecord& r : records) text += CatalogueLine(r, settings);
    WriteAll(fileName_, text);
}

}  // namespace manager
