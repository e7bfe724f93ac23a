#include "editor/vst_file_type.h"

#include <cstddef>

namespace {

template <std::size_t N> void copyCut(char (&field)[N], const char* text)
{
    std::size_t length = 0;
    if (text)
        for (; length + 1 < N && text[length] != '\0'; ++length)
            field[length] = text[length];
    for (; length < N; ++length)
        field[length] = '\0';
}

} // namespace

VstFileType makeVstFileType(const char* name, const char* macType, const char* dosType,
    const char* unixType, const char* mimeType1, const char* mimeType2)
{
    VstFileType type;
    copyCut(type.name, name);
    copyCut(type.macType, macType);
    copyCut(type.dosType, dosType);
    copyCut(type.unixType, unixType);
    copyCut(type.mimeType1, mimeType1);
    copyCut(type.mimeType2, mimeType2);
    return type;
}
