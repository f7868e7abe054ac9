// The process-wide engine records, constructed before the entry runs.
#include "engine/demo_context.h"

DemoContext demoContext;
FrameInput frameInput;
RuntimeState runtimeState;
RunConfig runConfig;
