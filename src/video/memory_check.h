#pragma once

// FFmpeg says "out of memory" both when the machine's memory runs out and
// when a file declares a table or packet too large to allocate. Only the
// first ends a run as out of memory: this tells them apart by asking for a
// modest block now. Throws std::bad_alloc when `status` is FFmpeg's
// out-of-memory error and memory is indeed short; returns otherwise.
void throwIfMemoryIsShort(int status);
