#include "child/child_job.h"

namespace {

// Ends the child when the job's last handle closes: the launcher holds the only one, and
// the system closes it when the launcher ends, however it ends. A process may leave the job
// when it asks to.
constexpr DWORD child_job_limits =
    JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;

bool set_limits(HANDLE job, DWORD flags) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  ZeroMemory(&limits, sizeof limits);
  limits.BasicLimitInformation.LimitFlags = flags;
  return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) !=
         FALSE;
}

}  // namespace

HANDLE create_child_job() {
  // Not inheritable: a handle in the child would keep the job open past the launcher.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  if (!set_limits(job, child_job_limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// Only once the child is in the job: while the launcher is in it too, it would let the child
// leave as well.
bool let_descendants_leave(HANDLE job) {
  return set_limits(job, child_job_limits | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK);
}
