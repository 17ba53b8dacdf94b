// Loads a version file with only so many megabytes of address space to spare, and prints how the
// load ended and what the version stamp made of it: "result=<LoadResult> sections=<n> label=<l>".
// Built without the sanitizers: AddressSanitizer holds terabytes of address space and ends the
// program itself when memory runs out, so only a plain program can run out of memory the way the
// loader must survive.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "record/RecordDocument.h"
#include "record/VersionStamp.h"

namespace {

struct Seen {
  int result = -1;
  long sections = -1;
  VersionStamp stamp;
};

int Visit(CRecordDocument* document, void* context) {
  Seen* seen = static_cast<Seen*>(context);
  seen->result = document->GetLoadResult();
  seen->sections = static_cast<long>(document->GetSectionCount());
  return ReadInstallSection(document, &seen->stamp);
}

// The address space in use now, from /proc/self/statm (its first field, in pages).
long long AddressSpaceInUse() {
  FILE* statm = fopen("/proc/self/statm", "r");
  long long pages = 0;
  if (statm != nullptr) {
    if (fscanf(statm, "%lld", &pages) != 1) pages = 0;
    fclose(statm);
  }
  return pages * 4096;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s VERSION_FILE SPARE_MEGABYTES\n", argv[0]);
    return 2;
  }
  Seen seen;
  memset(&seen.stamp, 0, sizeof seen.stamp);
  const long long spare = atoll(argv[2]) << 20;
  const rlimit limit = {static_cast<rlim_t>(AddressSpaceInUse() + spare),
                        static_cast<rlim_t>(AddressSpaceInUse() + spare)};
  if (setrlimit(RLIMIT_AS, &limit) != 0) {
    perror("setrlimit");
    return 2;
  }
  const int visited = ReadRecordFile(argv[1], Visit, &seen);
  // The document is gone by now, and its memory with it: printing can allocate again.
  printf("result=%d sections=%ld label=%s visited=%d\n", seen.result, seen.sections,
         seen.stamp.label, visited);
  return 0;
}
