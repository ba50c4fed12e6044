#pragma once

#include "http/HttpField.h"

// A text part; its value is written base64 or plain by the form's encoding.
class HttpFormField : public HttpField
{
public:
    using HttpField::HttpField;

    std::string GetNarrowText() override;
    std::u16string GetText() override;
};
