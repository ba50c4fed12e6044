#pragma once

#include <cstddef>
#include <string>

// A streaming multipart/form-data parser: parts and their data are reported as bytes arrive,
// so a file part is never held in memory whole.
class MultipartParser
{
public:
    struct Part
    {
        std::string name;
        std::string filename;
        bool hasFilename = false;
        std::string contentType;
    };
    class Handler
    {
    public:
        virtual void onPartBegin(const Part& part) = 0;
        // False stops the parse (the handler refuses the data).
        virtual bool onPartData(const char* data, size_t size) = 0;
        virtual void onPartEnd() = 0;

    protected:
        ~Handler() = default;
    };

    static constexpr size_t kHeaderLimit = 16 * 1024;

    MultipartParser(std::string boundary, Handler& handler);

    // False once the input is malformed; later input is then ignored.
    bool feed(const char* data, size_t size);
    // True when the closing delimiter was seen and nothing went wrong.
    bool finished() const { return m_state == State::Done; }
    bool failed() const { return m_state == State::Failed; }

    // The boundary parameter of a Content-Type value, or empty.
    static std::string boundaryOf(const std::string& contentType);

private:
    enum class State
    {
        Preamble,
        AfterDelimiter,
        Headers,
        Body,
        Done,
        Failed
    };

    bool parseHeaders(const std::string& block);
    bool fail();

    std::string m_delimiter; // CRLF "--" boundary
    Handler& m_handler;
    State m_state = State::Preamble;
    std::string m_buffer;
};
