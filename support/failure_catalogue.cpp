#include "support/failure_catalogue.h"

namespace {

// Defined once, so that the words are in the launcher once.
const FailureEntry failure_catalogue[] = {
    /* none */ {nullptr, nullptr, 0, false, Advice::none},
    /* cancelled: says nothing */ {nullptr, nullptr, interrupted_status, false, Advice::none},
    /* damaged */
    {"Error, couldn't decode attached data.", nullptr, failure_status, true, Advice::get_again},
    /* no_header */
    {"Error, couldn't find attached data header.", nullptr, failure_status, true,
     Advice::get_again},
    /* out_of_memory */
    {"Error, couldn't allocate memory.", nullptr, failure_status, true, Advice::none},
    /* console_handler */
    {"Error, failed to register signal handler.", nullptr, failure_status, true, Advice::none},
    /* launcher_path_unreadable */
    {"Error, couldn't read the launcher's path", nullptr, failure_status, false, Advice::none},
    /* launcher_path_too_long */
    {"Error, the launcher's path", nullptr, abnormal_status, false, Advice::none},
    /* cache_dir_relative */
    {"Error, KOVRAN_ONEFILE_CACHE_DIR must be an absolute path, not '", "'.", failure_status, false,
     Advice::none},
    /* cache_dir_too_long */
    {"Error, KOVRAN_ONEFILE_CACHE_DIR", nullptr, abnormal_status, false, Advice::none},
    /* target_too_long */
    {"Error, the target directory '", "'", abnormal_status, false, Advice::none},
    /* target_not_expanded */
    {"Error, couldn't runtime expand spec '", "'.", abnormal_status, false, Advice::none},
    /* target_full_path_too_long */
    {"Error, the target directory '", "' as a full path", abnormal_status, false, Advice::none},
    /* target_not_full_path */
    {"Error, the target directory '", "' cannot be made a full path", abnormal_status, false,
     Advice::none},
    /* open_for_writing */
    {"Error, failed to open '", "' for writing.", failure_status, false, Advice::writable_folder},
    /* write */
    {"Error, couldn't unpack file to target path.", nullptr, failure_status, false,
     Advice::writable_folder},
    /* entry_path_too_long */
    {"Error, the path of '", "' below the target directory", abnormal_status, false, Advice::none},
    /* command_line_too_long */
    {"Error, the command line for the program", nullptr, abnormal_status, false,
     Advice::shorter_command_line},
    /* launch */
    {"Error, couldn't launch child", nullptr, failure_status, false, Advice::start_reason},
};
static_assert(sizeof failure_catalogue / sizeof failure_catalogue[0] ==
                  static_cast<size_t>(FailureKind::count),
              "one entry per kind");

}  // namespace

const FailureEntry& failure_entry(FailureKind kind) {
  return failure_catalogue[static_cast<size_t>(kind)];
}
