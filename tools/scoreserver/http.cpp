// http.cpp — request heads in, HTTP/1.0 replies out.
#include "tools/scoreserver/http.h"

namespace scoreserver {

namespace {

bool AllDigits(const std::string& s, size_t maxLength) {
    if (s.empty() || s.size() > maxLength) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

const char* StatusText(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 429: return "Too Many Requests";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Error";
    }
}

// "<week>/<digits>.txt" after "/enscore/tables/": both parts digits only, so
// no other file name (and no "..") can be asked for.
bool ParseTablePath(const std::string& rest, Request& r) {
    const size_t slash = rest.find('/');
    if (slash == std::string::npos) return false;
    const std::string week = rest.substr(0, slash);
    std::string file = rest.substr(slash + 1);
    if (file.size() < 5 || file.compare(file.size() - 4, 4, ".txt") != 0) return false;
    file.resize(file.size() - 4);
    // 18 digits always fit in 64 bits.
    if (!AllDigits(week, 9) || !AllDigits(file, 18)) return false;
    r.week = week;
    r.tableId = std::stoll(file);
    return true;
}

}  // namespace

size_t HeadLength(const std::string& data) {
    const size_t lf = data.find("\n\n");
    const size_t crlf = data.find("\r\n\r\n");
    size_t end = std::string::npos;
    if (lf != std::string::npos) end = lf + 2;
    if (crlf != std::string::npos && (end == std::string::npos || crlf + 4 < end)) end = crlf + 4;
    return end == std::string::npos ? 0 : end;
}

Request ParseRequest(const std::string& head) {
    Request r;
    std::string line = head.substr(0, head.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();

    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string::npos) return r;
    const std::string method = line.substr(0, sp1);
    std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string version = line.substr(sp2 + 1);
    if (method != "GET" || version.rfind("HTTP/1.", 0) != 0 || target.empty() || target[0] != '/')
        return r;

    // The game puts a slash of its own before the path: "//enscore/...".
    if (target.rfind("//", 0) == 0) target.erase(0, 1);
    const size_t q = target.find('?');
    r.path = target.substr(0, q);
    const std::string query = q == std::string::npos ? "" : target.substr(q + 1);
    r.route = Route::NotFound;

    const std::string tables = "/enscore/tables/";
    if (r.path == "/enscore/login.php") {
        r.route = Route::Login;
    } else if (r.path == "/enscore/scores.php") {
        r.route = Route::Score;
    } else if (r.path.rfind(tables, 0) == 0 && query.empty()) {
        if (ParseTablePath(r.path.substr(tables.size()), r)) r.route = Route::Table;
        return r;
    } else {
        return r;
    }

    // Login sends "week"/"input", scores "Week"/"Input"; either is taken on
    // either script. A key given twice keeps its first value.
    bool haveWeek = false, haveInput = false;
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        if (amp == std::string::npos) amp = query.size();
        const std::string pair = query.substr(pos, amp - pos);
        const size_t eq = pair.find('=');
        if (eq != std::string::npos) {
            const std::string key = pair.substr(0, eq);
            if ((key == "week" || key == "Week") && !haveWeek) {
                r.week = pair.substr(eq + 1);
                haveWeek = true;
            } else if ((key == "input" || key == "Input") && !haveInput) {
                r.input = pair.substr(eq + 1);
                haveInput = true;
            }
        }
        pos = amp + 1;
    }
    return r;
}

std::string Reply(int status, const std::string& body, const std::string& type) {
    return "HTTP/1.0 " + std::to_string(status) + " " + StatusText(status) +
           "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string NotFoundPage() {
    // One line: the game reads the body only up to the next blank line.
    return "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD><BODY><H1>Not Found</H1>"
           "<P>No such table.</P></BODY></HTML>\n";
}

std::string LogSafe(const std::string& text, size_t limit) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c >= 33 && c <= 126) ? static_cast<char>(c) : '?';
    }
    if (text.size() > limit) out += "...";
    return out;
}

}  // namespace scoreserver
