// The show's one window with its OpenGL context: creation (optionally switching
// the display to full screen first), the fixed GL state and projection, start-up
// as the last step, and a teardown that walks back from whatever was reached.
#pragma once
#include <string>

constexpr const char* kWindowCaption = " =  Zoduv Aziridiru by ZUR - 2014 = ";

// True on success; every failure has shown its message box.
bool createWindow(const std::string& title, int width, int height, int bits, bool fullscreen);
void resizeView(int width, int height);
bool initGl();
void destroyWindow();

// Swaps the window's buffers (the DemoContext's presentFrame).
bool presentWindowFrame();
