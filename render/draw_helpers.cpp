// Drawing helpers. The order of rotation and scale differs between the sprite and
// the panel on purpose: the sprite is scaled and then turned, the panel turned and
// then scaled, and the scene's pictures depend on both.
#include "render/draw_helpers.h"

#include "gl/gl_api.h"

#include <cmath>

namespace {

// The current modelview with its upper-left 3 x 3 block replaced by the identity:
// the translation and the fourth row stay, so a quad drawn with it sits at the
// current origin but faces the viewer.
void viewerFacingMatrix(float m[16])
{
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            m[4 * column + row] = column == row ? 1.0f : 0.0f;
}

void unitQuad(const float u[4], const float v[4])
{
    static const float kCornerX[4] = {-1, 1, 1, -1};
    static const float kCornerY[4] = {-1, -1, 1, 1};
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(u[i], v[i]);
        glVertex3f(kCornerX[i], kCornerY[i], 0.0f);
    }
    glEnd();
}

} // namespace

void drawSprite(double angle, double width, double height, bool faceViewer, float texScale)
{
    float m[16];
    viewerFacingMatrix(m);
    if (faceViewer)
        glLoadMatrixf(m);
    glRotatef(static_cast<float>(angle), 0.0f, 0.0f, 1.0f);
    glScalef(static_cast<float>(std::fabs(width)), static_cast<float>(height), 0.0f);

    const float t = texScale;
    const float forwardU[4] = {0, t, t, 0};
    const float mirroredU[4] = {t, 0, 0, t};
    const float v[4] = {0, 0, t, t};
    unitQuad(width > 0 ? forwardU : mirroredU, v);
}

void setPanelMatrix(double angle, double scaleX, double scaleY)
{
    float m[16];
    viewerFacingMatrix(m);
    glLoadMatrixf(m);
    glScalef(static_cast<float>(scaleX), static_cast<float>(scaleY), 0.0f);
    glRotatef(static_cast<float>(angle), 0.0f, 0.0f, 1.0f);
}

void drawPanel(int, double angle, double scaleX, double scaleY)
{
    setPanelMatrix(angle, scaleX, scaleY);
    const float u[4] = {0, 1, 1, 0};
    const float v[4] = {0, 0, 1, 1};
    unitQuad(u, v);
}

void drawQuad(float x0, float y0, float x1, float y1, float texScale)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(x0, y0, 0);
    glTexCoord2f(texScale, 0);
    glVertex3f(x1, y0, 0);
    glTexCoord2f(texScale, texScale);
    glVertex3f(x1, y1, 0);
    glTexCoord2f(0, texScale);
    glVertex3f(x0, y1, 0);
    glEnd();
}

void resetDrawState()
{
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHT0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_FOG);
}

void setLinearFilter()
{
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

namespace {
bool writesMasked = false;
}

void setPixelWritesMasked(bool masked)
{
    writesMasked = masked;
    endScissor();
}

bool pixelWritesMasked() { return writesMasked; }

void beginScissor(int x, int y, int width, int height)
{
    glEnable(GL_SCISSOR_TEST);
    if (writesMasked)
        glScissor(0, 0, 0, 0);
    else
        glScissor(x, y, width, height);
}

void endScissor()
{
    if (writesMasked)
        beginScissor(0, 0, 0, 0);
    else
        glDisable(GL_SCISSOR_TEST);
}
