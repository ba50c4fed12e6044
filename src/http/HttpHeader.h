#pragma once

#include <string>

// The request header block sent with every upload.
class HttpHeader
{
public:
    HttpHeader();
    virtual ~HttpHeader() = default;

    std::u16string Render() const;

private:
    std::u16string m_boundary;
};
