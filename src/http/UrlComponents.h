#pragma once

#include <cstdint>
#include <string>

// An upload URL split the way the poster connects to it. Query, fragment, user name and
// password are dropped.
struct UrlComponents
{
    std::u16string host;
    std::u16string path;
    uint16_t port = 0;
    bool secure = false;

    // Buffer sizes of the client, terminator included: longer hosts and paths do not split.
    static constexpr size_t kHostBuffer = 256;
    static constexpr size_t kPathBuffer = 2048;

    // False, with host and path empty, when the URL cannot be split or is neither http nor https.
    bool Split(const std::u16string& url);
};
