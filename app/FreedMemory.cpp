#include "app/FreedMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void GiveBackFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0); // returns the free pages inside every arena too, not only those at the heap's end
#endif
}
