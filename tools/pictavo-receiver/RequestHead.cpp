#include "RequestHead.h"

#include <strings.h>

bool RequestHead::parse(const std::string& block)
{
    headers.clear();
    size_t eol = block.find("\r\n");
    const std::string line = block.substr(0, eol);
    const size_t a = line.find(' ');
    const size_t b = line.rfind(' ');
    if (a == std::string::npos || b == a)
        return false;
    method = line.substr(0, a);
    path = line.substr(a + 1, b - a - 1);
    version = line.substr(b + 1);
    if (method.empty() || path.empty() || version.rfind("HTTP/1.", 0) != 0)
        return false;
    while (eol != std::string::npos && eol + 2 <= block.size()) {
        const size_t start = eol + 2;
        eol = block.find("\r\n", start);
        const std::string h = block.substr(start, eol == std::string::npos ? std::string::npos : eol - start);
        if (h.empty())
            continue;
        const size_t colon = h.find(':');
        if (colon == std::string::npos || colon == 0)
            return false;
        size_t v = colon + 1;
        while (v < h.size() && (h[v] == ' ' || h[v] == '\t'))
            ++v;
        size_t end = h.size();
        while (end > v && (h[end - 1] == ' ' || h[end - 1] == '\t'))
            --end;
        headers.emplace_back(h.substr(0, colon), h.substr(v, end - v));
    }
    return true;
}

std::string RequestHead::header(const std::string& name) const
{
    for (const auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    }
    return {};
}

int64_t RequestHead::contentLength() const
{
    const std::string v = header("Content-Length");
    if (v.empty() || v.size() > 15)
        return -1;
    int64_t n = 0;
    for (const char c : v) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

bool RequestHead::keepAlive() const
{
    const std::string c = header("Connection");
    if (version == "HTTP/1.0")
        return strcasecmp(c.c_str(), "keep-alive") == 0;
    return strcasecmp(c.c_str(), "close") != 0;
}
