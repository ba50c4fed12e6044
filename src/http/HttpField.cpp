#include "http/HttpField.h"

#include "http/HttpForm.h"
#include "platform/kernel/Strings.h"

HttpField::HttpField(HttpForm* form) : m_form(form) {}

void HttpField::SetName(const std::u16string& name)
{
    m_name = name;
}

void HttpField::SetValue(const std::u16string& value)
{
    m_value = value;
}

std::string HttpField::GetNarrowText()
{
    return {};
}

int HttpField::GetNarrowLength()
{
    return static_cast<int>(GetNarrowText().size());
}

std::u16string HttpField::GetText()
{
    return {};
}

std::u16string HttpField::GetBoundaryLine()
{
    return u"--" + m_form->GetBoundary() + u"\r\n";
}

int HttpField::GetLength()
{
    // The same conversion the poster applies to the head, so the declared length is exact.
    return static_cast<int>(pictavo::platform::toLocalCodePage(GetText()).size());
}
