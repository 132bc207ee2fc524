// Query helpers: a row replacement touches exactly the one row its condition selects; a qualified-component
// entry too long for the first buffer is asked for again, not taken as the end.
#include "model/installer/MsiCallFaults.h"
#include "model/MsiQuery.h"
#include "foundation/Errors.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

const wchar_t kUnknownComponent[] = L"{6F1E1C5A-0000-4C1D-9D4E-000000000002}";

} // namespace

TEST(EnumQualifiedComponents, LongEntryIsAskedForAgainWithMoreRoom)
{
    msi::ScopedCallFaults faults;
    msi::StartCountingCalls();
    msi::FailCall(L"MsiEnumComponentQualifiers", 1, ERROR_MORE_DATA);
    EXPECT_TRUE(EnumQualifiedComponents(kUnknownComponent).empty());
    EXPECT_EQ(2u, msi::CallCount(L"MsiEnumComponentQualifiers"));

    msi::FailCall(L"MsiEnumComponentQualifiers", 1, ERROR_INSTALL_FAILURE);
    try {
        EnumQualifiedComponents(kUnknownComponent);
        FAIL() << "a failed enumeration passed as an empty one";
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(L"MsiEnumComponentQualifiers", error.function());
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_FAILURE), static_cast<DWORD>(error.code()));
    }
}

TEST(MsiQuery, ReplaceChangesOnlyTheOneRowItsConditionSelects)
{
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"replace.msi");
    model_testing::CreateDatabaseFile(
        path, {L"CREATE TABLE `T` (`K` CHAR(20) NOT NULL, `V` SHORT PRIMARY KEY `K`)",
               L"INSERT INTO `T` (`K`, `V`) VALUES ('a', 1)", L"INSERT INTO `T` (`K`, `V`) VALUES ('b', 1)"});
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    model_testing::Execute(database.get(), L"INSERT INTO `T` (`K`, `V`) VALUES (?, 2)",
                           {model_testing::Param::Text(L"O'Brien")});
    auto condition = [](const wchar_t* text, const model_testing::Param& value) {
        return SqlCondition{text, model_testing::ParamRecord({value})};
    };
    auto set_v = [](int value) {
        return [value](MSIHANDLE record) { msi::RecordSetInteger(record, 2, value); };
    };
    const std::vector<std::vector<std::string>> before = {{"a", "1"}, {"b", "1"}};

    try {
        MsiQuery::ReplaceOneRow(database.get(), L"T", condition(L"`V`=?", model_testing::Param::Int(1)),
                                set_v(9));
        FAIL() << "replaced through a condition that selects two rows";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("The condition of the row to change selects more than one row", error.what());
    }
    EXPECT_THROW(MsiQuery::ReplaceOneRow(database.get(), L"T",
                                         condition(L"`K`=?", model_testing::Param::Text(L"gone")), set_v(9)),
                 std::runtime_error);
    EXPECT_EQ(before, model_testing::SelectRows(database.get(), L"SELECT * FROM `T` WHERE `V`=1"));

    MsiQuery::ReplaceOneRow(database.get(), L"T", condition(L"`K`=?", model_testing::Param::Text(L"O'Brien")),
                            set_v(7));
    EXPECT_EQ(before, model_testing::SelectRows(database.get(), L"SELECT * FROM `T` WHERE `V`=1"));
    EXPECT_EQ((std::vector<std::vector<std::string>>{{"O'Brien", "7"}}),
              model_testing::SelectRows(database.get(), L"SELECT * FROM `T` WHERE `V`<>1"));
}
