// Until the update flow is built, opening a library for update fails as a
// data error, so an update job stops before touching the drive and its backup
// is put back.
#include "library/update/update_ops.h"

#include "library/builder/library_builder.h"

namespace qv {

int OpenLibraryForUpdate(const char*, uint32_t) {
  return kEngineBuildFailed;
}
int MatchFoundFile(const char*, const char*) {
  return kEngineBuildFailed;
}
int ApplyRemovals() {
  return kEngineBuildFailed;
}
uint32_t UpdateChangeFlags() {
  return 0;
}
uint32_t PendingAdditionCount() {
  return 0;
}
int LoadPendingAddition(const char*) {
  return kEngineBuildFailed;
}
int AddPendingFile(const char*, int, uint32_t, uint32_t) {
  return kEngineBuildFailed;
}
int FlushUpdateBuild(int, int) {
  return kEngineBuildFailed;
}
int FinishUpdate() {
  return kEngineBuildFailed;
}
void CloseUpdate() {}

}  // namespace qv
