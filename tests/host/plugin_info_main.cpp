// Prints what a host sees when it loads a VST 2.4 module: its entry points,
// the record of one instance and the answers to the identity opcodes.
#include <cstdio>
#include <cstring>

#include "test_host.h"

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : CANTILO_PLUGIN_PATH;
    TestHost host(path);
    if (!host.loaded()) {
        std::fprintf(stderr, "plugin-info: cannot load %s\n", path);
        return 1;
    }
    AEffect* effect = host.createInstance();
    if (!effect) {
        std::fprintf(stderr, "plugin-info: %s created no instance\n", path);
        return 1;
    }
    char name[256] = "", vendor[256] = "", product[256] = "";
    TestHost::dispatch(effect, effGetEffectName, 0, 0, name);
    TestHost::dispatch(effect, effGetVendorString, 0, 0, vendor);
    TestHost::dispatch(effect, effGetProductString, 0, 0, product);
    ERect* rect = nullptr;
    TestHost::dispatch(effect, effEditGetRect, 0, 0, &rect);
    char id[5] = {static_cast<char>(effect->uniqueID >> 24), static_cast<char>(effect->uniqueID >> 16),
                  static_cast<char>(effect->uniqueID >> 8), static_cast<char>(effect->uniqueID), 0};

    std::printf("module        %s\n", path);
    std::printf("entry points  VSTPluginMain %s, main %s\n", host.vstPluginMain ? "yes" : "no",
                host.mainEntry ? "yes" : "no");
    std::printf("effect        %s by %s (product %s, vendor version %ld, VST %ld)\n", name, vendor,
                product, static_cast<long>(TestHost::dispatch(effect, effGetVendorVersion)),
                static_cast<long>(TestHost::dispatch(effect, effGetVstVersion)));
    std::printf("unique id     '%s', version %d, category %ld\n", id, effect->version,
                static_cast<long>(TestHost::dispatch(effect, effGetPlugCategory)));
    std::printf("channels      %d in, %d out; %d programs, %d parameters\n", effect->numInputs,
                effect->numOutputs, effect->numPrograms, effect->numParams);
    std::printf("flags         %d (editor %s, replacing %s, chunks %s)\n", effect->flags,
                effect->flags & effFlagsHasEditor ? "yes" : "no",
                effect->flags & effFlagsCanReplacing ? "yes" : "no",
                effect->flags & effFlagsProgramChunks ? "yes" : "no");
    if (rect)
        std::printf("editor        %d x %d pixels\n", rect->right - rect->left, rect->bottom - rect->top);
    const char* queries[] = {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
                             "sendVstMidiEvent"};
    for (const char* query : queries)
        std::printf("canDo %-20s %ld\n", query,
                    static_cast<long>(TestHost::dispatch(effect, effCanDo, 0, 0, const_cast<char*>(query))));
    host.closeInstance(effect);
    return 0;
}
