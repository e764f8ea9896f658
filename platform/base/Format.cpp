// Format: the class library's printf-like directive language over a typed argument list.
#include <cmath>
#include <cstdio>

#include "platform/SysUtils.h"
#include "detail/FloatText.h"

namespace platform::detail {
namespace {

// Floating-point precision stops where doubles stop carrying digits.
constexpr int kMaxFloatPrecision = 18;
// Widths and precisions beyond this are treated as a broken format, not a request for
// gigabytes of padding.
constexpr int kMaxWidth = 1 << 20;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsAllZeroDigits(const String& s) {
    for (char c : s)
        if (c >= '1' && c <= '9') return false;
    return true;
}

// "-123.456" with the chosen decimal separator and, when thousands is set, a separator
// between each group of three integer digits.
String Fixed(double value, int decimals, char decimalSeparator, char thousands) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (std::fabs(value) >= 1e18) return FormatGeneral(value, 15, decimalSeparator);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
    String digits = buffer;
    const bool negative = value < 0 && !IsAllZeroDigits(digits);
    const std::size_t point = digits.find('.');
    String whole = digits.substr(0, point);
    const String fraction = point == String::npos ? String() : digits.substr(point + 1);
    if (thousands != '\0') {
        for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(whole.size()) - 3; at > 0; at -= 3)
            whole.insert(static_cast<std::size_t>(at), 1, thousands);
    }
    String out = negative ? "-" : "";
    out += whole;
    if (!fraction.empty()) {
        out += decimalSeparator;
        out += fraction;
    }
    return out;
}

// "-d.dddE+ddd": precision significant digits, an exponent of at least three digits.
String Exponent(double value, int precision, char decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    const DecimalDigits d = ToDecimalDigits(value, precision);
    String digits = d.digits;
    digits.resize(static_cast<std::size_t>(precision), '0');
    String out = d.negative && !d.zero ? "-" : "";
    out += digits[0];
    if (precision > 1) {
        out += decimalSeparator;
        out.append(digits, 1, String::npos);
    }
    out += d.exponent < 0 ? "E-" : "E+";
    String e = std::to_string(std::abs(d.exponent));
    if (e.size() < 3) e.insert(0, 3 - e.size(), '0');
    return out + e;
}

String ZeroPadded(String digits, int precision) {
    if (precision > static_cast<int>(digits.size())) digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
    return digits;
}

class Formatter {
public:
    Formatter(const String& format, std::initializer_list<TVarRec> args, const TFormatSettings& settings)
        : f_(format), args_(args.begin()), count_(args.size()), s_(settings) {}

    String Run() {
        String out;
        std::size_t i = 0;
        while (i < f_.size()) {
            const std::size_t next = f_.find('%', i);
            if (next == String::npos) {
                out.append(f_, i, String::npos);
                break;
            }
            out.append(f_, i, next - i);
            i = next + 1;
            if (i < f_.size() && f_[i] == '%') {
                out += '%';
                ++i;
                continue;
            }
            out += Directive(i);
        }
        return out;
    }

private:
    [[noreturn]] void Invalid() const {
        throw EConvertError("Format '" + f_ + "' invalid or incompatible with argument");
    }

    const TVarRec& NextArg() {
        if (argIndex_ >= count_) throw EConvertError("No argument for format '" + f_ + "'");
        return args_[argIndex_++];
    }

    // Digits, or "*" taking the next Integer argument; -1 when neither is there.
    int Number(std::size_t& i) {
        if (i < f_.size() && f_[i] == '*') {
            ++i;
            const TVarRec& a = NextArg();
            if (a.kind() != TVarRec::Kind::Integer) Invalid();
            const auto v = static_cast<Int64>(a.bits());
            if (v > kMaxWidth || v < -kMaxWidth) Invalid();
            return static_cast<int>(v);
        }
        if (i >= f_.size() || f_[i] < '0' || f_[i] > '9') return -1;
        int v = 0;
        while (i < f_.size() && f_[i] >= '0' && f_[i] <= '9') {
            v = v * 10 + (f_[i++] - '0');
            if (v > kMaxWidth) Invalid();
        }
        return v;
    }

    String Directive(std::size_t& i) {
        // [index ":"]
        const std::size_t start = i;
        std::size_t probe = i;
        if (probe < f_.size() && f_[probe] == '*') ++probe;
        else
            while (probe < f_.size() && f_[probe] >= '0' && f_[probe] <= '9') ++probe;
        if (probe > start && probe < f_.size() && f_[probe] == ':') {
            const int index = Number(i);
            if (index < 0) Invalid();
            argIndex_ = static_cast<std::size_t>(index);
            ++i;  // the ':'
        }
        bool left = false;
        if (i < f_.size() && f_[i] == '-') {
            left = true;
            ++i;
        }
        int width = Number(i);
        if (width < 0 && i > 0 && f_[i - 1] == '*') {
            left = true;
            width = -width;
        }
        int precision = -1;
        if (i < f_.size() && f_[i] == '.') {
            ++i;
            precision = Number(i);
            if (precision < 0) precision = (i > 0 && f_[i - 1] == '*') ? -1 : 0;
        }
        if (i >= f_.size()) Invalid();
        const char type = Upper(f_[i++]);
        String text = Convert(type, precision);
        if (width > static_cast<int>(text.size())) {
            const std::size_t pad = static_cast<std::size_t>(width) - text.size();
            if (left) text.append(pad, ' ');
            else text.insert(0, pad, ' ');
        }
        return text;
    }

    String Convert(char type, int precision) {
        switch (type) {
        case 'D': case 'U': case 'X': case 'P': case 'S':
        case 'E': case 'F': case 'G': case 'N':
            break;
        default:
            Invalid();
        }
        const TVarRec& a = NextArg();
        using K = TVarRec::Kind;
        switch (type) {
        case 'D': {
            if (a.kind() != K::Integer) Invalid();
            if (a.isUnsigned() && a.is64()) return ZeroPadded(std::to_string(a.bits()), precision);
            const auto v = static_cast<Int64>(a.bits());
            const UInt64 magnitude = v < 0 ? UInt64{0} - a.bits() : a.bits();
            // Appended, not prepended: GCC 12 at -O3 reports a false -Wrestrict overlap for
            // "-" + string (its inlined insert at the front).
            String out(v < 0 ? "-" : "");
            out += ZeroPadded(std::to_string(magnitude), precision);
            return out;
        }
        case 'U':
            if (a.kind() != K::Integer) Invalid();
            return ZeroPadded(std::to_string(a.is64() ? a.bits() : (a.bits() & 0xFFFFFFFFu)), precision);
        case 'X':
            if (a.kind() != K::Integer) Invalid();
            return HexDigits(a.is64() ? a.bits() : (a.bits() & 0xFFFFFFFFu), precision);
        case 'P':
            if (a.kind() != K::Pointer) Invalid();
            return HexDigits(a.bits(), 16);
        case 'S': {
            if (a.kind() != K::String && a.kind() != K::Char) Invalid();
            std::string_view t = a.text();
            if (precision >= 0 && static_cast<std::size_t>(precision) < t.size()) t = t.substr(0, static_cast<std::size_t>(precision));
            return String(t);
        }
        default:
            break;
        }
        if (a.kind() != K::Extended) Invalid();
        const double v = a.real();
        switch (type) {
        case 'E':
            return Exponent(v, precision < 1 ? 15 : std::min(precision, kMaxFloatPrecision), s_.DecimalSeparator);
        case 'F':
            return Fixed(v, precision < 0 ? 2 : std::min(precision, kMaxFloatPrecision), s_.DecimalSeparator, '\0');
        case 'N':
            return Fixed(v, precision < 0 ? 2 : std::min(precision, kMaxFloatPrecision), s_.DecimalSeparator,
                         s_.ThousandSeparator);
        default:  // 'G'
            return FormatGeneral(v, precision < 1 ? 15 : precision, s_.DecimalSeparator);
        }
    }

    const String& f_;
    const TVarRec* args_;
    std::size_t count_;
    std::size_t argIndex_ = 0;
    const TFormatSettings& s_;
};

}  // namespace
}  // namespace platform::detail

String Format(const String& Fmt, std::initializer_list<TVarRec> Args, const TFormatSettings& Settings) {
    return platform::detail::Formatter(Fmt, Args, Settings).Run();
}
