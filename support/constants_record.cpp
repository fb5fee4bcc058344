// Only the pack tool writes this record, so no code here reads it: the compiler cannot
// fold the placeholder values into the launcher's code.
#include "support/constants_record.h"

extern "C" {
extern const ConstantsRecord kovran_constants;
__attribute__((used)) const ConstantsRecord kovran_constants = {
    {'K', 'O', 'V', 'R', 'A', 'N', '-', 'C', 'O', 'N', 'S', 'T', 0x7E, 0x1D, 0xA3, 0x59},
    0,
    record_layout_with_options,
    0,
    L"{PROGRAM_DIR}\\.qorvix\\runtime-1.17.4-legacy2008",
    L"1.17.4.0",
    reuse_by_crc,
    0,
    0,
    0,
    0,
    0,
    0};
}
