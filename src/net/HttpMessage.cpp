#include "net/HttpMessage.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <limits>
#include <vector>

namespace http {

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualNoCase(const std::string& a, const char* b) { return Lowered(a) == b; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Blanks and control characters may not stand in a request line; every
// other byte travels as it is.
bool NeedsEscape(unsigned char c) { return c <= 0x20 || c == 0x7F; }

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (NeedsEscape(c)) {
            AppendPercentEscape(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string WithoutFragment(const std::string& text) { return text.substr(0, text.find('#')); }

// "[v6]" or "[v6]:port" split into the address and what follows it. The
// address holds hex digits, colons and dots (an IPv4 tail); zones are not
// taken. The look-up checks the rest.
bool SplitBracketed(const std::string& hostPort, std::string& host, std::string& rest, std::string& failure) {
    size_t close = hostPort.find(']');
    host = hostPort.substr(1, close == std::string::npos ? 0 : close - 1);
    bool ok = close != std::string::npos && host.find(':') != std::string::npos &&
              host.find_first_not_of("0123456789abcdefABCDEF:.") == std::string::npos;
    rest = ok ? hostPort.substr(close + 1) : "";
    if (ok && (rest.empty() || rest[0] == ':')) return true;
    failure = "the address has a bad IPv6 address in brackets";
    return false;
}

// "host[:port]" or "[v6][:port]" into the target; the port is the default
// when absent or empty ("host:").
bool ParseAuthority(const std::string& authority, Target& out, std::string& failure) {
    std::string hostPort = authority.substr(authority.rfind('@') == std::string::npos ? 0 : authority.rfind('@') + 1);
    std::string rest;
    if (!hostPort.empty() && hostPort[0] == '[') {
        if (!SplitBracketed(hostPort, out.host, rest, failure)) return false;
    } else {
        size_t colon = hostPort.find(':');
        out.host = hostPort.substr(0, colon);
        rest = colon == std::string::npos ? "" : hostPort.substr(colon);
    }
    out.port = out.DefaultPort();
    if (rest.size() > 1) {
        std::string digits = rest.substr(1);
        int64_t port = 0;
        for (char c : digits) {
            if (c < '0' || c > '9' || port > 65535) {
                port = -1;
                break;
            }
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535) {
            failure = "the address has a bad port number";
            return false;
        }
        out.port = static_cast<int32_t>(port);
    }
    if (out.host.empty()) {
        failure = "the address has no host name";
        return false;
    }
    for (unsigned char c : out.host) {
        if (NeedsEscape(c)) {
            failure = "the host name of the address has blanks or control characters in it";
            return false;
        }
    }
    return true;
}

// Removes "." and ".." segments from an absolute path.
std::string WithoutDotSegments(const std::string& path) {
    std::vector<std::string> kept;
    size_t start = 1;
    bool endsInDirectory = false;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        std::string segment = path.substr(start, slash - start);
        endsInDirectory = segment == "." || segment == "..";
        if (segment == "..") {
            if (!kept.empty()) kept.pop_back();
        } else if (segment != ".") {
            kept.push_back(segment);
        }
        start = slash + 1;
    }
    std::string out;
    for (const std::string& segment : kept) out += "/" + segment;
    if (out.empty() || endsInDirectory) out += "/";
    return out;
}

// Path and query of a request target, dot segments removed from the path.
std::string NormalisedTarget(const std::string& target) {
    size_t query = target.find('?');
    std::string path = target.substr(0, query);
    std::string rest = query == std::string::npos ? "" : target.substr(query);
    if (path.empty() || path[0] != '/') path = "/" + path;
    return WithoutDotSegments(path) + rest;
}

}  // namespace

bool HasScheme(const std::string& text, std::string& scheme) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (size_t i = 0; i < colon; ++i) {
        char c = text[i];
        bool ok = std::isalpha(static_cast<unsigned char>(c)) ||
                  (i > 0 && (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'));
        if (!ok) return false;
    }
    scheme = Lowered(text.substr(0, colon));
    return true;
}

void AppendPercentEscape(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

std::string Lowered(std::string text) {
    for (char& c : text) c = Lower(c);
    return text;
}

std::string Trimmed(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && IsBlank(text[a])) ++a;
    while (b > a && IsBlank(text[b - 1])) --b;
    return text.substr(a, b - a);
}

namespace {
std::string Bracketed(const std::string& host) { return host.find(':') == std::string::npos ? host : "[" + host + "]"; }
}  // namespace

std::string Target::HostPort() const { return Bracketed(host) + ":" + std::to_string(port); }

std::string Target::Authority() const { return port == DefaultPort() ? Bracketed(host) : HostPort(); }

std::string Target::Url() const { return (tls ? "https://" : "http://") + Authority() + path; }

std::string Target::Text() const { return (tls ? "https://" : "http://") + Lowered(HostPort()) + path; }

bool ParseTarget(const std::string& proto, const std::string& path, Target& out, std::string& failure) {
    std::string protocol = Lowered(proto);
    if (protocol != "http" && protocol != "https") {
        failure = "the address is not an http or https address";
        return false;
    }
    out = Target{};
    out.tls = protocol == "https";
    // Blanks around an address are left over from copying it, never part
    // of it.
    std::string text = WithoutFragment(Trimmed(path));
    size_t end = text.find_first_of("/?");
    if (!ParseAuthority(text.substr(0, end), out, failure)) return false;
    out.path = Escaped(NormalisedTarget(end == std::string::npos ? "/" : text.substr(end)));
    return true;
}

bool ResolveLocation(const Target& base, const std::string& location, Target& out) {
    std::string text = WithoutFragment(Trimmed(location));
    std::string failure;
    out = base;
    std::string scheme;
    if (HasScheme(text, scheme)) {
        if ((scheme != "http" && scheme != "https") || text.compare(scheme.size(), 3, "://") != 0) return false;
        out.tls = scheme == "https";
        text = text.substr(scheme.size() + 1);
    }
    if (text.compare(0, 2, "//") == 0) {
        size_t end = text.find_first_of("/?", 2);
        if (!ParseAuthority(text.substr(2, end == std::string::npos ? std::string::npos : end - 2), out, failure))
            return false;
        text = end == std::string::npos ? "/" : text.substr(end);
        if (text[0] == '?') text = "/" + text;
    } else if (!scheme.empty()) {
        return false;  // "http:path" names no host
    }
    std::string basePath = base.path.substr(0, base.path.find('?'));
    if (text.empty()) {
        text = base.path;
    } else if (text[0] == '?') {
        text = basePath + text;
    } else if (text[0] != '/') {
        text = basePath.substr(0, basePath.rfind('/') + 1) + text;
    }
    out.path = Escaped(NormalisedTarget(text));
    return true;
}

namespace {

// "HTTP/1.1 200 OK" into the head; false when it is not a status line.
bool ParseStatusLine(const std::string& line, Head& head) {
    if (line.compare(0, 5, "HTTP/") != 0) return false;
    size_t space = line.find(' ');
    if (space == std::string::npos || space + 4 > line.size()) return false;
    int32_t status = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) return false;
        status = status * 10 + (line[i] - '0');
    }
    if (space + 4 < line.size() && !IsBlank(line[space + 4])) return false;
    head.status = status;
    head.reason = Trimmed(line.substr(space + 4));
    return status >= 100;
}

// A Content-Length value: digits, or a list of equal numbers.
bool ParseLength(const std::string& value, int64_t& length) {
    int64_t seen = -1;
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = value.find(',', start);
        std::string item = Trimmed(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (item.empty()) return false;
        int64_t n = 0;
        for (char c : item) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            if (n > (std::numeric_limits<int64_t>::max() - 9) / 10) return false;
            n = n * 10 + (c - '0');
        }
        if (seen >= 0 && n != seen) return false;
        seen = n;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (length >= 0 && length != seen) return false;
    length = seen;
    return true;
}

// Validators go back to the server in a request head: one with a control
// byte in it is not kept.
std::string Printable(const std::string& value) {
    for (unsigned char c : value)
        if (c < 0x20 || c == 0x7F) return "";
    return value;
}

bool ApplyHeader(const std::string& line, Head& head, bool& transferEncoding) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string name = Lowered(Trimmed(line.substr(0, colon)));
    std::string value = Trimmed(line.substr(colon + 1));
    if (name == "content-length") return ParseLength(value, head.contentLength);
    if (name == "transfer-encoding") {
        transferEncoding = true;
        size_t comma = value.rfind(',');
        head.chunked = EqualNoCase(Trimmed(value.substr(comma == std::string::npos ? 0 : comma + 1)), "chunked");
    } else if (name == "content-encoding") {
        head.contentEncoding += (head.contentEncoding.empty() || value.empty() ? "" : ", ") + value;
    } else if (name == "location") {
        head.location = value;
    } else if (name == "etag") {
        head.etag = Printable(value);
    } else if (name == "last-modified") {
        head.lastModified = Printable(value);
    } else if (name == "retry-after") {
        head.retryAfter = value;
    } else if (name == "date") {
        head.date = value;
    }
    return true;
}

// The header lines of one head, unfolded: a line that starts with a blank
// continues the one before it.
HeadResult ReadHeaders(const std::function<HeadResult(std::string&)>& next, Head& head) {
    bool transferEncoding = false;
    std::string header, line;
    for (;;) {
        HeadResult r = next(line);
        if (r != HeadResult::Ok) return r == HeadResult::Ended ? HeadResult::Malformed : r;
        if (!line.empty() && IsBlank(line[0])) {
            std::string more = Trimmed(line);
            if (more.empty()) continue;  // folds nothing into anything
            if (header.empty()) return HeadResult::Malformed;
            header += " " + more;
            continue;
        }
        if (!header.empty() && !ApplyHeader(header, head, transferEncoding)) return HeadResult::Malformed;
        header = line;
        if (line.empty()) break;
    }
    // With a transfer coding the length says nothing; without chunked as
    // the last coding the body runs to the close.
    if (transferEncoding) head.contentLength = -1;
    return HeadResult::Ok;
}

}  // namespace

HeadResult ReadHead(ReadAhead& in, ByteSource& source, Head& head) {
    size_t budget = kMaxHeadBytes;
    auto next = [&](std::string& line) {
        line.clear();
        size_t used = 0;
        int32_t r = in.ReadLine(source, line, budget, &used);
        budget -= std::min(budget, used);
        if (r == 0) return in.SourceFailed() ? HeadResult::SourceFailed : HeadResult::Ended;
        if (r < 0 || budget == 0) return HeadResult::TooLarge;
        return HeadResult::Ok;
    };
    std::string line;
    for (int32_t heads = 0; heads <= kMaxInterimHeads; ++heads) {
        head = Head{};
        HeadResult r = next(line);
        // A stray empty line before the status line is tolerated.
        if (r == HeadResult::Ok && line.empty()) r = next(line);
        if (r != HeadResult::Ok) return r;
        if (!ParseStatusLine(line, head)) return HeadResult::Malformed;
        if ((r = ReadHeaders(next, head)) != HeadResult::Ok) return r;
        if (head.status == 101) return HeadResult::Malformed;  // nobody asked to switch
        if (head.status >= 200) return HeadResult::Ok;
    }
    return HeadResult::TooManyInterim;
}

namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() <= 18 && text.find_first_not_of("0123456789") == std::string::npos;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

int32_t MonthNumber(const std::string& name) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int32_t i = 0; i < 12; ++i)
        if (Lowered(name) == kMonths[i]) return i + 1;
    return 0;
}

}  // namespace

bool ParseHttpDate(const std::string& text, int64_t& unixSeconds) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text + " ") {
        if (c == ' ' || c == ',' || c == '-' || c == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (words.size() < 5) return false;
    // The fixed and the old form put the day before the month.
    bool dayFirst = AllDigits(words[1]);
    std::string day = words[dayFirst ? 1 : 2], month = words[dayFirst ? 2 : 1];
    std::string year = words[dayFirst ? 3 : 4], clock = words[dayFirst ? 4 : 3];
    int32_t m = MonthNumber(month);
    if (!m || !AllDigits(day) || !AllDigits(year) || clock.size() != 8 || clock[2] != ':' || clock[5] != ':')
        return false;
    std::string hh = clock.substr(0, 2), mm = clock.substr(3, 2), ss = clock.substr(6, 2);
    if (!AllDigits(hh) || !AllDigits(mm) || !AllDigits(ss)) return false;
    int64_t y = std::stoll(year), d = std::stoll(day);
    if (year.size() == 2) y += y < 70 ? 2000 : 1900;
    if (d < 1 || d > 31 || y < 1900 || y > 9999 || std::stoi(hh) > 23 || std::stoi(mm) > 59 || std::stoi(ss) > 60)
        return false;
    unixSeconds = DaysFromCivil(y, m, d) * 86400 + std::stoi(hh) * 3600 + std::stoi(mm) * 60 + std::stoi(ss);
    return true;
}

int64_t RetryAfterSeconds(const Head& head, int64_t nowUnix) {
    std::string value = Trimmed(head.retryAfter);
    if (AllDigits(value)) return std::stoll(value);
    // More digits than a count of seconds can hold is still a wait: the longest.
    if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos)
        return std::numeric_limits<int64_t>::max();
    int64_t until = 0, date = 0;
    if (!ParseHttpDate(value, until)) return -1;
    if (ParseHttpDate(head.date, date)) nowUnix = date;
    return std::max<int64_t>(0, until - nowUnix);
}

std::string StatusText(const Head& head) {
    std::string reason;
    for (unsigned char c : head.reason)
        if (reason.size() < 80) reason += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
    if (reason.empty()) {
        static const struct {
            int32_t status;
            const char* reason;
        } kKnown[] = {{400, "Bad Request"},  {401, "Unauthorized"}, {403, "Forbidden"},
                      {404, "Not Found"},    {410, "Gone"},         {429, "Too Many Requests"},
                      {500, "Internal Server Error"}, {502, "Bad Gateway"}, {503, "Service Unavailable"},
                      {504, "Gateway Timeout"}};
        for (const auto& k : kKnown)
            if (k.status == head.status) reason = k.reason;
    }
    std::string text = std::to_string(head.status);
    return reason.empty() ? text : text + " " + reason;
}

namespace {
// A chunk-size line (or the line ending a chunk) longer than this is not
// a chunk.
constexpr size_t kMaxChunkLine = 4096;
}  // namespace

int32_t ChunkedBody::Fail(bool malformed) {
    _malformed = malformed;
    _failed = _done = true;
    return -1;
}

int32_t ChunkedBody::NextChunk() {
    std::string line;
    // The CR LF after the previous chunk's data.
    if (!_first) {
        int32_t r = _in.ReadLine(_source, line, kMaxChunkLine);
        if (r != 1 || !line.empty()) return Fail(r != 0);
    }
    _first = false;
    line.clear();
    int32_t r = _in.ReadLine(_source, line, kMaxChunkLine);
    if (r != 1) return Fail(r < 0);
    int64_t size = 0;
    size_t i = 0;
    for (; i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])); ++i) {
        if (size > (int64_t(1) << 56)) return Fail(true);
        size = size * 16 + (std::isdigit(static_cast<unsigned char>(line[i])) ? line[i] - '0' : Lower(line[i]) - 'a' + 10);
    }
    if (i == 0 || (i < line.size() && line[i] != ';' && !IsBlank(line[i]))) return Fail(true);
    _left = size;
    return size == 0 ? ReadTrailer() : 1;
}

int32_t ChunkedBody::ReadTrailer() {
    // Header lines up to an empty one, bounded like a head.
    size_t budget = kMaxHeadBytes;
    std::string line;
    for (;;) {
        line.clear();
        size_t used = 0;
        int32_t r = _in.ReadLine(_source, line, budget, &used);
        budget -= std::min(budget, used);
        // Every chunk has come: a close before the trailer's end loses
        // nothing.
        if (r == 0 && !_in.SourceFailed()) break;
        if (r != 1) return Fail(r < 0);
        if (line.empty()) break;
        if (budget == 0) return Fail(true);
    }
    _done = true;
    return 0;
}

int32_t ChunkedBody::Fill(uint8_t* buf, int32_t count) {
    if (_done) return _failed ? -1 : 0;
    if (_left == 0) {
        int32_t r = NextChunk();
        if (r <= 0) return r;
    }
    int32_t want = static_cast<int32_t>(std::min<int64_t>(count, _left));
    int32_t n = _in.Read(_source, buf, want);
    if (n <= 0) return Fail(false);
    _left -= n;
    return n;
}

}  // namespace http
