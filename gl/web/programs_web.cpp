// Programs of the web GL layer: the cache of generated fixed-function programs,
// the show's fragment programs linked with the layer's own vertex stages, and the
// uniforms (matrices, light, the show's own) brought up to date before each draw.
#include "gl/web/layer_web.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

using namespace zw;

namespace {

GLuint compileShader(GLenum type, const std::string& source, std::string* log)
{
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok || log) {
        char buffer[2048] = {};
        glGetShaderInfoLog(shader, sizeof buffer, nullptr, buffer);
        if (log)
            *log = buffer;
        if (!ok)
            std::fprintf(stderr, "web GL: shader does not compile: %s\n%s\n", buffer, source.c_str());
    }
    return shader;
}

GLuint vertexShaderFor(const glsles::VertexKey& key)
{
    const int bits = (key.lighting ? 1 : 0) | (key.colourMaterial ? 2 : 0) | static_cast<int>(key.widen) << 2;
    auto found = gl.vertexShaders.find(bits);
    if (found != gl.vertexShaders.end())
        return found->second;
    const GLuint shader = compileShader(GL_VERTEX_SHADER, glsles::vertexShader(key), nullptr);
    gl.vertexShaders[bits] = shader;
    return shader;
}

bool linkRecord(ProgramRecord& record, GLuint vertex, GLuint fragment, bool lit)
{
    record = ProgramRecord{};
    record.lit = lit;
    record.program = glCreateProgram();
    glAttachShader(record.program, vertex);
    glAttachShader(record.program, fragment);
    for (int a = 0; a < glsles::attributeCount; ++a)
        glBindAttribLocation(record.program, a, glsles::attributeName(a));
    glLinkProgram(record.program);
    GLint ok = 0;
    glGetProgramiv(record.program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {};
        glGetProgramInfoLog(record.program, sizeof buffer, nullptr, buffer);
        std::fprintf(stderr, "web GL: program does not link: %s\n", buffer);
        return false;
    }
    const GLuint p = record.program;
    record.modelview = glGetUniformLocation(p, "zr_modelview");
    record.projection = glGetUniformLocation(p, "zr_projection");
    record.textureMatrix = glGetUniformLocation(p, "zr_textureMatrix");
    record.normalMatrix = glGetUniformLocation(p, "zr_normalMatrix");
    record.lightPosition = glGetUniformLocation(p, "zr_lightPosition");
    record.lightAmbient = glGetUniformLocation(p, "zr_lightAmbient");
    record.lightDiffuse = glGetUniformLocation(p, "zr_lightDiffuse");
    record.lightSpecular = glGetUniformLocation(p, "zr_lightSpecular");
    record.lightEnabled = glGetUniformLocation(p, "zr_lightEnabled");
    record.materialAmbient = glGetUniformLocation(p, "zr_materialAmbient");
    record.materialDiffuse = glGetUniformLocation(p, "zr_materialDiffuse");
    record.materialSpecular = glGetUniformLocation(p, "zr_materialSpecular");
    record.materialEmission = glGetUniformLocation(p, "zr_materialEmission");
    record.materialShininess = glGetUniformLocation(p, "zr_materialShininess");
    record.lightModelAmbient = glGetUniformLocation(p, "zr_lightModelAmbient");
    record.pointRadius = glGetUniformLocation(p, "zr_pointRadius");
    record.viewport = glGetUniformLocation(p, "zr_viewport");
    record.expand = glGetUniformLocation(p, "zr_expand");
    record.endTexels = glGetUniformLocation(p, "zr_endTexels");
    const GLint sampler = glGetUniformLocation(p, "zr_texture0");
    const GLint ends = glGetUniformLocation(p, "zr_ends");
    if (sampler >= 0 || ends >= 0) {
        gl.realProgram = p;
        glUseProgram(p);
        if (sampler >= 0)
            glUniform1i(sampler, 0);
        if (ends >= 0)
            glUniform1i(ends, static_cast<GLint>(kEndsUnit));
    }
    return true;
}

ProgramRecord* fixedProgram(bool lit, bool textured, bool smoothPoint, glsles::Widen widen)
{
    const bool colourMaterial = lit && gl.state.colourMaterial;
    const int bits = (lit ? 1 : 0) | (colourMaterial ? 2 : 0) | (textured ? 4 : 0) | (smoothPoint ? 8 : 0) |
                     static_cast<int>(widen) << 4;
    ProgramRecord& record = gl.fixedPrograms[bits];
    if (record.program == 0) {
        glsles::VertexKey vertexKey;
        vertexKey.lighting = lit;
        vertexKey.colourMaterial = colourMaterial;
        vertexKey.widen = widen;
        glsles::FixedFragmentKey fragmentKey;
        fragmentKey.texture2d = textured;
        fragmentKey.smoothPoint = smoothPoint;
        const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, glsles::fixedFragmentShader(fragmentKey), nullptr);
        linkRecord(record, vertexShaderFor(vertexKey), fragment, lit);
    }
    return &record;
}

ProgramRecord* userVariant(UserProgram& program, bool lit, glsles::Widen widen)
{
    ProgramRecord& record = program.variants[widen != glsles::Widen::none ? 1 + static_cast<int>(widen) : lit];
    if (record.program == 0) {
        auto shader = gl.shaders.find(program.fragment);
        if (shader == gl.shaders.end() || shader->second.shader == 0)
            return nullptr;
        glsles::VertexKey key;
        key.lighting = lit;
        key.colourMaterial = lit && gl.state.colourMaterial;
        key.widen = widen;
        if (!linkRecord(record, vertexShaderFor(key), shader->second.shader, lit))
            return nullptr;
    }
    return &record;
}

void uploadUserUniforms(UserProgram& program, ProgramRecord& record)
{
    if (record.uniformSerial == program.uniformSerial)
        return;
    record.uniformSerial = program.uniformSerial;
    record.userLocations.resize(program.uniforms.size(), -2);
    for (size_t k = 0; k < program.uniforms.size(); ++k) {
        const UserUniform& u = program.uniforms[k];
        if (record.userLocations[k] == -2)
            record.userLocations[k] = glGetUniformLocation(record.program, u.name.c_str());
        const GLint location = record.userLocations[k];
        if (location < 0)
            continue;
        if (u.kind == 1)
            glUniform1i(location, u.i);
        else if (u.kind == 2)
            glUniform1f(location, u.f[0]);
        else if (u.kind == 3)
            glUniform2f(location, u.f[0], u.f[1]);
        else if (u.kind == 4)
            glUniform3f(location, u.f[0], u.f[1], u.f[2]);
    }
}

} // namespace

namespace zw {

// Makes the program for the next draw current and up to date. Widened lines and
// points are in clip space already and unlit.
ProgramRecord* bindProgram(glsles::Widen widen, bool smoothPoint)
{
    const fixedgl::AttribState& s = gl.state;
    const bool pretransformed = widen != glsles::Widen::none;
    const bool lit = s.lighting && !pretransformed;
    ProgramRecord* record = nullptr;
    UserProgram* user = nullptr;
    if (gl.userProgram != 0) {
        auto found = gl.programs.find(gl.userProgram);
        if (found == gl.programs.end() || !found->second.linked)
            return nullptr;
        user = &found->second;
        record = userVariant(*user, lit, widen);
    } else {
        record = fixedProgram(lit, (s.texture2dUnits & 1) != 0, smoothPoint, widen);
    }
    if (record == nullptr || record->program == 0)
        return nullptr;
    if (gl.realProgram != record->program) {
        gl.realProgram = record->program;
        glUseProgram(record->program);
    }
    if (!pretransformed && record->matrixSerial != gl.matrixSerial) {
        record->matrixSerial = gl.matrixSerial;
        const Matrix& mv = gl.modelview.top();
        glUniformMatrix4fv(record->modelview, 1, GL_FALSE, mv.data());
        if (record->lit)
            glUniformMatrix3fv(record->normalMatrix, 1, GL_FALSE, fixedgl::normalMatrix(mv).data());
    }
    if (!pretransformed && record->projectionSerial != gl.projectionSerial) {
        record->projectionSerial = gl.projectionSerial;
        glUniformMatrix4fv(record->projection, 1, GL_FALSE, gl.projection.top().data());
    }
    if (pretransformed) {
        const float viewport[4] = {static_cast<float>(s.viewport.x), static_cast<float>(s.viewport.y),
                                   static_cast<float>(s.viewport.width), static_cast<float>(s.viewport.height)};
        if (std::memcmp(viewport, record->viewportValue, sizeof viewport) != 0) {
            std::memcpy(record->viewportValue, viewport, sizeof viewport);
            glUniform4fv(record->viewport, 1, viewport);
        }
        const float expand[2] = {gl.pendingSize, static_cast<float>(gl.pendingRule)};
        if (std::memcmp(expand, record->expandValue, sizeof expand) != 0) {
            std::memcpy(record->expandValue, expand, sizeof expand);
            glUniform2fv(record->expand, 1, expand);
        }
        if (record->endTexelsValue != gl.pendingTexels) {
            record->endTexelsValue = gl.pendingTexels;
            glUniform1i(record->endTexels, gl.pendingTexels);
        }
        const float radius = gl.pendingSize * 0.5f;
        if (record->pointRadius >= 0 && radius != record->pointRadiusValue) {
            record->pointRadiusValue = radius;
            glUniform1f(record->pointRadius, radius);
        }
    }
    if (record->textureSerial != gl.textureSerial) {
        record->textureSerial = gl.textureSerial;
        glUniformMatrix4fv(record->textureMatrix, 1, GL_FALSE, gl.textureStacks[0].top().data());
    }
    if (record->lit && record->lightSerial != gl.lightSerial) {
        record->lightSerial = gl.lightSerial;
        glUniform4fv(record->lightPosition, 1, s.lightPosition);
        glUniform4fv(record->lightAmbient, 1, s.lightAmbient);
        glUniform4fv(record->lightDiffuse, 1, s.lightDiffuse);
        glUniform4fv(record->lightSpecular, 1, s.lightSpecular);
        glUniform1f(record->lightEnabled, s.light0 ? 1.0f : 0.0f);
        glUniform4fv(record->materialAmbient, 1, s.materialAmbient);
        glUniform4fv(record->materialDiffuse, 1, s.materialDiffuse);
        glUniform4fv(record->materialSpecular, 1, s.materialSpecular);
        glUniform4fv(record->materialEmission, 1, s.materialEmission);
        glUniform1f(record->materialShininess, s.materialShininess);
        glUniform4fv(record->lightModelAmbient, 1, s.lightModelAmbient);
    }
    if (user)
        uploadUserUniforms(*user, *record);
    return record;
}

} // namespace zw

GLuint zw_glCreateShader(GLenum type)
{
    if (type != GL_FRAGMENT_SHADER) {
        setError(GL_INVALID_ENUM); // the vertex stage is the layer's
        return 0;
    }
    const GLuint name = gl.nextShaderName++;
    gl.shaders[name].type = type;
    return name;
}

void zw_glShaderSource(GLuint shader, GLsizei count, const GLchar* const* text, const GLint* lengths)
{
    auto found = gl.shaders.find(shader);
    if (found == gl.shaders.end())
        return setError(GL_INVALID_VALUE);
    std::string& source = found->second.source;
    source.clear();
    for (GLsizei k = 0; k < count; ++k) {
        if (lengths && lengths[k] >= 0)
            source.append(text[k], static_cast<size_t>(lengths[k]));
        else
            source.append(text[k]);
    }
}

void zw_glCompileShader(GLuint shader)
{
    auto found = gl.shaders.find(shader);
    if (found == gl.shaders.end())
        return setError(GL_INVALID_VALUE);
    UserShader& s = found->second;
    if (s.shader)
        glDeleteShader(s.shader);
    s.shader = compileShader(GL_FRAGMENT_SHADER, glsles::rewriteFragmentShader(s.source), &s.log);
    GLint ok = 0;
    glGetShaderiv(s.shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(s.shader);
        s.shader = 0;
    }
}

void zw_glGetShaderInfoLog(GLuint shader, GLsizei size, GLsizei* length, GLchar* log)
{
    auto found = gl.shaders.find(shader);
    const std::string text = found != gl.shaders.end() ? found->second.log : std::string();
    const size_t n = size > 0 ? std::min(text.size(), static_cast<size_t>(size - 1)) : 0;
    if (size > 0) {
        std::memcpy(log, text.data(), n);
        log[n] = 0;
    }
    if (length)
        *length = static_cast<GLsizei>(n);
}

void zw_glGetShaderiv(GLuint shader, GLenum name, GLint* value)
{
    auto found = gl.shaders.find(shader);
    if (found == gl.shaders.end() || name != GL_COMPILE_STATUS)
        return setError(found == gl.shaders.end() ? GL_INVALID_VALUE : GL_INVALID_ENUM);
    *value = found->second.shader != 0 ? GL_TRUE : GL_FALSE;
}

void zw_glGetProgramiv(GLuint program, GLenum name, GLint* value)
{
    auto found = gl.programs.find(program);
    if (found == gl.programs.end() || name != GL_LINK_STATUS)
        return setError(found == gl.programs.end() ? GL_INVALID_VALUE : GL_INVALID_ENUM);
    *value = found->second.linked ? GL_TRUE : GL_FALSE;
}

// The layer links its own vertex stage to the fragment shader: a failure shows in
// the fragment shader's log, which stands in for the program's.
void zw_glGetProgramInfoLog(GLuint program, GLsizei size, GLsizei* length, GLchar* log)
{
    auto found = gl.programs.find(program);
    zw_glGetShaderInfoLog(found != gl.programs.end() ? found->second.fragment : 0, size, length, log);
}

GLuint zw_glCreateProgram()
{
    const GLuint name = gl.nextProgramName++;
    gl.programs[name];
    return name;
}

void zw_glAttachShader(GLuint program, GLuint shader)
{
    auto found = gl.programs.find(program);
    if (found == gl.programs.end())
        return setError(GL_INVALID_VALUE);
    found->second.fragment = shader;
}

void zw_glLinkProgram(GLuint program)
{
    auto found = gl.programs.find(program);
    if (found == gl.programs.end())
        return setError(GL_INVALID_VALUE);
    flush();
    UserProgram& p = found->second;
    for (ProgramRecord& variant : p.variants) {
        if (variant.program) {
            if (gl.realProgram == variant.program)
                gl.realProgram = 0;
            glDeleteProgram(variant.program);
        }
        variant = ProgramRecord{};
    }
    p.linked = userVariant(p, false, glsles::Widen::none) != nullptr;
    ++p.uniformSerial;
}

void zw_glUseProgram(GLuint program)
{
    flush();
    gl.userProgram = program;
}

GLint zw_glGetUniformLocation(GLuint program, const GLchar* name)
{
    auto found = gl.programs.find(program);
    if (found == gl.programs.end() || !found->second.linked)
        return -1;
    UserProgram& p = found->second;
    const std::string esName = glsles::uniformName(name);
    for (size_t k = 0; k < p.uniforms.size(); ++k) {
        if (p.uniforms[k].name == esName)
            return static_cast<GLint>(k);
    }
    if (glGetUniformLocation(p.variants[0].program, esName.c_str()) < 0)
        return -1;
    p.uniforms.push_back(UserUniform{esName});
    ++p.uniformSerial;
    return static_cast<GLint>(p.uniforms.size() - 1);
}

namespace {

UserUniform* uniformAt(GLint location)
{
    auto found = gl.programs.find(gl.userProgram);
    if (location < 0 || found == gl.programs.end() || static_cast<size_t>(location) >= found->second.uniforms.size())
        return nullptr;
    flush();
    ++found->second.uniformSerial;
    return &found->second.uniforms[static_cast<size_t>(location)];
}

} // namespace

void zw_glUniform1i(GLint location, GLint x)
{
    if (UserUniform* u = uniformAt(location))
        u->kind = 1, u->i = x;
}

void zw_glUniform1f(GLint location, GLfloat x)
{
    if (UserUniform* u = uniformAt(location))
        u->kind = 2, u->f[0] = x;
}

void zw_glUniform3f(GLint location, GLfloat x, GLfloat y, GLfloat z)
{
    if (UserUniform* u = uniformAt(location))
        u->kind = 4, u->f[0] = x, u->f[1] = y, u->f[2] = z;
}
