// Small immediate-mode helpers shared by the frame driver and the scene: a quad
// facing the viewer, a screen-aligned panel, a state reset and a filter setting.
// They work on the current GL context and matrices and keep no state.
#pragma once

// Unit quad (-1..1) at the current origin, turned by angle (degrees) about z after
// being scaled by |width| x height. faceViewer replaces the modelview rotation and
// scale by the identity first. Texture coordinates run 0..texScale, mirrored in u
// when width <= 0.
void drawSprite(double angle, double width, double height, bool faceViewer, float texScale);

// Unit quad facing the viewer at the current origin, turned by angle first and then
// scaled by scaleX x scaleY. reserved is always 0.
void drawPanel(int reserved, double angle, double scaleX, double scaleY);
// The modelview drawPanel draws its unit quad with, set without drawing.
void setPanelMatrix(double angle, double scaleX, double scaleY);

// Blending, lighting, colour material, light 0, 2-D texturing and fog off; colour white.
void resetDrawState();

// An axis-aligned quad in the z = 0 plane from (x0, y0) to (x1, y1), corners in
// the order of the sprite's quad, texture coordinates from (0, 0) to (s, s).
void drawQuad(float x0, float y0, float x1, float y1, float texScale);

// Linear magnification and minification on the texture bound to GL_TEXTURE_2D.
void setLinearFilter();

// Scissored work. While pixel writes are masked (frames that only move the show's
// state forward) every scissor box stays empty and the test stays on, so a frame
// draws nothing even where it limits its own work to a rectangle.
void setPixelWritesMasked(bool masked);
bool pixelWritesMasked();
void beginScissor(int x, int y, int width, int height);
void endScissor();
