// Glue between the runtime and the developer aids, with the developer file names.
#include "runtime/dev_tools.h"

#include "runtime/asset_report.h"
#include "runtime/demo_context.h"
#include "runtime/dev_caption.h"
#include "runtime/frame_log.h"
#include "runtime/platform.h"
#include "runtime/state_snapshots.h"

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
