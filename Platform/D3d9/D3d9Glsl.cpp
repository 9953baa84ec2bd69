#include "Platform/D3d9/D3d9Glsl.h"

#include "Platform/D3d9/D3d9Gl.h"

#include <SDL.h>

const char* const kD3d9PositionGlsl =
    "uniform vec4 d3d_PositionFix[2];\n"
    "vec4 d3dPositionFromRhw(vec4 p)\n"
    "{\n"
    "    float w = (p.w != 0.0) ? 1.0 / p.w : 1.0;\n"
    "    vec4 f = d3d_PositionFix[0];\n"
    "    vec4 g = d3d_PositionFix[1];\n"
    "    float x = (p.x + 0.5) * f.x - 1.0;\n"
    "    float y = (p.y + f.z) * f.y - 1.0;\n"
    "    return vec4(x * w, f.w * y * w, (p.z * g.z + g.w) * w, w);\n"
    "}\n"
    "vec4 d3dPositionFromClip(vec4 c)\n"
    "{\n"
    "    vec4 f = d3d_PositionFix[0];\n"
    "    vec4 g = d3d_PositionFix[1];\n"
    "    return vec4(c.x + c.w * g.x, -f.w * (c.y - c.w * g.y), c.z * g.z + c.w * g.w, c.w);\n"
    "}\n";

static GLuint CompileShader(GLenum type, const std::string& source, std::string* error)
{
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok)
        return shader;
    char log[2048] = {};
    glGetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
    *error += std::string(type == GL_VERTEX_SHADER ? "vertex" : "fragment") + " shader: " + log + "\n" + source;
    glDeleteShader(shader);
    return 0;
}

uint32_t D3d9LinkProgram(const std::string& vertexSource, const std::string& fragmentSource, std::string* error)
{
    std::string messages;
    GLuint vs = CompileShader(GL_VERTEX_SHADER, vertexSource, &messages);
    GLuint fs = CompileShader(GL_FRAGMENT_SHADER, fragmentSource, &messages);
    GLuint program = 0;
    if (vs && fs) {
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        GLint ok = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[2048] = {};
            glGetProgramInfoLog(program, sizeof log - 1, nullptr, log);
            messages += std::string("link: ") + log;
            glDeleteProgram(program);
            program = 0;
        }
    }
    // Deleting 0 is a no-op; a linked program keeps its shaders alive.
    glDeleteShader(vs);
    glDeleteShader(fs);
    if (error)
        *error += messages;
    else if (!program)
        SDL_Log("Direct3D device: GLSL program cannot be built: %s", messages.c_str());
    return program;
}
