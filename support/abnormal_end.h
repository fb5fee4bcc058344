#pragma once

// Makes abort() end the process at once with the runtime's abnormal status (3), without
// the runtime's message box or fault report, which would block invisibly. Only the
// launcher's own record can still make a text too long for its buffer; everything from
// outside is reported as a failure (support/failure.h).
void silence_abnormal_end();
