#pragma once
// What can be seen of an ICE before the installer runs it: an ICE is a custom action of its cub, most
// often a DLL stored in the cub's Binary table. The installer runs a DLL built for another processor in
// a server process of that processor's; where the system has none (a 64-bit system without its 32-bit
// subsystem), the installer waits for the server forever instead of failing.
#include <windows.h>
#include <msi.h>
#include <string>
#include <vector>

// Why the ICE cannot run here, in words, or empty when nothing can be seen against it. `cub` is the
// cub's open database.
std::wstring WhyIceCannotRun(MSIHANDLE cub, const std::wstring& ice);

// The processor a DLL's bytes are built for (IMAGE_FILE_MACHINE_*), or 0 when they are no program file.
WORD ProgramMachine(const std::vector<char>& head);
