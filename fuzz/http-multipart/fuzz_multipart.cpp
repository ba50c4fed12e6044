// The receiver's parsers: request heads, multipart bodies fed in arbitrary pieces, field decoding.

#include "FieldDecoder.h"
#include "MultipartParser.h"
#include "RequestHead.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class Checker : public MultipartParser::Handler
{
public:
    void onPartBegin(const MultipartParser::Part& part) override
    {
        if (m_open)
            std::abort();
        m_open = true;
        FieldDecoder::fileName(part.filename, FieldDecoder::Encoding::Utf8);
        const std::string name =
            FieldDecoder::safeName(FieldDecoder::fileName(part.filename, FieldDecoder::Encoding::Gb2312));
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
            std::abort();
    }
    bool onPartData(const char* data, size_t size) override
    {
        if (!m_open)
            std::abort();
        m_bytes += size;
        m_value.append(data, std::min<size_t>(size, 256));
        return true;
    }
    void onPartEnd() override
    {
        if (!m_open)
            std::abort();
        m_open = false;
        FieldDecoder::textValue(m_value.substr(0, 256), FieldDecoder::Encoding::Gb2312);
        FieldDecoder::textValue(m_value.substr(0, 256), FieldDecoder::Encoding::Utf8);
        m_value.clear();
    }
    size_t m_bytes = 0;

private:
    bool m_open = false;
    std::string m_value;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t piece = data[0] % 64 + 1;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    RequestHead head;
    const size_t end = input.find("\r\n\r\n");
    if (head.parse(input.substr(0, end)))
        head.contentLength(), head.keepAlive();

    Checker checker;
    MultipartParser parser(
        MultipartParser::boundaryOf("multipart/form-data; boundary=---------------------------7da1d41060a1a"),
        checker);
    for (size_t at = 0; at < input.size(); at += piece)
        parser.feed(input.data() + at, std::min(piece, input.size() - at));
    if (checker.m_bytes > input.size())
        std::abort();
    return 0;
}
