#pragma once

#include <cstddef>
#include <cstdint>

// What a long run of workers checks before it takes memory: how much there
// is left, and Qt's shared threads started while there is some.

// The memory the process can still take, as far as the system tells: the
// address space left under its limits (RLIMIT_AS against all its mappings,
// RLIMIT_DATA against its private data), and what can still be made
// resident (the room left in its control group and those above, and the
// memory the system has available). SIZE_MAX where nothing limits it.
struct MemoryRoom {
  size_t addressSpace = SIZE_MAX;
  size_t resident = SIZE_MAX;
};
MemoryRoom FreeMemory();

// The address space a thread takes besides what it allocates: its stack,
// and the arena the C library makes for its allocations.
inline constexpr size_t kThreadAddressSpace = size_t{72} << 20;

// Qt's own drawing splits a large image over the threads of its shared pool
// and waits for them; a pool thread the system cannot start (no memory for
// its stack) would keep that wait, and the window, from ever ending.
// Starts every thread of the pool now, and keeps them for the life of the
// program; where the address space is limited, the pool is kept smaller.
// Called when the program starts, before its first drawing; later calls
// change nothing once a thread of the pool runs.
void StartSharedThreads();

// Gives the memory that was freed back to the system where the C library
// keeps it for later allocations (the arenas of threads that have finished
// their work); nothing where it cannot.
void ReturnFreedMemory();
