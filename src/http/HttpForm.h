#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class HttpField;

// The parts of one multipart/form-data body: text parts, then the file part.
class HttpForm
{
public:
    HttpForm();
    virtual ~HttpForm();
    HttpForm(const HttpForm&) = delete;
    HttpForm& operator=(const HttpForm&) = delete;

    void AddTextField(const std::u16string& name, const std::u16string& value);
    void AddNumberField(const std::u16string& name, uint32_t value);
    void AddStreamField(uint32_t size, const std::u16string& fileName, const std::u16string& fieldName);
    void RemoveAllFields();

    void SetEncoding(const std::u16string& encoding);
    const std::u16string& GetEncoding() const { return m_encoding; }
    bool IsUtf8() const;
    bool IsGb2312() const;

    std::u16string RenderHead();
    std::u16string RenderTail();
    // Exactly the number of body bytes the poster writes.
    int GetTotalLength();

    const std::u16string& GetBoundary() const { return m_boundary; }
    const std::string& GetNarrowBoundary() const { return m_narrowBoundary; }
    size_t GetFieldCount() const { return m_fields.size(); }
    HttpField* GetField(size_t index) const { return m_fields[index].get(); }

    static const char16_t kBoundary[];

private:
    std::u16string m_boundary;
    std::u16string m_encoding;
    std::string m_narrowBoundary;
    std::vector<std::unique_ptr<HttpField>> m_fields;
};
