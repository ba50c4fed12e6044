#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The request line and headers of one HTTP/1.x request.
struct RequestHead
{
    std::string method;
    std::string path;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;

    static constexpr size_t kLimit = 64 * 1024;

    // Parses a block up to, not including, the empty line. False when malformed.
    bool parse(const std::string& block);
    // First header of that name (any case), or empty.
    std::string header(const std::string& name) const;
    // -1 when absent or not a plain decimal number.
    int64_t contentLength() const;
    bool keepAlive() const;
};
