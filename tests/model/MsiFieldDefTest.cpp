#include "model/MsiBinaryData.h"
#include "model/MsiFieldDef.h"
#include "model/MsiQuery.h"
#include "foundation/Convert.h"
#include "foundation/Options.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"
#include "tools/ModelDump.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

MsiFieldDefRef Column(const std::wstring& type, const std::wstring& name = L"C", bool key = false,
                      MsiFieldSchema::Ptr schema = nullptr)
{
    return MakeFieldDef(name, key, type, 0, schema);
}

MsiFieldDataRef Parsed(const MsiFieldDef& column, const std::wstring& text)
{
    MsiFieldDataRef cell(new MsiFieldData());
    column.set_field_data(*cell, text);
    return cell;
}

// What a condition on the cell hands the installer as its parameter.
std::wstring ConditionParam(const MsiFieldDef& column, const MsiFieldData& cell)
{
    MsiHandle record = msi::CreateRecord(1);
    column.set_condition_data(record.get(), 1, cell);
    return MsiQuery::RecordText(record.get());
}

MsiFieldSchema::Ptr SchemaOf(FieldCategory category, bool bit_flags = false)
{
    auto schema = std::make_shared<MsiFieldSchema>(L"T", L"C");
    schema->set_category(L"", category);
    if (bit_flags)
        schema->named_values.push_back(NamedValue{L"Flag", 1, 0});
    return schema;
}

} // namespace

TEST(MsiFieldDef, TypeTextsDecodeToKindWidthAndFlags)
{
    struct Case
    {
        const wchar_t* type;
        const wchar_t* name;
        bool key;
        MsiFieldKind kind;
        const wchar_t* description;
        const wchar_t* definition;
    };
    const Case cases[] = {
        {L"s72", L"Property", true, MsiFieldKind::String, L"Property: String (72), Key, Required",
         L"`Property` CHAR(72) NOT NULL"},
        {L"S0", L"Name", false, MsiFieldKind::String, L"Name: String (\x221E)", L"`Name` LONGCHAR"},
        {L"L0", L"Text", false, MsiFieldKind::String, L"Text: String (\x221E), Localizable",
         L"`Text` LONGCHAR LOCALIZABLE"},
        {L"l255", L"Dir", false, MsiFieldKind::String, L"Dir: String (255), Required, Localizable",
         L"`Dir` CHAR(255) NOT NULL LOCALIZABLE"},
        {L"i2", L"Attributes", false, MsiFieldKind::Integer, L"Attributes: Number (2), Required",
         L"`Attributes` INT NOT NULL"},
        {L"I4", L"Size", false, MsiFieldKind::Integer, L"Size: Number (4)", L"`Size` LONG"},
        {L"V0", L"Data", false, MsiFieldKind::Binary, L"Data: Binary(\x221E)", L"`Data` OBJECT"},
        {L"v0", L"Data", false, MsiFieldKind::Binary, L"Data: Binary(\x221E), Required",
         L"`Data` OBJECT NOT NULL"},
        // Any other letter is a plain string (Wine marks temporary columns so).
        {L"x5", L"Other", false, MsiFieldKind::String, L"Other: String (5), Required",
         L"`Other` CHAR(5) NOT NULL"},
        {L"G12", L"Temp", false, MsiFieldKind::String, L"Temp: String (12)", L"`Temp` CHAR(12)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        MsiFieldDefRef column = Column(c.type, c.name, c.key);
        EXPECT_EQ(c.kind, column->kind());
        EXPECT_EQ(c.description, column->description());
        EXPECT_EQ(c.definition, column->sql_definition());
        EXPECT_EQ(c.type, column->type_text());
    }
    EXPECT_EQ(72u, Column(L"s72")->width());
    EXPECT_TRUE(Column(L"S72")->nullable());
    EXPECT_FALSE(Column(L"s72")->nullable());
    EXPECT_TRUE(Column(L"L0")->localizable());
    EXPECT_FALSE(Column(L"S0")->localizable());
    EXPECT_THROW(Column(L"s72", L"bad`name")->sql_definition(), std::runtime_error);
}

TEST(MsiFieldDef, StringsStoreEmptyAsNull)
{
    MsiFieldDefRef column = Column(L"s72");
    MsiFieldDataRef cell = Parsed(*column, L"");
    EXPECT_TRUE(cell->is_null());
    EXPECT_EQ(L"<null>", column->display_str(*cell));
    EXPECT_EQ(L"", ConditionParam(*column, *cell));
    EXPECT_EQ(L"", column->clipboard_str(*cell));
    ASSERT_EQ(1u, column->validate(*cell).size());
    EXPECT_EQ(L"The field must have a value", column->validate(*cell)[0].second);

    cell = Parsed(*column, L"O'Brien");
    EXPECT_EQ(L"O'Brien", column->display_str(*cell));
    EXPECT_EQ(L"O'Brien", ConditionParam(*column, *cell));
    EXPECT_EQ(14u, cell->size());
    EXPECT_EQ(L"O'Brien", column->clone_data(*cell)->string());
    EXPECT_TRUE(column->clone_data(MsiFieldData())->is_null());

    MsiFieldDefRef short_column = Column(L"S3");
    MsiValidation messages = short_column->validate(*Parsed(*short_column, L"four"));
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(L"The string exceeds the length of the field", messages[0].second);
    EXPECT_TRUE(short_column->validate(MsiFieldData()).empty());
}

TEST(MsiFieldDef, GuidColumnsCheckShapeAndCase)
{
    MsiFieldDefRef column = Column(L"S38", L"ComponentId", false, SchemaOf(FieldCategory::GUID));
    EXPECT_TRUE(column->validate(*Parsed(*column, L"{5B3B3FC1-533D-4C29-BFB3-0E88B51E59D8}")).empty());
    MsiValidation lower = column->validate(*Parsed(*column, L"{5b3b3fc1-533D-4C29-BFB3-0E88B51E59D8}"));
    ASSERT_EQ(1u, lower.size());
    EXPECT_EQ(L"A guid should not have lower case characters", lower[0].second);
    MsiValidation bare = column->validate(*Parsed(*column, L"5B3B3FC1-533D-4C29-BFB3-0E88B51E59D8"));
    ASSERT_EQ(1u, bare.size());
    EXPECT_EQ(L"The string does not match the guid format", bare[0].second);
    EXPECT_EQ(2u, column->validate(*Parsed(*column, L"{not a guid}")).size());
}

TEST(MsiFieldDef, NumbersParseAsUnsigned32BitText)
{
    MsiFieldDefRef optional = Column(L"I4");
    MsiFieldDefRef required = Column(L"i4");
    EXPECT_TRUE(Parsed(*optional, L"")->is_null());
    EXPECT_EQ(0, required->integer_value(*Parsed(*required, L"")));
    struct Case
    {
        const wchar_t* text;
        int value;
    };
    const Case cases[] = {{L"12abc", 12},
                          {L" -5", -5},
                          {L"+7", 7},
                          {L"4294967295", -1},
                          {L"4294967296", -1},
                          {L"99999999999999999999", -1},
                          {L"abc", 0},
                          {L"2147483647", INT32_MAX},
                          {L"-2147483647", -INT32_MAX},
                          {L"0x10", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(c.value, required->integer_value(*Parsed(*required, c.text))) << c.text;

    MsiFieldDataRef marker = Parsed(*required, L"2147483648");
    EXPECT_FALSE(marker->is_null());
    EXPECT_EQ(L"<null>", required->display_str(*marker));
    MsiValidation messages = required->validate(*marker);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(2, messages[0].first);
    EXPECT_EQ(L"The field must have a value", messages[0].second);
    EXPECT_TRUE(optional->validate(*marker).empty());

    MsiFieldDefRef required_short = Column(L"i2");
    EXPECT_EQ(1u, required_short->validate(*Parsed(*required_short, L"-32768")).size());
    EXPECT_TRUE(required_short->validate(*Parsed(*required_short, L"-32767")).empty());
    EXPECT_TRUE(Column(L"I2")->validate(*Parsed(*required_short, L"-32768")).empty());
    EXPECT_TRUE(Column(L"i4")->validate(*Parsed(*required, L"-32768")).empty());

    MsiFieldDataRef five = MakeIntegerFieldData(5);
    EXPECT_EQ(L"5", ConditionParam(*required, *five));
    EXPECT_EQ(L"5", required->clipboard_str(*five));
    EXPECT_EQ(5, required->clone_data(*five)->integer());
    EXPECT_THROW(Column(L"s72")->integer_value(*five), std::runtime_error);
}

TEST(MsiFieldDef, TwoByteColumnsTakeOnlyWhatTheInstallerStores)
{
    MsiFieldDefRef optional = Column(L"I2");
    MsiFieldDefRef required = Column(L"i2");
    // -32768 is stored as null: shown and checked as null.
    MsiFieldDataRef marker = Parsed(*optional, L"-32768");
    EXPECT_EQ(L"<null>", optional->display_str(*marker));
    EXPECT_TRUE(optional->validate(*marker).empty());
    EXPECT_EQ(L"The field must have a value", required->validate(*marker).at(0).second);
    for (const wchar_t* text : {L"32768", L"40000", L"65535", L"-32769", L"99999"}) {
        SCOPED_TRACE(text);
        MsiValidation messages = optional->validate(*Parsed(*optional, text));
        ASSERT_EQ(1u, messages.size());
        EXPECT_EQ(L"Out of range for a 2 byte integer", messages[0].second);
        EXPECT_EQ(1u, required->validate(*Parsed(*required, text)).size());
    }
    EXPECT_TRUE(Column(L"i4")->validate(*Parsed(*required, L"40000")).empty());

    // Whatever passes the check is what the database gives back.
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"short.msi");
    model_testing::CreateDatabaseFile(path,
                                      {L"CREATE TABLE `T` (`K` SHORT NOT NULL, `V` SHORT PRIMARY KEY `K`)"});
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    int key = 0;
    for (const wchar_t* text : {L"32767", L"-32767", L"0", L"-32768", L"32768", L"70000", L"-40000"}) {
        SCOPED_TRACE(text);
        MsiFieldDataRef cell = Parsed(*optional, text);
        if (!optional->validate(*cell).empty())
            continue;
        MsiHandle record = msi::CreateRecord(2);
        msi::RecordSetInteger(record.get(), 1, ++key);
        optional->set_record_data(record.get(), 2, *cell);
        MsiHandle view = msi::DatabaseOpenView(database.get(), L"INSERT INTO `T` (`K`, `V`) VALUES (?, ?)");
        msi::ViewExecute(view.get(), record.get());
        auto rows = model_testing::SelectRows(database.get(), L"SELECT `V` FROM `T` WHERE `K`=?",
                                              {model_testing::Param::Int(key)});
        ASSERT_EQ(1u, rows.size());
        EXPECT_EQ(tfc::to_narrow(optional->display_str(*cell)), rows[0][0]);
    }
    EXPECT_EQ(4, key);
}

TEST(MsiFieldDef, BitFlagColumnsFollowTheDisplayOption)
{
    int saved = gOptions.bit_flags_display;
    MsiFieldDefRef flags = Column(L"i2", L"Attributes", false, SchemaOf(FieldCategory::Integer, true));
    MsiFieldDefRef hex4 = Column(L"i4", L"Attributes", false, SchemaOf(FieldCategory::Hex));
    MsiFieldDataRef ten = MakeIntegerFieldData(10);
    gOptions.bit_flags_display = Options::BIT_FLAGS_HEX;
    EXPECT_EQ(L"0x000a", flags->display_str(*ten));
    gOptions.bit_flags_display = Options::BIT_FLAGS_DECIMAL;
    EXPECT_EQ(L"10", flags->display_str(*ten));
    gOptions.bit_flags_display = Options::BIT_FLAGS_DEFAULT;
    EXPECT_EQ(L"10", flags->display_str(*ten)); // its category is Integer
    EXPECT_EQ(L"0x0000000a", hex4->display_str(*ten));
    EXPECT_EQ(L"10", Column(L"i4")->display_str(*ten));
    gOptions.bit_flags_display = saved;
}

TEST(MsiFieldDef, StreamCellsCopyTheUsersFile)
{
    testing_support::ScratchFolder folder;
    std::wstring user_file = folder.file(L"user.bin");
    testing_support::WriteFileBytes(user_file, std::vector<BYTE>{1, 2, 3});
    MsiFieldDefRef required = Column(L"v0");
    MsiFieldDefRef optional = Column(L"V0");
    try {
        Parsed(*required, L"");
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("Tried to set a non-nullable binary field to a null value;", error.what());
    }
    EXPECT_TRUE(Parsed(*optional, L"")->is_null());

    MsiFieldDataRef cell = Parsed(*optional, user_file);
    MsiBinaryData stored(*cell);
    ASSERT_EQ(MsiBinaryData::Extracted, stored.state);
    EXPECT_NE(user_file, stored.path);
    // Changing the user's file later changes nothing in the cell.
    testing_support::WriteFileBytes(user_file, std::vector<BYTE>{9});
    DeleteFileW(user_file.c_str());
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), testing_support::ReadFileBytes(stored.path));
    EXPECT_EQ(L"5289df737df57326fcdd22597afb1fac", model_dump::HexText(*stored.digest));

    MsiFieldDataRef copy = optional->clone_data(*cell);
    MsiBinaryData copied(*copy);
    EXPECT_NE(stored.path, copied.path);
    EXPECT_EQ(*stored.digest, *copied.digest);
    EXPECT_EQ(stored.path, optional->clipboard_str(*cell));
    EXPECT_EQ(L"<binary>", optional->display_str(*cell));

    MsiFieldDataRef loaded(new MsiFieldData());
    MsiBinaryData().StoreInto(*loaded);
    EXPECT_FALSE(loaded->is_null());
    EXPECT_THROW(optional->clipboard_str(*loaded), std::runtime_error);
    EXPECT_THROW(optional->clone_data(*loaded), std::runtime_error);
    EXPECT_THROW(optional->set_non_null_record_data(0, 1, *loaded), std::runtime_error);
}
