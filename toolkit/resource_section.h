// The module's image resources, found by type and numeric id as if they came
// from a resource section. The images are compiled into the module.
#pragma once

#include <cstddef>
#include <cstdint>

enum class ResourceType { png, bitmap };

struct ResourceBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
    explicit operator bool() const { return data != nullptr && size > 0; }
};

class ResourceSection {
public:
    virtual ~ResourceSection() = default;
    virtual ResourceBytes find(ResourceType type, long id) const = 0;
};

// The images built into the module.
const ResourceSection& embeddedResources();
// What CBitmap loads from: the embedded images unless a test put others in place.
const ResourceSection& currentResources();
// Replaces the resources CBitmap loads from; null restores the embedded ones.
void setResourceSection(const ResourceSection* section);
