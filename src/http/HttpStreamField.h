#pragma once

#include "http/HttpField.h"

#include <cstdint>

// The file part: a header written by the form, then the file's bytes streamed by the poster.
class HttpStreamField : public HttpField
{
public:
    // fieldName is the form-data name, fixed when the part is added so that the declared
    // length and the written header cannot disagree.
    HttpStreamField(HttpForm* form, uint32_t size, const std::u16string& fileName,
                    const std::u16string& fieldName);

    std::u16string GetText() override;
    int GetLength() override;

    uint32_t GetSize() const { return m_size; }
    const std::u16string& GetFieldName() const { return m_fieldName; }

    // "Content-Type: ...\r\n" for a file name, or empty when it has no extension.
    static std::u16string ContentTypeLine(const std::u16string& fileName);

private:
    std::u16string WrittenFileName() const;

    uint32_t m_size;
    std::u16string m_fieldName;
};
