#pragma once

// Heap blocks from operator new not yet deleted, in the whole test program.
long LiveHeapBlocks();
