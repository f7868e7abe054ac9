// Glue between the runtime and the developer aids, with the developer file names.
#include "engine/dev_tools.h"

#include "engine/asset_report.h"
#include "engine/demo_context.h"
#include "engine/dev_caption.h"
#include "engine/frame_log.h"
#include "platform/platform.h"
#include "engine/state_snapshots.h"

namespace {


StateRecorder recorder;

} // namespace

StateRecorder& devStateRecorder() { return recorder; }

void writeDeveloperCaption(double aux0, double aux1)
{
    const RuntimeState& rs = runtimeState;
    platform::setWindowText(rs.windowHandle,
                            buildCaption(frameInput, rs.showTime, rs.fpsFrames, rs.fpsSeconds, aux0, aux1));
}

void loadDeveloperStates() { recorder.loadStates(kStateFile); }

void openDeveloperReport() { openAssetReport(runtimeState); }

void writeDeveloperReport() { writeAssetReport(runtimeState, demoContext); }

void openDeveloperFrameLog() { openFrameLog(demoContext, developerPath(kFrameLogPath), kFrameLogSeconds); }

void closeDeveloperFrameLog() { closeFrameLog(demoContext); }
