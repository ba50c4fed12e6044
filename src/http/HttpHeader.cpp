#include "http/HttpHeader.h"

#include "http/HttpForm.h"

HttpHeader::HttpHeader() : m_boundary(HttpForm::kBoundary) {}

std::u16string HttpHeader::Render() const
{
    return u"Accept: "
           u"application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
           u"Content-Type:multipart/form-data;boundary=" +
           m_boundary +
           u"\r\n"
           u"Accept-Language: zh-cn\r\n"
           u"User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"
           u"Cache-Control: no-cache\r\n"
           u"Connection: Keep-Alive\r\n";
}
