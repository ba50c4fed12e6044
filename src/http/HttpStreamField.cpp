#include "http/HttpStreamField.h"

#include "http/HttpEncoding.h"
#include "http/HttpForm.h"
#include "platform/kernel/Strings.h"

using pictavo::platform::equalsNoCase;

HttpStreamField::HttpStreamField(HttpForm* form, uint32_t size, const std::u16string& fileName,
                                 const std::u16string& fieldName)
    : HttpField(form), m_size(size), m_fieldName(fieldName)
{
    m_name = fileName;
    m_value = fileName;
}

std::u16string HttpStreamField::ContentTypeLine(const std::u16string& fileName)
{
    const size_t dot = fileName.rfind(u'.');
    if (dot == std::u16string::npos)
        return {};
    const std::u16string_view ext = std::u16string_view(fileName).substr(dot + 1);
    static const struct
    {
        const char16_t* ext;
        const char16_t* type;
    } table[] = {
        {u"txt", u"text/plain"},    {u"bmp", u"image/bmp"},   {u"gif", u"image/gif"},
        {u"png", u"image/x-png"},   {u"jpg", u"image/pjpeg"}, {u"tif", u"image/tiff"},
        {u"icon", u"image/x-icon"},
    };
    for (const auto& row : table) {
        if (equalsNoCase(ext, row.ext))
            return u"Content-Type: " + std::u16string(row.type) + u"\r\n";
    }
    return u"Content-Type: application/octet-stream\r\n";
}

std::u16string HttpStreamField::WrittenFileName() const
{
    if (m_form->IsUtf8()) {
        const std::string encoded = PercentEncode(pictavo::platform::toUtf8(m_value));
        return std::u16string(encoded.begin(), encoded.end());
    }
    if (!m_form->IsGb2312())
        return {};
    return EscapeQuotedValue(m_value);
}

std::u16string HttpStreamField::GetText()
{
    return GetBoundaryLine() + u"Content-Disposition: form-data; name=\"" + EscapeQuotedValue(m_fieldName) +
           u"\"; filename=\"" + WrittenFileName() + u"\"\r\n" + ContentTypeLine(m_value) +
           u"Content-Transfer-Encoding: binary\r\n\r\n";
}

int HttpStreamField::GetLength()
{
    return HttpField::GetLength() + static_cast<int>(m_size) + 2;
}
