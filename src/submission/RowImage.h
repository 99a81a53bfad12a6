#pragma once

// The row-state images of the engine view (ImageList1): 0 failed, 1 running,
// 2 finished OK, 3 timed out. The pictures themselves are in EngineRowImages.
enum class RowImage { None = -1, Failed = 0, Running = 1, Ok = 2, TimedOut = 3 };
