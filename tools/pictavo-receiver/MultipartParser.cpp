#include "MultipartParser.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>

namespace {

std::string trim(const std::string& s)
{
    size_t a = 0;
    size_t b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t'))
        --b;
    return s.substr(a, b - a);
}

// Parameters of a header value: key=value or key="value"; ';' inside quotes belongs to the value.
// Values are taken literally between the quotes, as the senders of this form write them.
template <class F> void forEachParameter(const std::string& value, F f)
{
    size_t i = value.find(';');
    while (i != std::string::npos && i < value.size()) {
        ++i;
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        const size_t eq = value.find('=', i);
        const size_t semi = value.find(';', i);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            i = semi;
            continue;
        }
        std::string key = trim(value.substr(i, eq - i));
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t j = eq + 1;
        std::string v;
        if (j < value.size() && value[j] == '"') {
            const size_t close = value.find('"', j + 1);
            const size_t end = close == std::string::npos ? value.size() : close;
            v = value.substr(j + 1, end - j - 1);
            j = close == std::string::npos ? value.size() : value.find(';', close);
        } else {
            const size_t end = semi == std::string::npos ? value.size() : semi;
            v = trim(value.substr(j, end - j));
            j = semi;
        }
        f(key, v);
        i = j;
    }
}

} // namespace

MultipartParser::MultipartParser(std::string boundary, Handler& handler)
    : m_delimiter("\r\n--" + boundary), m_handler(handler)
{
    // The first delimiter may open the body without a preceding line end.
    m_buffer = "\r\n";
}

std::string MultipartParser::boundaryOf(const std::string& contentType)
{
    std::string boundary;
    forEachParameter(contentType, [&](const std::string& key, const std::string& value) {
        if (key == "boundary")
            boundary = value;
    });
    if (boundary.size() > 200)
        return {};
    return boundary;
}

bool MultipartParser::fail()
{
    m_state = State::Failed;
    m_buffer.clear();
    return false;
}

bool MultipartParser::parseHeaders(const std::string& block)
{
    Part part;
    bool disposition = false;
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find("\r\n", start);
        if (end == std::string::npos)
            end = block.size();
        const std::string line = block.substr(start, end - start);
        start = end + 2;
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            return false;
        const std::string name = trim(line.substr(0, colon));
        const std::string value = trim(line.substr(colon + 1));
        if (strcasecmp(name.c_str(), "Content-Disposition") == 0) {
            if (strncasecmp(value.c_str(), "form-data", 9) != 0)
                return false;
            disposition = true;
            forEachParameter(value, [&](const std::string& key, const std::string& v) {
                if (key == "name") {
                    part.name = v;
                } else if (key == "filename") {
                    part.filename = v;
                    part.hasFilename = true;
                }
            });
        } else if (strcasecmp(name.c_str(), "Content-Type") == 0) {
            part.contentType = value;
        }
    }
    if (!disposition)
        return false;
    m_handler.onPartBegin(part);
    return true;
}

bool MultipartParser::feed(const char* data, size_t size)
{
    if (m_state == State::Failed)
        return false;
    if (m_state == State::Done)
        return true;
    m_buffer.append(data, size);
    for (;;) {
        switch (m_state) {
        case State::Preamble: {
            const size_t at = m_buffer.find(m_delimiter);
            if (at == std::string::npos) {
                // Keep only what could still start a delimiter.
                if (m_buffer.size() > m_delimiter.size())
                    m_buffer.erase(0, m_buffer.size() - m_delimiter.size());
                return true;
            }
            m_buffer.erase(0, at + m_delimiter.size());
            m_state = State::AfterDelimiter;
            break;
        }
        case State::AfterDelimiter: {
            if (m_buffer.size() < 2)
                return true;
            if (m_buffer.compare(0, 2, "--") == 0) {
                m_state = State::Done;
                m_buffer.clear();
                return true;
            }
            // Transport padding may follow a delimiter before its line end.
            const size_t eol = m_buffer.find("\r\n");
            if (eol == std::string::npos) {
                if (m_buffer.size() > 256)
                    return fail();
                return true;
            }
            if (m_buffer.find_first_not_of(" \t", 0) < eol)
                return fail();
            m_buffer.erase(0, eol + 2);
            m_state = State::Headers;
            break;
        }
        case State::Headers: {
            size_t end = std::string::npos;
            if (m_buffer.compare(0, 2, "\r\n") == 0)
                end = 0;
            else
                end = m_buffer.find("\r\n\r\n");
            if (end == std::string::npos) {
                if (m_buffer.size() > kHeaderLimit)
                    return fail();
                return true;
            }
            if (end > kHeaderLimit || !parseHeaders(m_buffer.substr(0, end)))
                return fail();
            m_buffer.erase(0, end == 0 ? 2 : end + 4);
            m_state = State::Body;
            break;
        }
        case State::Body: {
            const size_t at = m_buffer.find(m_delimiter);
            if (at == std::string::npos) {
                if (m_buffer.size() >= m_delimiter.size()) {
                    const size_t safe = m_buffer.size() - (m_delimiter.size() - 1);
                    if (!m_handler.onPartData(m_buffer.data(), safe))
                        return fail();
                    m_buffer.erase(0, safe);
                }
                return true;
            }
            if (at > 0 && !m_handler.onPartData(m_buffer.data(), at))
                return fail();
            m_handler.onPartEnd();
            m_buffer.erase(0, at + m_delimiter.size());
            m_state = State::AfterDelimiter;
            break;
        }
        case State::Done:
            return true;
        case State::Failed:
            return false;
        }
    }
}
