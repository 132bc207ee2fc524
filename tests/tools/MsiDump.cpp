// msidump PATH [/md5] [/transact]: prints a database through the model, for tests and for looking at any
// database by hand. Output is UTF-8.
#include "tools/ModelDump.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"

#include <cstdio>
#include <exception>

int wmain(int argc, wchar_t** argv)
{
    std::wstring path;
    bool digests = false;
    const wchar_t* mode = MSIDBOPEN_READONLY;
    for (int at = 1; at < argc; ++at) {
        std::wstring argument = argv[at];
        if (argument == L"/md5")
            digests = true;
        else if (argument == L"/transact")
            mode = MSIDBOPEN_TRANSACT;
        else
            path = argument;
    }
    if (path.empty()) {
        std::fputs("usage: msidump PATH [/md5] [/transact]\n", stderr);
        return 2;
    }
    try {
        MsiFile file;
        file.Open(path, mode);
        std::string text = tfc::to_narrow(model_dump::DumpDatabase(file, digests), CP_UTF8);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    } catch (const tfc::Win32Error& error) {
        // What the program's error dialog would say ("The file is damaged ...: path" for a refused file).
        std::fprintf(stderr, "%s\n", tfc::to_narrow(error.description(), CP_UTF8).c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    } catch (const tfc::ManageableError& error) {
        std::fprintf(stderr, "%s\n", tfc::to_narrow(error.message, CP_UTF8).c_str());
    }
    std::string trail = tfc::to_narrow(tfc::joined_thread_messages(), CP_UTF8);
    if (!trail.empty())
        std::fprintf(stderr, "%s\n", trail.c_str());
    return 1;
}
