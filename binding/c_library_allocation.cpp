// The library's counting allocation functions under C names, for the C
// libraries built into it: libyaml's archive has its malloc, realloc, free
// and strdup renamed to these (cmake/QcpDependencies.cmake).

#include <cstddef>

#include "binding/library_allocator.h"

extern "C" {

void* qcpLibraryMalloc(std::size_t bytes) { return Quor::libraryAllocate(bytes); }

void* qcpLibraryRealloc(void* block, std::size_t bytes) {
  if (block == nullptr) return Quor::libraryAllocate(bytes);
  return Quor::libraryReallocate(block, bytes);
}

void qcpLibraryFree(void* block) { Quor::libraryFree(block); }

char* qcpLibraryStrdup(const char* text) { return Quor::libraryDuplicateText(text); }

}  // extern "C"
