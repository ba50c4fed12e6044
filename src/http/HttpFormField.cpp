#include "http/HttpFormField.h"

#include "http/HttpEncoding.h"
#include "http/HttpForm.h"
#include "platform/kernel/Strings.h"

#include <algorithm>

using pictavo::platform::toLocalCodePage;
using pictavo::platform::toUtf8;

std::string HttpFormField::GetNarrowText()
{
    std::string name;
    std::string value;
    if (m_form->IsUtf8()) {
        name = toUtf8(EscapeQuotedValue(m_name));
        value = PercentEncode(toUtf8(m_value));
    } else {
        name = PercentEncode(toLocalCodePage(m_name));
        value = PercentEncode(toLocalCodePage(m_value));
    }
    return "--" + m_form->GetNarrowBoundary() + "\r\nContent-Disposition: form-data; name=\"" + name +
           "\"\r\n\r\n" + value + "\r\n";
}

std::u16string HttpFormField::GetText()
{
    std::u16string written;
    if (!m_value.empty()) {
        const std::string bytes = toLocalCodePage(m_value);
        const bool plain = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
        if (m_form->IsUtf8() || !plain)
            written = Base64Encode(bytes);
        else
            written = m_value;
    }
    return u"--" + m_form->GetBoundary() + u"\r\nContent-Disposition: form-data; name=\"" +
           EscapeQuotedValue(m_name) + u"\"\r\n\r\n" + written + u"\r\n";
}
