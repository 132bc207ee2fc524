#include "foundation/Format.h"
#include "foundation/MessageTrail.h"

#include <gtest/gtest.h>
#include <thread>

using namespace tamblewick_foundation_classes_v1_0;

namespace {

std::wstring formatted(const std::wstring& format, std::initializer_list<std::wstring> args)
{
    std::wstring out;
    Format f(format, out);
    for (const auto& a : args)
        f << a;
    return out;
}

} // namespace

TEST(Format, PlaceholdersLiteralsAndSurplus)
{
    std::wstring out;
    Format(L"%s returned %X", out) << L"A" << 255u;
    EXPECT_EQ(out, L"A returned FF");
    out.clear();
    Format(L"%s returned %x", out) << L"A" << 255u;
    EXPECT_EQ(out, L"A returned ff");
    EXPECT_EQ(formatted(L"100%% done", {}), L"100% done");
    EXPECT_EQ(formatted(L"50%", {L"x"}), L"50x");
    EXPECT_EQ(formatted(L"a %s b %s c", {L"1"}), L"a 1 b ");
    EXPECT_EQ(formatted(L"abc", {L"d"}), L"abcd");
    // Strings go in unchanged whatever the letter.
    EXPECT_EQ(formatted(L"[%i][%X]", {L"s", L"t"}), L"[s][t]");
}

TEST(Format, NumbersFollowTheirType)
{
    std::wstring out;
    Format(L"%i", out) << 0xFFFFFFFFu;
    EXPECT_EQ(out, L"4294967295");
    out.clear();
    Format(L"%i", out) << -1L;
    EXPECT_EQ(out, L"-1");
    out.clear();
    Format(L"%i/%i", out) << 7UL << -7L;
    EXPECT_EQ(out, L"7/-7");
    out.clear();
    Format(L"message %i with params %i, %i", out) << 273u << 65535u << -2L;
    EXPECT_EQ(out, L"message 273 with params 65535, -2");
}

TEST(MessageTrail, LinesReuseAndThreads)
{
    clear_thread_messages();
    Format(L"first %s") << L"line";
    Format(L"second");
    ASSERT_EQ(thread_messages().size(), 2u);
    EXPECT_EQ(thread_messages().front(), L"first line");
    Format(L"");
    Format(L"");
    EXPECT_EQ(thread_messages().size(), 3u) << "an empty last line is reused";

    DWORD worker_id = 0;
    std::thread worker([&worker_id] {
        worker_id = GetCurrentThreadId();
        Format(L"worker one");
        Format(L"worker two");
        EXPECT_EQ(thread_messages().size(), 2u);
        erase_thread_messages();
    });
    worker.join();
    EXPECT_EQ(thread_messages().size(), 3u) << "a worker's lines stay on the worker";
    EXPECT_FALSE(has_thread_messages(worker_id));
    clear_thread_messages();
    EXPECT_TRUE(thread_messages().empty());
}
