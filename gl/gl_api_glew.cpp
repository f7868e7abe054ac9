// Entry points through GLEW.
#include "gl/gl_api.h"

bool loadGlEntryPoints()
{
    // glewInit loads the entry points first and only then looks for the GLX
    // display of the current context; now and then that last step finds none
    // although everything is loaded, so its answer is not the test.
    glewInit();
    return glGetString(GL_VERSION) != nullptr && glGenFramebuffers != nullptr && glBindFramebufferEXT != nullptr &&
           glRenderbufferStorageMultisampleEXT != nullptr && glBlitFramebufferEXT != nullptr &&
           glCreateShader != nullptr && glActiveTexture != nullptr && glDrawBuffers != nullptr;
}
