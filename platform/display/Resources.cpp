#include "platform/display/Resources.h"

#include "platform/Error.h"
#include "platform/Text.h"

#include <mutex>
#include <vector>

namespace platform {

namespace {

// Registrations happen during static initialisation, in any order with other statics, so the
// list is a function-local static.
struct Registry {
    std::mutex lock;
    std::vector<const ModuleResources*> modules; // Guarded by lock.
};

Registry& registry()
{
    static Registry* instance = new Registry;
    return *instance;
}

bool sameType(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

} // namespace

ResourceRegistration::ResourceRegistration(const ModuleResources& module)
{
    Registry& r = registry();
    std::lock_guard lock(r.lock);
    r.modules.push_back(&module);
}

ModuleHandle moduleHandle(std::string_view name)
{
    Registry& r = registry();
    std::lock_guard lock(r.lock);
    for (const ModuleResources* module : r.modules)
        if (name.empty() ? module->isProgram : name == module->name)
            return module;
    setLastError(kErrorFileNotFound);
    return nullptr;
}

ResourceHandle findResource(ModuleHandle module, std::u16string_view type, uint32_t id)
{
    if (!module) {
        setLastError(kErrorInvalidHandle);
        return nullptr;
    }
    bool typeSeen = false;
    for (size_t i = 0; i < module->count; ++i) {
        const ResourceEntry& entry = module->entries[i];
        if (!sameType(entry.type, type))
            continue;
        typeSeen = true;
        if (entry.id == id)
            return &entry;
    }
    setLastError(typeSeen ? kErrorResourceNameNotFound : kErrorResourceTypeNotFound);
    return nullptr;
}

uint32_t sizeofResource(ModuleHandle module, ResourceHandle resource)
{
    if (!module || !resource) {
        setLastError(kErrorInvalidHandle);
        return 0;
    }
    return resource->size;
}

const void* loadResource(ModuleHandle module, ResourceHandle resource)
{
    if (!module || !resource) {
        setLastError(kErrorInvalidHandle);
        return nullptr;
    }
    if (!resource->data) {
        setLastError(kErrorResourceDataNotFound);
        return nullptr;
    }
    return resource->data;
}

std::optional<std::u16string> loadString(ModuleHandle module, uint32_t id)
{
    ResourceHandle resource = findResource(module, kStringResourceType, id);
    if (!resource)
        return std::nullopt;
    return wideFromUtf8(std::string_view(reinterpret_cast<const char*>(resource->data), resource->size));
}

} // namespace platform
