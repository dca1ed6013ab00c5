// Effect file parser and the assembly of every pass's sources.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/effect_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EffectFile file;
    std::string error;
    if (FAILED(EffectFileParse(reinterpret_cast<const char*>(data), size, &file, &error))) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    EffectAssemblyHooks hooks;
    hooks.vertexEpilogue = "gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;";
    for (const EffectTechnique& t : file.techniques)
        for (const EffectPass& p : t.passes) {
            EffectPassSources sources;
            // Parsing checked every block a pass names.
            if (FAILED(EffectAssemblePass(file, p, hooks, &sources))) __builtin_trap();
        }
    return 0;
}
