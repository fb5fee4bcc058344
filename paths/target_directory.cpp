#include "paths/target_directory.h"

#include "paths/full_path.h"
#include "paths/spec_expansion.h"

Failure resolve_target_directory(LaunchState& state) {
  ExpansionReport report;
  bool expanded = expand_target_spec(state.target_directory, state.target_template,
                                     target_directory_capacity, &report);
  state.cache_dir_moved = report.cache_dir_moved;
  if (report.too_long) {
    return too_long_failure(FailureKind::target_too_long, state.target_template, report.length,
                            target_directory_capacity - 1);
  }
  // Reported before the partial text is made absolute, which would fail on it once more.
  if (!expanded) {
    return catalogued_failure(FailureKind::target_not_expanded, state.target_template);
  }
  return make_target_absolute(state.target_directory);
}
