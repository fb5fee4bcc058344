#include "paths/target_directory.h"

#include "paths/full_path.h"
#include "paths/spec_expansion.h"

Failure resolve_target_directory(LaunchState& state) {
  ExpansionReport report;
  bool expanded = expand_target_spec(state.target_directory, state.target_template,
                                     target_directory_capacity, &report);
  state.cache_dir_moved = report.cache_dir_moved;
  if (report.too_long) {
    return too_long_failure("Error, the target directory '", state.target_template, "'",
                            report.length, target_directory_capacity - 1);
  }
  // Reported before the partial text is made absolute, which would fail on it once more.
  if (!expanded) {
    return quoted_failure("Error, couldn't runtime expand spec '", state.target_template, "'.",
                          abnormal_status);
  }
  return make_target_absolute(state.target_directory);
}
