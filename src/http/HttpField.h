#pragma once

#include <string>

class HttpForm;

// One part of a multipart/form-data body. Lengths are bytes in the local code page.
class HttpField
{
public:
    explicit HttpField(HttpForm* form);
    virtual ~HttpField() = default;
    HttpField(const HttpField&) = delete;
    HttpField& operator=(const HttpField&) = delete;

    virtual void SetName(const std::u16string& name);
    virtual void SetValue(const std::u16string& value);
    virtual std::string GetNarrowText();
    virtual int GetNarrowLength();
    virtual std::u16string GetText();
    virtual std::u16string GetBoundaryLine();
    virtual int GetLength();

    const std::u16string& GetName() const { return m_name; }
    const std::u16string& GetValue() const { return m_value; }

protected:
    std::u16string m_name;
    std::u16string m_value;
    HttpForm* m_form;
};
