// http.cpp — the HTTP/1.0 client over the platform's TCP sockets.
//
// The request is one text whose lines are separated by a single LF and which
// is written the way a text stream writes a line, so CR LF follows the blank
// line. The reply is read until the server closes the connection, within a
// time bound and a size bound.
#include "scores/http.h"

#include <algorithm>
#include <chrono>

#include "framework/setup.h"

int HttpConnectMs = 2000;
int HttpReplyMs = 3000;

namespace {

using SteadyClock = std::chrono::steady_clock;

int MsLeft(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void LogFailure(const std::string& reason) { LogLine("\tOnline request failed: " + reason); }

// "name" or "name:port"; false when the port is not a number in 1..65535.
bool SplitHostPort(const std::string& text, std::string& name, int& port) {
    const size_t colon = text.rfind(':');
    name = text;
    port = HttpPort;
    if (colon == std::string::npos) return true;
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    port = std::stoi(digits);
    name = text.substr(0, colon);
    return port >= 1 && port <= 65535;
}

const char HexDigits[] = "0123456789ABCDEF";

}  // namespace

std::string HttpReplyText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        if (c == '\r') continue;
        text += c == '\0' ? '\n' : c;
    }
    // Each line was taken with its LF added back; the last LF is not returned.
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

int Thttp::Open(const std::string& hostAndPort, int autoCloseAfter) {
    std::string name;
    int port = HttpPort;
    Socket connection;
    if (SplitHostPort(hostAndPort, name, port)) connection = ConnectSocket(name, port, connectMs);
    if (!connection) {
        LogFailure("could not connect to " + hostAndPort);
        return 0;
    }
    sock = connection;
    // The Host header carries the port only where it is not the default.
    host = port == HttpPort ? name : name + ":" + std::to_string(port);
    stream = std::make_shared<SocketStream>();
    stream->sock = sock;
    autoClose = autoCloseAfter;
    return 1;
}

std::string Thttp::Request(const std::string& text) {
    if (!sock || !stream) return {};
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(replyMs);
    // Written as one text line: the text, then CR LF.
    const std::string bytes = text + "\r\n";
    if (SocketSend(sock, bytes) != static_cast<int>(bytes.size())) {
        LogFailure("could not send the request to " + host);
        if (autoClose == 1) Close();
        return {};
    }

    std::string& received = stream->pending;
    received.clear();
    bool complete = false, cut = false;
    while (true) {
        const int left = MsLeft(deadline);
        if (left == 0) break;
        // One byte more than the cap tells a reply of exactly the cap apart.
        const size_t room = maxReply + 1 - received.size();
        const std::string chunk =
            SocketRecv(sock, static_cast<int>(std::min<size_t>(room, 65536)), left);
        if (!chunk.empty()) {
            received += chunk;
            if (received.size() > maxReply) {
                received.resize(maxReply);
                cut = true;
                break;
            }
            continue;
        }
        if (!SocketConnected(sock)) {
            complete = true;  // the server closed: the reply is whole
            break;
        }
    }

    std::string reply;
    if (cut) {
        LogFailure("the reply from " + host + " was larger than " + std::to_string(maxReply) +
                   " bytes; the rest was dropped");
        reply = HttpReplyText(received);
    } else if (!complete) {
        LogFailure("no complete reply from " + host + " within " + std::to_string(replyMs) +
                   " ms");
    } else if (received.empty()) {
        LogFailure(host + " closed the connection without a reply");
    } else {
        reply = HttpReplyText(received);
    }
    received.clear();
    received.shrink_to_fit();
    if (autoClose == 1) Close();
    return reply;
}

std::string Thttp::Get(const std::string& url) {
    return Request("GET /" + url + " HTTP/1.0\nHost: " + host + "\nUser-Agent: " + agent + "\n\n");
}

std::string Thttp::Post(const std::string& url, const std::vector<std::string>& names,
                        const std::vector<std::string>& values) {
    std::string body;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string value = i < values.size() ? values[i] : std::string();
        body += UrlEncode(names[i]) + "=" + UrlEncode(value) + "&";
    }
    if (!body.empty()) body.pop_back();
    return Request("POST /" + url + " HTTP/1.0\nHost: " + host + "\nUser-Agent: " + agent +
                   "\nContent-Length: " + std::to_string(body.size()) +
                   "\nContent-Type: application/x-www-form-urlencoded\n\n" + body);
}

void Thttp::Close() {
    if (stream) {
        if (stream->closeSocket && stream->sock) CloseSocket(stream->sock);
        stream.reset();
    }
    if (sock) {
        CloseSocket(sock);
        sock.reset();
    }
}

std::string Thttp::UrlEncode(const std::string& text) {
    std::string out;
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '+' || c == '-' || c == '.' || c == '_';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += HexDigits[c >> 4];
            out += HexDigits[c & 15];
        }
    }
    return out;
}

std::string Thttp::UrlDecode(const std::string& text) {
    const std::string digits = HexDigits;
    auto place = [&](char c) {
        const size_t at = digits.find(c);
        return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 2 >= text.size()) {  // not "%", or too near the end
            out += text[i];
            continue;
        }
        const int code = 16 * place(text[i + 1]) + place(text[i + 2]) - 17;
        out += static_cast<char>(code & 255);
        i += 2;
    }
    return out;
}
