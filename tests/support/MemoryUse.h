#pragma once

// What the test process holds in memory, for tests that bound a client's memory.
namespace MemoryUse {

// Live heap in kB: what the program holds, whatever the allocator keeps cached (under
// AddressSanitizer, without its quarantine of freed blocks).
long heapKb();
// Resident size in kB (VmRSS); -1 when it cannot be read.
long residentKb();

} // namespace MemoryUse
