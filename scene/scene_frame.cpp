// The scene's frame: input in, scene clock, picture, input out.
#include <GL/glew.h>

#include "scene/part_start.h"

void part_start::draw(double& frameDelta, DemoContext& ctx, FrameInput& frame)
{
    ctx.currentInput = &frame;
    input = frame;

    sceneTime += frameDelta;
    scaledStep = frameDelta;

    glViewport(0, 0, ctx.renderWidth, ctx.renderHeight);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    *ctx.currentInput = input;
}
