#include "http/HttpForm.h"

#include "http/HttpFormField.h"
#include "http/HttpStreamField.h"
#include "platform/kernel/Strings.h"

using pictavo::platform::equalsNoCase;

const char16_t HttpForm::kBoundary[] = u"---------------------------7da1d41060a1a";

HttpForm::HttpForm()
    : m_boundary(kBoundary), m_encoding(u"UTF-8"), m_narrowBoundary(m_boundary.begin(), m_boundary.end())
{}

HttpForm::~HttpForm() = default;

void HttpForm::AddTextField(const std::u16string& name, const std::u16string& value)
{
    auto field = std::make_unique<HttpFormField>(this);
    field->SetName(name);
    field->SetValue(value);
    m_fields.push_back(std::move(field));
}

void HttpForm::AddNumberField(const std::u16string& name, uint32_t value)
{
    const std::string digits = std::to_string(value);
    AddTextField(name, std::u16string(digits.begin(), digits.end()));
}

void HttpForm::AddStreamField(uint32_t size, const std::u16string& fileName, const std::u16string& fieldName)
{
    m_fields.push_back(std::make_unique<HttpStreamField>(this, size, fileName, fieldName));
}

void HttpForm::RemoveAllFields()
{
    m_fields.clear();
}

void HttpForm::SetEncoding(const std::u16string& encoding)
{
    m_encoding = encoding;
}

bool HttpForm::IsUtf8() const
{
    return equalsNoCase(m_encoding, u"UTF-8");
}

bool HttpForm::IsGb2312() const
{
    return equalsNoCase(m_encoding, u"GB2312");
}

std::u16string HttpForm::RenderHead()
{
    std::u16string head;
    for (const auto& field : m_fields)
        head += field->GetText();
    return head;
}

std::u16string HttpForm::RenderTail()
{
    return u"--" + m_boundary + u"--\r\n";
}

int HttpForm::GetTotalLength()
{
    int64_t total = static_cast<int64_t>(RenderTail().size());
    for (const auto& field : m_fields)
        total += field->GetLength();
    return static_cast<int>(total);
}
