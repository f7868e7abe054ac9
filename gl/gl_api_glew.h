// GL through GLEW and the system's GLU (Linux).
#pragma once
#include <GL/glew.h>
#include <GL/glu.h>
