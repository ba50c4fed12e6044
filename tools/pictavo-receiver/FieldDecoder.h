#pragma once

#include <string>

// Undoes the uploader's encodings. Results are UTF-8.
namespace FieldDecoder {

enum class Encoding
{
    Utf8,
    Gb2312
};

// Standard base64; false on any other character or bad padding.
bool base64Decode(const std::string& text, std::string& out);

// A text value: under UTF-8 every value is base64 of local-code-page bytes; under GB2312
// only values that were not plain ASCII are. A plain value that happens to read as base64
// of non-ASCII local text cannot be told apart from an encoded one; the encoded reading wins.
std::string textValue(const std::string& raw, Encoding encoding);

// A file name: percent-encoded UTF-8, or local-code-page bytes with %22, %0D and %0A escapes.
std::string fileName(const std::string& raw, Encoding encoding);

// A name that is safe as one entry inside the storage folder.
std::string safeName(const std::string& name);

} // namespace FieldDecoder
