#include "pack/archive/reuse_rule.h"

#include <cstdio>

#include "support/constants_record.h"

namespace pack {
namespace {

constexpr uint64_t ticks_per_second = 10000000;
constexpr uint64_t stamp_step = 2 * ticks_per_second;
// 1981-01-01 00:00:00 UTC, after the 1980 that archive tools and reproducible builds give
// files; 2^28 steps of two seconds reach into 1998.
constexpr uint64_t stamp_epoch = 119916288000000000ULL;
constexpr uint64_t stamp_steps = uint64_t{1} << 28;
constexpr int64_t seconds_from_1601_to_1970 = 11644473600;

}  // namespace

std::string reuse_description(uint32_t rule, uint64_t stamp) {
  if (rule != reuse_by_stamp) return "crc, files read for their CRC-32";
  return "stamp, files kept by size and last-write time " + filetime_text(stamp);
}

void add_reuse_rule(ContentId& id, uint32_t rule) {
  if (rule != reuse_by_stamp) return;
  static const char tag[] = "reuse=stamp";
  id.add(tag, sizeof tag - 1);
}

// The hash's top 28 bits.
uint64_t reuse_stamp(const ContentId& id) {
  return stamp_epoch + (id.value() >> 36) % stamp_steps * stamp_step;
}

bool is_reuse_stamp(uint64_t filetime) {
  return filetime >= stamp_epoch && (filetime - stamp_epoch) % stamp_step == 0 &&
         (filetime - stamp_epoch) / stamp_step < stamp_steps;
}

std::string filetime_text(uint64_t filetime) {
  int64_t seconds = static_cast<int64_t>(filetime / ticks_per_second) - seconds_from_1601_to_1970;
  int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t in_day = seconds - days * 86400;
  // Days since 1970-01-01 to a civil date, in eras of 400 years from 0000-03-01.
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t day_of_era = z - era * 146097;
  int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t month_index = (5 * day_of_year + 2) / 153;
  int64_t day = day_of_year - (153 * month_index + 2) / 5 + 1;
  int64_t month = month_index < 10 ? month_index + 3 : month_index - 9;
  int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  char text[128];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld UTC",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), static_cast<long long>(in_day / 3600),
                static_cast<long long>(in_day / 60 % 60), static_cast<long long>(in_day % 60));
  return text;
}

}  // namespace pack
