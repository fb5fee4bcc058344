#pragma once

// The DLL search order and the hand-off variables that must be settled before the target
// directory is expanded.
void prepare_environment();

// Where the launcher lives and how it was invoked, for the child.
void publish_launcher_identity(const wchar_t* launcher_path, const wchar_t* argv0);
