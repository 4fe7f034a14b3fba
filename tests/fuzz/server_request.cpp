// The score server's request reader: any bytes from a client give a head
// length within the data, a request that is parsed or refused, and log text
// that cannot break a log line.
#include <string>

#include "tests/fuzz/fuzz.h"
#include "tools/scoreserver/http.h"

using namespace scoreserver;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WriteSeedsIfAsked(
        {{"login", "GET //enscore/login.php?wk=283&in=0A1B2C HTTP/1.0\nHost: x\n\n"},
         {"score", "GET /enscore/scores.php?week=283&input=FF00 HTTP/1.0\r\n\r\n"},
         {"table", "GET //enscore/tables/283/1021.txt HTTP/1.0\n\n"},
         {"bad", "POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello"}});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t head = HeadLength(bytes);
    FUZZ_CHECK(head <= bytes.size());
    const Request request = ParseRequest(bytes.substr(0, head ? head : bytes.size()));
    const std::string shown = LogSafe(request.path);
    FUZZ_CHECK(shown.size() <= 123);  // 120 and "..."
    for (char c : shown) FUZZ_CHECK(c >= 33 && c <= 126);
    return 0;
}
