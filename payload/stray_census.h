#pragma once
// A takeover under the stamp rule lists every folder the new build has anyway; on the way it
// notes which of them hold a name the build does not. Once every file is written, only those
// are looked through again (payload/stray_removal.h), not the whole tree a second time: under
// Wine each folder's listing costs several trips to its server.
#include <windows.h>

#include <cstdint>

struct StampRule;

// A folder of the build: the first `length` units of an entry's name, its backslash
// included; 0 units is the target itself.
struct CensusFolder {
  const wchar_t* name;
  uint32_t length;
};

struct StrayCensus {
  // The listing's folders (those holding files) in its order, then those that hold only
  // folders, the target among them when it holds no file.
  CensusFolder* folders;
  uint32_t listed_count;
  uint32_t count;
  // One byte per folder, each written by the one thread that lists it: set when the folder
  // holds a name that is not the build's, or a link.
  unsigned char* flagged;
  // Set once a folder could not be listed: then the census tells nothing.
  volatile LONG failed;
};

// The census of the rule's listing folders (rule.folder_starts); nullptr without the memory.
StrayCensus* plan_stray_census(const StampRule& rule);

// What folder `folder` of the census holds, one found name at a time: is_entry when the name is
// one of the build's files there.
void census_found(const StampRule& rule, uint32_t folder, const WIN32_FIND_DATAW& found,
                  bool is_entry);
// A folder's listing did not open with error; a folder that is not there holds nothing.
void census_listing_failed(StrayCensus& census, DWORD error);
