// The OpenGL 3.3 core entry points the layer uses, loaded once through SDL
// after the first context is made current (GlLoadFunctions). Code of the layer
// writes plain GL calls (glClear, glDrawArrays, ...) inside namespace glapi or
// after `using namespace glapi;`; the names are function pointers there.
//
// For the layer only (the device and its helpers: effects, sprites, fonts,
// textures, meshes). Nothing above the layer sees GL.
#pragma once

#include <GL/glcorearb.h>

// X(type of the pointer, name)
#define TREVOLIA_GL_FUNCTIONS(X)                                                   \
    X(PFNGLGETSTRINGPROC, glGetString)                                             \
    X(PFNGLGETSTRINGIPROC, glGetStringi)                                           \
    X(PFNGLGETINTEGERVPROC, glGetIntegerv)                                         \
    X(PFNGLGETFLOATVPROC, glGetFloatv)                                             \
    X(PFNGLGETERRORPROC, glGetError)                                               \
    X(PFNGLENABLEPROC, glEnable)                                                   \
    X(PFNGLDISABLEPROC, glDisable)                                                 \
    X(PFNGLFINISHPROC, glFinish)                                                   \
    X(PFNGLFLUSHPROC, glFlush)                                                     \
    X(PFNGLVIEWPORTPROC, glViewport)                                               \
    X(PFNGLSCISSORPROC, glScissor)                                                 \
    X(PFNGLDEPTHRANGEPROC, glDepthRange)                                           \
    X(PFNGLCLEARCOLORPROC, glClearColor)                                           \
    X(PFNGLCLEARDEPTHPROC, glClearDepth)                                           \
    X(PFNGLCLEARSTENCILPROC, glClearStencil)                                       \
    X(PFNGLCLEARPROC, glClear)                                                     \
    X(PFNGLCOLORMASKPROC, glColorMask)                                             \
    X(PFNGLDEPTHMASKPROC, glDepthMask)                                             \
    X(PFNGLSTENCILMASKPROC, glStencilMask)                                         \
    X(PFNGLDEPTHFUNCPROC, glDepthFunc)                                             \
    X(PFNGLBLENDFUNCSEPARATEPROC, glBlendFuncSeparate)                             \
    X(PFNGLBLENDEQUATIONSEPARATEPROC, glBlendEquationSeparate)                     \
    X(PFNGLCULLFACEPROC, glCullFace)                                               \
    X(PFNGLFRONTFACEPROC, glFrontFace)                                             \
    X(PFNGLPOLYGONMODEPROC, glPolygonMode)                                         \
    X(PFNGLPIXELSTOREIPROC, glPixelStorei)                                         \
    X(PFNGLREADPIXELSPROC, glReadPixels)                                           \
    X(PFNGLREADBUFFERPROC, glReadBuffer)                                           \
    X(PFNGLDRAWBUFFERPROC, glDrawBuffer)                                           \
    X(PFNGLGENTEXTURESPROC, glGenTextures)                                         \
    X(PFNGLDELETETEXTURESPROC, glDeleteTextures)                                   \
    X(PFNGLBINDTEXTUREPROC, glBindTexture)                                         \
    X(PFNGLACTIVETEXTUREPROC, glActiveTexture)                                     \
    X(PFNGLTEXIMAGE2DPROC, glTexImage2D)                                           \
    X(PFNGLTEXSUBIMAGE2DPROC, glTexSubImage2D)                                     \
    X(PFNGLTEXPARAMETERIPROC, glTexParameteri)                                     \
    X(PFNGLTEXPARAMETERFPROC, glTexParameterf)                                     \
    X(PFNGLTEXPARAMETERFVPROC, glTexParameterfv)                                   \
    X(PFNGLTEXPARAMETERIVPROC, glTexParameteriv)                                   \
    X(PFNGLGENERATEMIPMAPPROC, glGenerateMipmap)                                   \
    X(PFNGLGETTEXIMAGEPROC, glGetTexImage)                                         \
    X(PFNGLGENBUFFERSPROC, glGenBuffers)                                           \
    X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                                     \
    X(PFNGLBINDBUFFERPROC, glBindBuffer)                                           \
    X(PFNGLBUFFERDATAPROC, glBufferData)                                           \
    X(PFNGLBUFFERSUBDATAPROC, glBufferSubData)                                     \
    X(PFNGLMAPBUFFERRANGEPROC, glMapBufferRange)                                   \
    X(PFNGLUNMAPBUFFERPROC, glUnmapBuffer)                                         \
    X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays)                                 \
    X(PFNGLDELETEVERTEXARRAYSPROC, glDeleteVertexArrays)                           \
    X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray)                                 \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)                 \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, glDisableVertexAttribArray)               \
    X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)                         \
    X(PFNGLVERTEXATTRIBIPOINTERPROC, glVertexAttribIPointer)                       \
    X(PFNGLVERTEXATTRIB4FPROC, glVertexAttrib4f)                                   \
    X(PFNGLDRAWARRAYSPROC, glDrawArrays)                                           \
    X(PFNGLDRAWELEMENTSPROC, glDrawElements)                                       \
    X(PFNGLDRAWELEMENTSBASEVERTEXPROC, glDrawElementsBaseVertex)                   \
    X(PFNGLCREATESHADERPROC, glCreateShader)                                       \
    X(PFNGLDELETESHADERPROC, glDeleteShader)                                       \
    X(PFNGLSHADERSOURCEPROC, glShaderSource)                                       \
    X(PFNGLCOMPILESHADERPROC, glCompileShader)                                     \
    X(PFNGLGETSHADERIVPROC, glGetShaderiv)                                         \
    X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)                               \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                                     \
    X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                                     \
    X(PFNGLATTACHSHADERPROC, glAttachShader)                                       \
    X(PFNGLDETACHSHADERPROC, glDetachShader)                                       \
    X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation)                           \
    X(PFNGLBINDFRAGDATALOCATIONPROC, glBindFragDataLocation)                       \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram)                                         \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                                       \
    X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)                             \
    X(PFNGLUSEPROGRAMPROC, glUseProgram)                                           \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)                           \
    X(PFNGLGETACTIVEUNIFORMPROC, glGetActiveUniform)                               \
    X(PFNGLGETACTIVEATTRIBPROC, glGetActiveAttrib)                                 \
    X(PFNGLUNIFORM1IPROC, glUniform1i)                                             \
    X(PFNGLUNIFORM1FPROC, glUniform1f)                                             \
    X(PFNGLUNIFORM1FVPROC, glUniform1fv)                                           \
    X(PFNGLUNIFORM2FVPROC, glUniform2fv)                                           \
    X(PFNGLUNIFORM3FVPROC, glUniform3fv)                                           \
    X(PFNGLUNIFORM4FPROC, glUniform4f)                                             \
    X(PFNGLUNIFORM4FVPROC, glUniform4fv)                                           \
    X(PFNGLUNIFORM1IVPROC, glUniform1iv)                                           \
    X(PFNGLUNIFORM2IVPROC, glUniform2iv)                                           \
    X(PFNGLUNIFORM3IVPROC, glUniform3iv)                                           \
    X(PFNGLUNIFORM4IVPROC, glUniform4iv)                                           \
    X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)                               \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                                 \
    X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)                           \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                                 \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer)                 \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)                       \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)                   \
    X(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers)                               \
    X(PFNGLDELETERENDERBUFFERSPROC, glDeleteRenderbuffers)                         \
    X(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer)                               \
    X(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage)                         \
    X(PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC, glRenderbufferStorageMultisample)   \
    X(PFNGLGETRENDERBUFFERPARAMETERIVPROC, glGetRenderbufferParameteriv)           \
    X(PFNGLBLITFRAMEBUFFERPROC, glBlitFramebuffer)                                 \
    X(PFNGLPROVOKINGVERTEXPROC, glProvokingVertex)                                 \
    X(PFNGLGENSAMPLERSPROC, glGenSamplers)                                         \
    X(PFNGLDELETESAMPLERSPROC, glDeleteSamplers)                                   \
    X(PFNGLBINDSAMPLERPROC, glBindSampler)                                         \
    X(PFNGLSAMPLERPARAMETERIPROC, glSamplerParameteri)                             \
    X(PFNGLSAMPLERPARAMETERFPROC, glSamplerParameterf)                             \
    X(PFNGLSAMPLERPARAMETERFVPROC, glSamplerParameterfv)                           \
    X(PFNGLFENCESYNCPROC, glFenceSync)                                             \
    X(PFNGLCLIENTWAITSYNCPROC, glClientWaitSync)                                   \
    X(PFNGLDELETESYNCPROC, glDeleteSync)

// Optional entry points (null when the context lacks them).
#define TREVOLIA_GL_OPTIONAL_FUNCTIONS(X)                                          \
    X(PFNGLPUSHDEBUGGROUPPROC, glPushDebugGroup)                                   \
    X(PFNGLPOPDEBUGGROUPPROC, glPopDebugGroup)                                     \
    X(PFNGLBUFFERSTORAGEPROC, glBufferStorage)

namespace glapi {

#define TREVOLIA_GL_DECLARE(type, name) extern type name;
TREVOLIA_GL_FUNCTIONS(TREVOLIA_GL_DECLARE)
TREVOLIA_GL_OPTIONAL_FUNCTIONS(TREVOLIA_GL_DECLARE)
#undef TREVOLIA_GL_DECLARE

// Loads every entry point through SDL with a context current. False (and the
// first missing name in *missing) when a required one is missing. Called at
// every context creation: SDL unloads the GL library with its last OpenGL
// window, so earlier pointers may be stale.
bool GlLoadFunctions(const char** missing);
// True when the current context offers the extension.
bool GlHasExtension(const char* name);

}  // namespace glapi
