#pragma once
// Entry names that Windows would take for something else than a file below the target
// folder (a device, a stream, a folder above), or store under another name (trailing dots
// and spaces dropped), or not store at all. The launcher refuses an archive holding any of
// them, and the pack tool's list, verify and extract refuse the same archive.
inline constexpr const char16_t* refused_entry_names[] = {
    u"COM0",         u"lpt0.txt",      u"sub\\Com0.log", u"com\u00b2", u"evil.",
    u"evil ",        u"sub\\evil.\\x", u"sub \\x",       u"x.exe. ",   u"a<b",
    u"a>b",          u"a\"b",          u"a|b",           u"a?b",       u"a*b",
    u"x.exe:stream", u"..\\x.exe",     u"\\x.exe",       u"C:x.exe",   u"sub\\\\x",
    u"NUL",          u"con .txt",      u"CONOUT$",       u"sub\\.\\x", u"x\ty",
};
