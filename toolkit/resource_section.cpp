#include "toolkit/resource_section.h"

#include "toolkit/embedded_resources.h"

namespace {

class EmbeddedSection : public ResourceSection {
public:
    ResourceBytes find(ResourceType type, long id) const override
    {
        for (size_t i = 0; i < kEmbeddedResourceCount; ++i) {
            const EmbeddedResource& entry = kEmbeddedResources[i];
            if (entry.type == type && entry.id == id)
                return ResourceBytes {entry.data, entry.size};
        }
        return {};
    }
};

const ResourceSection* replacement = nullptr;

} // namespace

const ResourceSection& embeddedResources()
{
    static const EmbeddedSection section;
    return section;
}

const ResourceSection& currentResources()
{
    return replacement ? *replacement : embeddedResources();
}

void setResourceSection(const ResourceSection* section) { replacement = section; }
