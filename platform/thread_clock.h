// CPU time used by the calling thread: the frame report's measure of the work the
// program's own thread does per frame (its code and the GL driver's, not the
// driver's worker threads).
#pragma once

// Seconds of CPU time the calling thread has used since it started.
double threadCpuSeconds();
