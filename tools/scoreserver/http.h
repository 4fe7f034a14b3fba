// http.h — the score server's view of HTTP/1.0: the one request a game sends
// per connection, cut into its route and query, and the replies it gets.
//
// The game writes its request line with a slash of its own in front of the
// path ("GET //enscore/..."), separates lines with LF alone and uses two
// spellings of the query keys; all of that is accepted. Nothing is
// percent-decoded: payloads are upper-case hex and the paths are fixed.
#pragma once

#include <cstdint>
#include <string>

namespace scoreserver {

// Upper bound of a request's line and headers together, in bytes.
constexpr size_t MaxRequestBytes = 8192;

enum class Route {
    Bad,       // not a GET request line, or no HTTP version
    NotFound,  // any path but the three below
    Login,     // /enscore/login.php
    Score,     // /enscore/scores.php
    Table,     // /enscore/tables/<week>/<TableId>.txt
};

struct Request {
    Route route = Route::Bad;
    std::string path;   // without the query, for the log
    std::string week;   // the query's week (either spelling), or the table's folder
    std::string input;  // the query's payload (either spelling)
    int64_t tableId = 0;
};

// Length of the head (request line and headers, up to and including the
// blank line that ends it) at the start of `data`, or 0 while it is not
// complete. A blank line is LF LF or CR LF CR LF.
size_t HeadLength(const std::string& data);

// Cuts the head of a request into a Request. Never fails: what it cannot use
// becomes Route::Bad or Route::NotFound.
Request ParseRequest(const std::string& head);

// A whole HTTP/1.0 reply with the connection closed after it.
std::string Reply(int status, const std::string& body,
                  const std::string& type = "text/plain; charset=ISO-8859-1");
// The small HTML page of a missing table; its text holds "<HEAD>", which is
// how the game recognises a table that does not exist yet.
std::string NotFoundPage();

// `text` cut to `limit` bytes with bytes outside 33..126 shown as "?", so a
// hostile path cannot forge or break log lines.
std::string LogSafe(const std::string& text, size_t limit = 120);

}  // namespace scoreserver
