// Process entry on Linux.
#include "app/entry.h"

int main(int argc, char** argv) { return programMain(argc, argv); }
