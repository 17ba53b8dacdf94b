// The application object of the list test program (its profile is listview_tests.INI) and a
// count of the heap blocks that operator new has handed out and not yet got back, so that the
// tests can see rows give back everything they took.
#include <atomic>
#include <cstdlib>
#include <new>

#include "ListTestProgram.h"
#include "classlib/afxwin.h"

CWinApp theApp;

namespace {
std::atomic<long> g_liveBlocks{0};
}

long LiveHeapBlocks() {
  return g_liveBlocks.load();
}

void* operator new(size_t size) {
  void* block = malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  ++g_liveBlocks;
  return block;
}
void* operator new[](size_t size) {
  return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  void* block = malloc(size != 0 ? size : 1);
  if (block != nullptr) ++g_liveBlocks;
  return block;
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  --g_liveBlocks;
  free(block);
}
void operator delete[](void* block) noexcept {
  operator delete(block);
}
void operator delete(void* block, size_t) noexcept {
  operator delete(block);
}
void operator delete[](void* block, size_t) noexcept {
  operator delete(block);
}
