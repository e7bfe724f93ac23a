// The table of images compiled into the module, generated at build time from
// the program in resources/.
#pragma once

#include "toolkit/resource_section.h"

#include <cstddef>
#include <cstdint>

struct EmbeddedResource {
    ResourceType type;
    long id;
    const uint8_t* data;
    size_t size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const size_t kEmbeddedResourceCount;
