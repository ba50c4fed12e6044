#include "platform/com/RegistryFile.h"
#include "platform/com/RegistryNode.h"

#include <cstdint>
#include <string>

using pictavo::platform::RegistryFile;
using pictavo::platform::RegistryNode;

// A file that parses must format back to text that parses to the same text again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryNode root;
    std::string error;
    if (!RegistryFile::parse(text, root, error))
        return 0;
    const std::string once = RegistryFile::format(root);
    RegistryNode again;
    if (!RegistryFile::parse(once, again, error))
        __builtin_trap();
    if (RegistryFile::format(again) != once)
        __builtin_trap();
    return 0;
}
