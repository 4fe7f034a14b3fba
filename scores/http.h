// http.h — the game's own small HTTP/1.0 client and its form encoding.
//
// One `Thttp` per request: Open, Get (or Post), Close. The request goes out in
// one piece; the whole reply, status line and headers included, comes back as
// text once the server closes the connection. Every wait is bounded and so is
// the reply's size, so a stalled or hostile server costs a frame at most a
// few seconds and a megabyte: a failed or timed-out request gives an empty
// reply, and the log says once what went wrong.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

// Bytes read from a connection, with the line reading of the text streams:
// lines end at LF or at a zero byte, CR bytes are dropped.
struct SocketStream {
    Socket sock;
    std::string pending;  // received, not yet taken
    bool closeSocket = true;  // closing the stream closes the socket
};
using SocketStreamRef = std::shared_ptr<SocketStream>;

constexpr int HttpPort = 80;                      // when the host names none
constexpr size_t HttpMaxReply = size_t(1) << 20;  // bytes; the rest is dropped
// Bounds a new Thttp takes (milliseconds); a few seconds in all.
extern int HttpConnectMs;  // = 2000: name look-up and connect
extern int HttpReplyMs;    // = 3000: sending plus the whole reply

class Thttp {
public:
    Socket sock;              // the connection, or none
    SocketStreamRef stream;   // over sock; closing it closes the socket
    std::string host;         // as given to Open, sent in the Host header
    std::string agent = "PalisadeThttp/1.0";
    int autoClose = 0;        // 1: Get and Post close after reading the reply

    // Bounds of this object's requests (milliseconds, bytes).
    int connectMs = HttpConnectMs;
    int replyMs = HttpReplyMs;
    size_t maxReply = HttpMaxReply;

    // host is "name" or "name:port" (port 80 when none is given). 1 when
    // connected, else 0 with a log line; host, stream and autoClose are then
    // left as they were.
    int Open(const std::string& hostAndPort, int autoClose);
    // The reply without its final LF; "" when not connected or when no
    // complete reply came within the bound.
    std::string Get(const std::string& url);
    // names and values pairwise (extra values are ignored), form-encoded.
    std::string Post(const std::string& url, const std::vector<std::string>& names,
                     const std::vector<std::string>& values);
    void Close();  // the stream, then the socket; safe when neither is open

    // 0-9, A-Z, a-z, "+", "-", ".", "_" as they are; anything else "%XX" of
    // the code's low 8 bits (upper-case hex).
    static std::string UrlEncode(const std::string& text);
    // "%XX" back to the character 16 × (a − 1) + (b − 1), a and b the digits'
    // 1-based places in "0123456789ABCDEF" (0 when not there, so lower-case
    // digits decode wrongly; a negative code keeps its low 8 bits). A "%"
    // with fewer than two characters after it is kept as it is.
    static std::string UrlDecode(const std::string& text);

private:
    std::string Request(const std::string& text);
};

// The raw bytes of a reply as Get returns them: CR dropped, a zero byte ends
// a line like LF, and one final LF removed.
std::string HttpReplyText(const std::string& bytes);
