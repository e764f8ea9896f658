// Date-times as text: FormatDateTime and its users, and the reading side.
#include <cctype>
#include <cmath>

#include "platform/DateTime.h"
#include "detail/Calendar.h"

namespace platform::detail {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithNoCase(const String& text, std::size_t pos, const char* word) {
    for (std::size_t i = 0; word[i] != '\0'; ++i) {
        if (pos + i >= text.size() || Upper(text[pos + i]) != Upper(word[i])) return false;
    }
    return true;
}

void AppendNumber(String& out, std::int64_t value, int digits) {
    String text = std::to_string(value);
    if (static_cast<int>(text.size()) < digits) out.append(static_cast<std::size_t>(digits) - text.size(), '0');
    out += text;
}

// Format strings nest (c, ddddd, t ...) only this deep, so a format that names itself ends.
constexpr int kMaxNesting = 2;

struct Parts {
    std::int64_t day = 0;
    int year = 0, month = 0, mday = 0, dow = 0;
    int hour = 0, min = 0, sec = 0, msec = 0;
};

class DateTimeFormatter {
public:
    DateTimeFormatter(const Parts& parts, const TFormatSettings& settings) : p_(parts), s_(settings) {}

    void Append(const String& format, int nesting) {
        if (nesting > kMaxNesting) return;
        bool lastWasHour = false;
        std::size_t i = 0;
        while (i < format.size()) {
            const char c = format[i];
            const char u = Upper(c);
            if (c == '\'' || c == '"') {
                const std::size_t end = format.find(c, i + 1);
                const std::size_t stop = end == String::npos ? format.size() : end;
                out_.append(format, i + 1, stop - i - 1);
                i = end == String::npos ? format.size() : end + 1;
                continue;
            }
            if (u == 'A') {
                i += AppendAmPm(format, i);
                continue;
            }
            std::size_t count = 1;
            if (std::isalpha(static_cast<unsigned char>(c))) {
                while (i + count < format.size() && Upper(format[i + count]) == u) ++count;
            }
            switch (u) {
            case 'C':
                Append(s_.ShortDateFormat, nesting + 1);
                if (p_.hour != 0 || p_.min != 0 || p_.sec != 0) {
                    out_ += ' ';
                    Append(s_.LongTimeFormat, nesting + 1);
                }
                lastWasHour = false;
                break;
            case 'D':
                if (count <= 2) AppendNumber(out_, p_.mday, static_cast<int>(count));
                else if (count == 3) out_ += s_.ShortDayNames[static_cast<std::size_t>(p_.dow - 1)];
                else if (count == 4) out_ += s_.LongDayNames[static_cast<std::size_t>(p_.dow - 1)];
                else if (count == 5) Append(s_.ShortDateFormat, nesting + 1);
                else Append(s_.LongDateFormat, nesting + 1);
                lastWasHour = false;
                break;
            case 'M':
                if (lastWasHour && count <= 2) AppendNumber(out_, p_.min, static_cast<int>(count));
                else if (count <= 2) AppendNumber(out_, p_.month, static_cast<int>(count));
                else if (count == 3) out_ += s_.ShortMonthNames[static_cast<std::size_t>(p_.month - 1)];
                else out_ += s_.LongMonthNames[static_cast<std::size_t>(p_.month - 1)];
                lastWasHour = false;
                break;
            case 'Y':
                if (count <= 2) AppendNumber(out_, p_.year % 100, 2);
                else AppendNumber(out_, p_.year, 4);
                lastWasHour = false;
                break;
            case 'H': {
                int hour = p_.hour;
                if (TwelveHourClockFollows(format, i + count)) {
                    hour %= 12;
                    if (hour == 0) hour = 12;
                }
                AppendNumber(out_, hour, count >= 2 ? 2 : 1);
                lastWasHour = true;
                break;
            }
            case 'N':
                AppendNumber(out_, p_.min, count >= 2 ? 2 : 1);
                lastWasHour = false;
                break;
            case 'S':
                AppendNumber(out_, p_.sec, count >= 2 ? 2 : 1);
                lastWasHour = false;
                break;
            case 'Z':
                AppendNumber(out_, p_.msec, count >= 3 ? 3 : 1);
                lastWasHour = false;
                break;
            case 'T':
                Append(count == 1 ? s_.ShortTimeFormat : s_.LongTimeFormat, nesting + 1);
                lastWasHour = false;
                break;
            case '/':
                out_ += s_.DateSeparator;
                break;
            case ':':
                out_ += s_.TimeSeparator;
                break;
            default:
                out_.append(format, i, count);
                break;
            }
            i += count;
        }
    }

    String Take() { return std::move(out_); }

private:
    // Writes the am/pm marker at pos and returns how many format characters it used; a lone
    // "a" that starts no marker is copied.
    std::size_t AppendAmPm(const String& format, std::size_t pos) {
        const bool pm = p_.hour >= 12;
        if (StartsWithNoCase(format, pos, "AM/PM")) {
            out_.append(format, pm ? pos + 3 : pos, 2);
            return 5;
        }
        if (StartsWithNoCase(format, pos, "A/P")) {
            out_ += format[pm ? pos + 2 : pos];
            return 3;
        }
        if (StartsWithNoCase(format, pos, "AMPM")) {
            out_ += pm ? s_.TimePMString : s_.TimeAMString;
            return 4;
        }
        out_ += format[pos];
        return 1;
    }

    static bool TwelveHourClockFollows(const String& format, std::size_t pos) {
        while (pos < format.size()) {
            const char c = format[pos];
            if (c == '\'' || c == '"') {
                const std::size_t end = format.find(c, pos + 1);
                if (end == String::npos) return false;
                pos = end + 1;
                continue;
            }
            if (StartsWithNoCase(format, pos, "AM/PM") || StartsWithNoCase(format, pos, "A/P") ||
                StartsWithNoCase(format, pos, "AMPM"))
                return true;
            ++pos;
        }
        return false;
    }

    const Parts& p_;
    const TFormatSettings& s_;
    String out_;
};

Parts Decompose(TDateTime value) {
    Parts p;
    std::int64_t day = 0, ms = 0;
    if (!SplitDateTime(value, day, ms)) {
        // Out of the calendar: render as day 0 at midnight rather than as garbage.
        day = 0;
        ms = 0;
    }
    const CivilDate c = CivilFromDay(day);
    p.day = day;
    p.year = c.year;
    p.month = c.month;
    p.mday = c.day;
    p.dow = static_cast<int>(((day % 7) + 13) % 7 + 1);
    p.hour = static_cast<int>(ms / 3600000);
    p.min = static_cast<int>(ms / 60000 % 60);
    p.sec = static_cast<int>(ms / 1000 % 60);
    p.msec = static_cast<int>(ms % 1000);
    return p;
}

// ---- Reading ----

enum class DateOrder { DMY, MDY, YMD };

DateOrder OrderOf(const String& shortDateFormat) {
    for (std::size_t i = 0; i < shortDateFormat.size(); ++i) {
        const char c = shortDateFormat[i];
        if (c == '\'' || c == '"') {
            const std::size_t end = shortDateFormat.find(c, i + 1);
            if (end == String::npos) break;
            i = end;
            continue;
        }
        switch (Upper(c)) {
        case 'D': return DateOrder::DMY;
        case 'M': return DateOrder::MDY;
        case 'Y': return DateOrder::YMD;
        default: break;
        }
    }
    return DateOrder::DMY;
}

class Scanner {
public:
    explicit Scanner(const String& text) : t_(text) {}

    void SkipBlanks() {
        while (pos_ < t_.size() && t_[pos_] == ' ') ++pos_;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos_ >= t_.size();
    }
    bool Char(char c) {
        SkipBlanks();
        if (pos_ < t_.size() && t_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    // Reads up to nine digits; digits counts them for the two-digit-year rule.
    bool Number(int& value, int& digits) {
        SkipBlanks();
        value = 0;
        digits = 0;
        while (pos_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[pos_]))) {
            if (digits == 9) return false;
            value = value * 10 + (t_[pos_] - '0');
            ++digits;
            ++pos_;
        }
        return digits > 0;
    }
    bool Word(const String& word) {
        SkipBlanks();
        if (word.empty() || !StartsWithNoCase(t_, pos_, word.c_str())) return false;
        pos_ += word.size();
        return true;
    }
    std::size_t Pos() const { return pos_; }
    void SetPos(std::size_t pos) { pos_ = pos; }

private:
    const String& t_;
    std::size_t pos_ = 0;
};

int CurrentYear() {
    Word y, m, d;
    DecodeDate(Now(), y, m, d);
    return y;
}

bool ScanDate(Scanner& sc, TDateTime& date, const TFormatSettings& s) {
    int n1, n2, n3 = 0, d1, d2, d3 = 0;
    if (!sc.Number(n1, d1) || !sc.Char(s.DateSeparator) || !sc.Number(n2, d2)) return false;
    const bool hasThird = sc.Char(s.DateSeparator);
    if (hasThird && !sc.Number(n3, d3)) return false;
    int year, month, day, yearDigits;
    const DateOrder order = OrderOf(s.ShortDateFormat);
    if (!hasThird) {
        year = CurrentYear();
        yearDigits = 4;
        if (order == DateOrder::DMY) {
            day = n1;
            month = n2;
        } else {
            month = n1;
            day = n2;
        }
    } else if (order == DateOrder::DMY) {
        day = n1, month = n2, year = n3, yearDigits = d3;
    } else if (order == DateOrder::MDY) {
        month = n1, day = n2, year = n3, yearDigits = d3;
    } else {
        year = n1, month = n2, day = n3, yearDigits = d1;
    }
    if (yearDigits <= 2) {
        const int base = CurrentYear() - s.TwoDigitYearCenturyWindow;
        year += base / 100 * 100;
        if (s.TwoDigitYearCenturyWindow > 0 && year < base) year += 100;
    }
    if (year > 9999 || month > 12 || day > 31) return false;
    return TryEncodeDate(static_cast<::Word>(year), static_cast<::Word>(month), static_cast<::Word>(day), date);
}

bool ScanTime(Scanner& sc, TDateTime& time, const TFormatSettings& s) {
    int hour, min = 0, sec = 0, msec = 0, digits;
    if (!sc.Number(hour, digits)) return false;
    bool hasMinutes = false;
    if (sc.Char(s.TimeSeparator)) {
        if (!sc.Number(min, digits)) return false;
        hasMinutes = true;
        if (sc.Char(s.TimeSeparator)) {
            if (!sc.Number(sec, digits)) return false;
            if (sc.Char(s.DecimalSeparator) && !sc.Number(msec, digits)) return false;
        }
    }
    int ampm = 0;  // 1 am, 2 pm
    if (sc.Word(s.TimeAMString) || sc.Word("AM")) ampm = 1;
    else if (sc.Word(s.TimePMString) || sc.Word("PM")) ampm = 2;
    if (!hasMinutes && ampm == 0) return false;
    if (ampm != 0) {
        if (hour == 0 || hour > 12) return false;
        if (ampm == 1 && hour == 12) hour = 0;
        else if (ampm == 2 && hour < 12) hour += 12;
    }
    if (hour > 23 || min > 59 || sec > 59 || msec > 999) return false;
    return TryEncodeTime(static_cast<::Word>(hour), static_cast<::Word>(min), static_cast<::Word>(sec),
                         static_cast<::Word>(msec), time);
}

[[noreturn]] void ThrowNotValid(const String& text, const char* what) {
    throw EConvertError("'" + text + "' is not a valid " + what);
}

}  // namespace
}  // namespace platform::detail

using namespace platform::detail;

String FormatDateTime(const String& Format, TDateTime DateTime, const TFormatSettings& Settings) {
    const Parts parts = Decompose(DateTime);
    DateTimeFormatter f(parts, Settings);
    // An empty format means the whole date-time, as "c".
    f.Append(Format.empty() ? String("c") : Format, 0);
    return f.Take();
}

String DateTimeToStr(TDateTime DateTime, const TFormatSettings& Settings) {
    return FormatDateTime("c", DateTime, Settings);
}

String DateToStr(TDateTime Date, const TFormatSettings& Settings) {
    return FormatDateTime(Settings.ShortDateFormat, Date, Settings);
}

String TimeToStr(TDateTime Time, const TFormatSettings& Settings) {
    return FormatDateTime(Settings.LongTimeFormat, Time, Settings);
}

bool TryStrToDate(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
    Scanner sc(S);
    TDateTime date;
    if (!ScanDate(sc, date, Settings) || !sc.AtEnd()) return false;
    Value = date;
    return true;
}

bool TryStrToTime(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
    Scanner sc(S);
    TDateTime time;
    if (!ScanTime(sc, time, Settings) || !sc.AtEnd()) return false;
    Value = time;
    return true;
}

bool TryStrToDateTime(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
    Scanner sc(S);
    TDateTime date = 0, time = 0;
    if (ScanDate(sc, date, Settings)) {
        if (sc.AtEnd()) {
            Value = date;
            return true;
        }
        if (!ScanTime(sc, time, Settings) || !sc.AtEnd()) return false;
        Value = ComposeDateTime(date, time);
        return true;
    }
    return TryStrToTime(S, Value, Settings);
}

TDateTime StrToDate(const String& S, const TFormatSettings& Settings) {
    TDateTime v;
    if (!TryStrToDate(S, v, Settings)) ThrowNotValid(S, "date");
    return v;
}

TDateTime StrToTime(const String& S, const TFormatSettings& Settings) {
    TDateTime v;
    if (!TryStrToTime(S, v, Settings)) ThrowNotValid(S, "time");
    return v;
}

TDateTime StrToDateTime(const String& S, const TFormatSettings& Settings) {
    TDateTime v;
    if (!TryStrToDateTime(S, v, Settings)) ThrowNotValid(S, "date and time");
    return v;
}
