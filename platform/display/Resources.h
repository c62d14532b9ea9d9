// Resources embedded in a program at build time (embed_resources() in EmbedResources.cmake),
// found by type and id through the module's handle. Look-ups that fail return null or nullopt
// and set lastError(): 1813 no resource of that type, 1814 none with that id.
#pragma once

#include "platform/display/DisplayTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct ResourceEntry {
    const char16_t* type; // "PNG", or kStringResourceType
    uint32_t id;
    const unsigned char* data;
    uint32_t size;
};

// One module's table, as the generated source defines it.
struct ModuleResources {
    const char* name;
    bool isProgram; // the running program's own resources
    const ResourceEntry* entries;
    size_t count;
};

// The generated source makes one of these at load time for its module.
class ResourceRegistration {
public:
    explicit ResourceRegistration(const ModuleResources& module);
};

inline constexpr std::u16string_view kStringResourceType = u"STRING";

using ResourceHandle = const ResourceEntry*;

// The handle of the module with that name; an empty name means the running program's own
// (the instance handle its entry receives). Null (last error 2) when there is none.
ModuleHandle moduleHandle(std::string_view name = {});
// The running program's own module: the instance handle its entry hands to InstallerSplash.
inline ModuleHandle currentModule() { return moduleHandle(); }

// Types compare ignoring ASCII case.
ResourceHandle findResource(ModuleHandle module, std::u16string_view type, uint32_t id);
// 0 (last error 6) for a null handle.
uint32_t sizeofResource(ModuleHandle module, ResourceHandle resource);
// The resource's bytes, owned by the module for the life of the process.
const void* loadResource(ModuleHandle module, ResourceHandle resource);
// A string resource (stored as UTF-8, handed out as UTF-16).
std::optional<std::u16string> loadString(ModuleHandle module, uint32_t id);

} // namespace platform
