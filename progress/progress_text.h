#pragma once
// How far an unpack is, in words.
#include <cstddef>
#include <cstdint>

#include "progress/unpack_progress.h"

// What creating one file costs, as the bytes that could be written in its time: under Wine
// on this project's machine (two cores, shared), `bash bench/progress_file_cost.sh build
// --runs 5` on 2026-12-10 gave 664 us a file against 79 MB/s, 54 KiB (rounds 44 to
// 189 KiB, load 10-11); idle, both sides are faster by about as much. A round 64 KiB.
constexpr uint64_t file_weight_bytes = 64 * 1024;

// How far an unpack is, in thousandths of its work: its bytes, and, once the count of its
// files is known (files_total != 0), each file as file_weight_bytes more, so that many small
// files move it as much as they take time. 1000 only once everything is done.
uint32_t work_done_permille(uint64_t done, uint64_t total, uint64_t files_done,
                            uint64_t files_total);

// The same for what an unpack has told its progress so far.
uint32_t progress_permille(const UnpackProgress& progress);

// "45 % (41 MB of 92 MB)", the share in whole percent and the sizes; "41 MB" when the total
// is not known. Sizes below 10 MB get a tenth: "1.4 MB".
void format_progress_figures(wchar_t* text, size_t capacity, uint64_t done, uint64_t total,
                             uint32_t permille);

// "Unpacking NAME: " and the figures, cut to at most width units.
void format_progress_line(wchar_t* text, size_t capacity, const wchar_t* name, uint64_t done,
                          uint64_t total, uint32_t permille, size_t width);
