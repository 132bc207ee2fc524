// The view cache serves one database handle at a time and keeps that handle open while it holds views.
#include "model/MsiApi.h"
#include "model/ViewCache.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace model_testing;

TEST(ViewCache, ServesOneHandleAndHoldsItOpen)
{
    testing_support::ScratchFolder folder;
    std::wstring first_path = folder.file(L"first.msi"), second_path = folder.file(L"second.msi");
    const wchar_t* create = L"CREATE TABLE `T` (`K` CHAR(10) NOT NULL PRIMARY KEY `K`)";
    CreateDatabaseFile(first_path, {create});
    CreateDatabaseFile(second_path, {create});
    MsiHandle first = msi::OpenDatabase(first_path, MSIDBOPEN_TRANSACT);
    MsiHandle second = msi::OpenDatabase(second_path, MSIDBOPEN_TRANSACT);
    const std::wstring sql = L"INSERT INTO `T` (`K`) VALUES (?)";

    ViewCache cache;
    EXPECT_FALSE(cache.Serves(first.get()));
    cache.Bind(first);
    cache.Add(sql, msi::DatabaseOpenView(first.get(), sql));
    EXPECT_TRUE(cache.Serves(first.get()));
    EXPECT_TRUE(cache.Find(sql));
    // Binding the same handle again keeps the views.
    cache.Bind(first);
    EXPECT_EQ(1u, cache.size());
    // The handle's owner lets go: the cache still holds it, so its number cannot come back for another.
    MSIHANDLE number = first.get();
    first.reset();
    EXPECT_TRUE(cache.Serves(number));
    EXPECT_NE(0u, msi::RecordGetFieldCount(msi::DatabaseGetPrimaryKeys(number, L"T").get()));

    cache.Bind(second);
    EXPECT_FALSE(cache.Serves(number));
    EXPECT_FALSE(cache.Find(sql));
    cache.Add(sql, msi::DatabaseOpenView(second.get(), sql));
    cache.Clear();
    EXPECT_TRUE(cache.Serves(second.get()));
    EXPECT_EQ(0u, cache.size());
    cache.Unbind();
    EXPECT_FALSE(cache.Serves(second.get()));
    EXPECT_EQ(1, second.use_count());
}
