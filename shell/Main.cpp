// Entry point: the shell's start-up does the work.
#include <windows.h>

int RunDravnetta(HINSTANCE instance, int show);

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    return RunDravnetta(instance, show);
}
