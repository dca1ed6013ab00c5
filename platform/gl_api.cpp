// Loading of the OpenGL entry points (see gl_api.h).
#include "platform/gl_api.h"

#include <SDL.h>

#include <cstring>

namespace glapi {

#define TREVOLIA_GL_DEFINE(type, name) type name = nullptr;
TREVOLIA_GL_FUNCTIONS(TREVOLIA_GL_DEFINE)
TREVOLIA_GL_OPTIONAL_FUNCTIONS(TREVOLIA_GL_DEFINE)
#undef TREVOLIA_GL_DEFINE

bool GlLoadFunctions(const char** missing) {
    // Read again at every context creation: SDL unloads the GL library when
    // its last OpenGL window goes and may load it at another address later.
    const char* firstMissing = nullptr;
#define TREVOLIA_GL_LOAD(type, name)                                         \
    name = reinterpret_cast<type>(SDL_GL_GetProcAddress(#name));             \
    if (!name && !firstMissing) firstMissing = #name;
    TREVOLIA_GL_FUNCTIONS(TREVOLIA_GL_LOAD)
#undef TREVOLIA_GL_LOAD
#define TREVOLIA_GL_LOAD_OPTIONAL(type, name) name = reinterpret_cast<type>(SDL_GL_GetProcAddress(#name));
    TREVOLIA_GL_OPTIONAL_FUNCTIONS(TREVOLIA_GL_LOAD_OPTIONAL)
#undef TREVOLIA_GL_LOAD_OPTIONAL
    if (missing) *missing = firstMissing;
    return firstMissing == nullptr;
}

bool GlHasExtension(const char* name) {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char* ext = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (ext && std::strcmp(ext, name) == 0) return true;
    }
    return false;
}

}  // namespace glapi
