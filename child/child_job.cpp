#include "child/child_job.h"

namespace {

// Ends the child when the job's last handle closes: the launcher holds the only one,
// and the system closes it when the launcher ends, however it ends. Processes the child
// starts leave the job, so helpers and updaters that outlive the program keep running;
// an explicit request to leave it is allowed as well.
constexpr DWORD child_job_limits = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                                   JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK |
                                   JOB_OBJECT_LIMIT_BREAKAWAY_OK;

}  // namespace

HANDLE create_child_job() {
  // Not inheritable: a handle in the child would keep the job open past the launcher.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  ZeroMemory(&limits, sizeof limits);
  limits.BasicLimitInformation.LimitFlags = child_job_limits;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}
