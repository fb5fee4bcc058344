#pragma once

// Takes the "\\?\" prefix off a drive-letter path and turns "\\?\UNC\server\..." back
// into "\\server\..."; any other prefixed path keeps its prefix. Works in place.
void strip_long_path_prefix(wchar_t* path);
