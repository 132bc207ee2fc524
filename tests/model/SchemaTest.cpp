#include "model/MsiSchema.h"
#include "model/MsiFile.h"
#include "model/installer/MsiApi.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <tuple>

using namespace model_testing;

namespace {

const wchar_t kCreateSchema[] =
    L"CREATE TABLE `Schema` (`Table` CHAR(64) NOT NULL, `Column` CHAR(64) NOT NULL, `Qualifier` CHAR(255), "
    L"`Category` CHAR(32), `Unused` SHORT, `Type` CHAR(32), `Description` LONGCHAR, `NamedValues` LONGCHAR "
    L"PRIMARY KEY `Table`, `Column`, `Qualifier`)";
const wchar_t kCreateRelationships[] =
    L"CREATE TABLE `Relationships` (`TableA` CHAR(64) NOT NULL, `ColumnA` CHAR(64) NOT NULL, "
    L"`TableB` CHAR(64) NOT NULL, `ColumnB` CHAR(64) NOT NULL, `Number` SHORT NOT NULL, `Optional` SHORT, "
    L"`Kind` SHORT PRIMARY KEY `TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`)";

Param TextOrNull(const wchar_t* text)
{
    return text ? Param::Text(text) : Param::Null();
}

// A small schema file of our own, built row by row.
class SchemaFile
{
public:
    explicit SchemaFile(const std::wstring& path) : path_(path)
    {
        CreateDatabaseFile(path, {kCreateSchema, kCreateRelationships});
        database_ = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    }
    void column(const wchar_t* table, const wchar_t* column, const wchar_t* qualifier,
                const wchar_t* category, const wchar_t* description = nullptr,
                const wchar_t* values = nullptr)
    {
        Execute(database_.get(),
                L"INSERT INTO `Schema` (`Table`, `Column`, `Qualifier`, `Category`, `Unused`, `Type`, "
                L"`Description`, `NamedValues`) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                {Param::Text(table), Param::Text(column), TextOrNull(qualifier), TextOrNull(category),
                 Param::Int(0), Param::Text(L"Text"), TextOrNull(description), TextOrNull(values)});
    }
    void link(const wchar_t* table_a, const wchar_t* column_a, const wchar_t* table_b,
              const wchar_t* column_b, int number, Param optional, int kind)
    {
        Execute(
            database_.get(),
            L"INSERT INTO `Relationships` (`TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`, `Optional`, "
            L"`Kind`) VALUES (?, ?, ?, ?, ?, ?, ?)",
            {Param::Text(table_a), Param::Text(column_a), Param::Text(table_b), Param::Text(column_b),
             Param::Int(number), optional, Param::Int(kind)});
    }
    MSIHANDLE database() const { return database_.get(); }
    std::shared_ptr<MsiSchema> load()
    {
        msi::DatabaseCommit(database_.get());
        database_.reset();
        return std::make_shared<MsiSchema>(path_);
    }

private:
    std::wstring path_;
    MsiHandle database_;
};

// Puts Instance back on the file beside the test program whatever a test did.
struct RestoreSchemaPath
{
    ~RestoreSchemaPath() { MsiSchema::SetFilePath(L""); }
};

std::vector<std::wstring> Describe(const MsiFieldSchema::Ptr& field)
{
    std::vector<std::wstring> texts;
    for (const RelationshipDefPtr& relationship : field->outgoing)
        texts.push_back(relationship->Describe());
    std::sort(texts.begin(), texts.end());
    return texts;
}

} // namespace

TEST(SchemaCategories, OnlyWholeWordsInTheirOwnCaseCount)
{
    EXPECT_EQ(FieldCategory::GUID, CategoryFromWord(L"GUID"));
    EXPECT_EQ(FieldCategory::Date, CategoryFromWord(L"Date"));
    EXPECT_EQ(FieldCategory::Integer, CategoryFromWord(L"Integer"));
    EXPECT_EQ(FieldCategory::DoubleInteger, CategoryFromWord(L"DoubleInteger"));
    EXPECT_EQ(FieldCategory::Hex, CategoryFromWord(L"Hex"));
    EXPECT_EQ(FieldCategory::Formatted, CategoryFromWord(L"Formatted"));
    EXPECT_EQ(FieldCategory::Template, CategoryFromWord(L"Template"));
    for (const wchar_t* word : {L"GUIDs", L"Dated", L"guid", L"hex", L"Integer ", L"", L"KeyFormatted"})
        EXPECT_EQ(FieldCategory::None, CategoryFromWord(word)) << word;
}

TEST(SchemaNamedValues, LinesGiveValuesMasksAndSeparators)
{
    std::vector<NamedValue> values = ParseNamedValues(L"Off\t0\t0x10\n"
                                                      L"On\t0x1\n"
                                                      L"---\n"
                                                      L"no tab here\n"
                                                      L"Local only\t0\t0x3\n"
                                                      L"Huge\t4294967296\t0xffffffff\n"
                                                      L"Tabs\t\t12\t\t0xA");
    std::vector<NamedValue> expected = {{L"Off", 0, 16},
                                        {L"On", 1, 0},
                                        {L"---", 0, 0},
                                        {L"Local only", 0, 3},
                                        {L"Huge", 0xFFFFFFFFu, 0xFFFFFFFFu},
                                        {L"Tabs", 12, 10}};
    EXPECT_EQ(expected, values);
    EXPECT_TRUE(values[2].is_separator());
}

TEST(SchemaNamedValues, SeparatorEndsAtItsLine)
{
    // "." must stop at the line end, or the separator would swallow everything after it.
    std::vector<NamedValue> values = ParseNamedValues(L"A\t1\n--- options\nB\t2\n---\nC\t0x4\t0x4");
    ASSERT_EQ(5u, values.size());
    EXPECT_EQ(L"---", values[1].name);
    EXPECT_EQ((NamedValue{L"B", 2, 0}), values[2]);
    EXPECT_EQ((NamedValue{L"C", 4, 4}), values[4]);
    EXPECT_TRUE(ParseNamedValues(L"").empty());
}

TEST(SchemaLoad, FirstRowOfAColumnGivesItsTextsLaterRowsOnlyCategories)
{
    testing_support::ScratchFolder folder;
    SchemaFile file(folder.file(L"schema.dat"));
    file.column(L"Property", L"Value", L"X", L"Hex", L"second row", L"B\t2");
    file.column(L"Property", L"Value", nullptr, L"GUIDish", L"first row", L"A\t1");
    file.column(L"Property", L"Value", L"ProductCode", L"GUID", L"third row", nullptr);
    file.column(L"Feature", L"Title", nullptr, nullptr);
    // The installer hands rows back in its own order; whichever comes first decides.
    std::vector<std::string> first;
    for (const auto& row :
         SelectRows(file.database(), L"SELECT `Table`, `Description`, `NamedValues` FROM `Schema`"))
        if (first.empty() && row[0] == "Property")
            first = row;
    ASSERT_FALSE(first.empty());
    std::shared_ptr<MsiSchema> schema = file.load();

    MsiFieldSchema::Ptr value = schema->FindField(L"Property", L"Value");
    ASSERT_TRUE(value);
    EXPECT_EQ(first[1], tfc::to_narrow(value->description));
    EXPECT_EQ(L"Text", value->first_text);
    EXPECT_EQ(first[2] == "<null>" ? 0u : 1u, value->named_values.size());
    EXPECT_EQ(FieldCategory::None, value->category()); // "GUIDish" is no category word
    EXPECT_EQ(FieldCategory::Hex, value->category_for(L"X"));
    EXPECT_EQ(FieldCategory::GUID, value->category_for(L"ProductCode"));
    EXPECT_EQ(FieldCategory::None, value->category_for(L"UnknownRow"));
    EXPECT_EQ(3u, value->categories().size());

    MsiFieldSchema::Ptr title = schema->FindField(L"Feature", L"Title");
    ASSERT_TRUE(title);
    EXPECT_TRUE(title->description.empty());
    EXPECT_TRUE(NamedValuesEmpty(title.get()));
    EXPECT_TRUE(NamedValuesEmpty(nullptr));
    EXPECT_FALSE(schema->FindField(L"Feature", L"title"));
    EXPECT_FALSE(schema->FindField(L"Value", L"Property"));
}

TEST(SchemaLoad, RowsOfOneNumberFormOneRelationshipOverSeveralColumns)
{
    testing_support::ScratchFolder folder;
    SchemaFile file(folder.file(L"schema.dat"));
    for (const wchar_t* column : {L"x", L"y", L"z"})
        file.column(L"A", column, nullptr, nullptr);
    for (const wchar_t* column : {L"k1", L"k2"})
        file.column(L"B", column, nullptr, nullptr);
    file.column(L"Component", L"Directory_", nullptr, nullptr);
    file.column(L"Directory", L"Directory", nullptr, nullptr);
    file.link(L"A", L"x", L"B", L"k1", 1, Param::Null(), 0);
    file.link(L"A", L"y", L"B", L"k2", 1, Param::Null(), 0);
    file.link(L"A", L"z", L"B", L"k1", 2, Param::Int(1), -1);
    file.link(L"Component", L"Directory_", L"Directory", L"Directory", 1, Param::Int(0), 0);
    // Rows naming columns the Schema table does not describe are passed over.
    file.link(L"A", L"missing", L"B", L"k1", 3, Param::Null(), 0);
    file.link(L"A", L"x", L"Nowhere", L"k1", 1, Param::Null(), 0);
    std::shared_ptr<MsiSchema> schema = file.load();

    EXPECT_EQ(3u, schema->relationships().size());
    RelationshipDefPtr both = schema->FindRelationship(L"A", L"B", 1);
    ASSERT_TRUE(both);
    EXPECT_FALSE(schema->FindRelationship(L"A", L"B", 3));
    EXPECT_FALSE(schema->FindRelationship(L"B", L"A", 1));
    ASSERT_EQ(2u, both->pairs().size());
    EXPECT_TRUE(both->required());
    std::wstring text = both->Describe();
    EXPECT_TRUE(text == L"A.x REFERENCES B.k1 + A.y REFERENCES B.k2, required" ||
                text == L"A.y REFERENCES B.k2 + A.x REFERENCES B.k1, required")
        << text;

    MsiFieldSchema::Ptr x = schema->FindField(L"A", L"x"), y = schema->FindField(L"A", L"y");
    MsiFieldSchema::Ptr k1 = schema->FindField(L"B", L"k1"), k2 = schema->FindField(L"B", L"k2");
    EXPECT_EQ(std::vector<MsiFieldSchema::Ptr>{k2}, both->TargetColumnsFor(y.get()));
    EXPECT_EQ(std::vector<MsiFieldSchema::Ptr>{x}, both->SourceColumnsFor(k1.get()));
    EXPECT_TRUE(both->SourceColumnsFor(x.get()).empty());
    EXPECT_EQ(std::set<MsiFieldSchema::Ptr>{k1}, x->ReferencedColumns());
    EXPECT_EQ(1u, k2->incoming.size());
    EXPECT_EQ(2u, k1->incoming.size());

    EXPECT_EQ(std::vector<std::wstring>{L"A.z IS OWNED BY B.k1, optional"},
              Describe(schema->FindField(L"A", L"z")));
    EXPECT_EQ(std::vector<std::wstring>{L"Component.Directory_ REFERENCES Directory.Directory, required"},
              Describe(schema->FindField(L"Component", L"Directory_")));
    EXPECT_EQ(L"Formatted", schema->FormattedRelationship()->Describe());
    EXPECT_FALSE(schema->FormattedRelationship()->required());
}

TEST(SchemaLoad, MissingFileFailsUntilItIsBack)
{
    RestoreSchemaPath restore;
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"schema.dat");
    MsiSchema::SetFilePath(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            MsiSchema::Instance();
            FAIL() << "loaded a schema file that is not there";
        } catch (const tfc::Win32Error& error) {
            EXPECT_EQ(L"MsiOpenDatabase", error.function());
        }
        testing_support::WriteFileBytes(path, std::vector<BYTE>(64, 'x')); // not a database either
    }
    DeleteFileW(path.c_str());
    SchemaFile file(path);
    file.column(L"File", L"File", nullptr, nullptr);
    file.load();
    std::shared_ptr<MsiSchema> schema = MsiSchema::Instance();
    EXPECT_TRUE(schema->FindField(L"File", L"File"));
    EXPECT_EQ(schema, MsiSchema::Instance());
}

TEST(SchemaLoad, DatabaseOpensOnlyWithTheSchemaFileInPlace)
{
    RestoreSchemaPath restore;
    testing_support::ScratchFolder folder;
    std::wstring database = folder.file(L"a.msi");
    CreateDatabaseFile(database,
                       {L"CREATE TABLE `Component` (`Component` CHAR(72) NOT NULL, `Attributes` SHORT "
                        L"NOT NULL PRIMARY KEY `Component`)"});
    std::wstring schema = folder.file(L"schema.dat");
    MsiSchema::SetFilePath(schema);

    MsiFile file;
    try {
        file.Open(database, MSIDBOPEN_READONLY);
        FAIL() << "opened without a schema file";
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(L"MsiOpenDatabase", error.function());
    }
    ASSERT_TRUE(CopyFileW(MsiSchema::DefaultPath().c_str(), schema.c_str(), FALSE));
    file.Open(database, MSIDBOPEN_READONLY);
    MsiTableRef table = file.FindTable(L"Component");
    ASSERT_TRUE(table);
    EXPECT_EQ(MsiSchema::Instance()->FindField(L"Component", L"Attributes"),
              table->columns()[1]->field_schema());
}

// The file generated at build time, which lies beside the test program as beside the editor.
class GeneratedSchema : public testing::Test
{
protected:
    void SetUp() override
    {
        path_ = MsiSchema::DefaultPath();
        schema_ = std::make_shared<MsiSchema>(path_);
    }
    std::wstring path_;
    std::shared_ptr<MsiSchema> schema_;

    FieldCategory category(const wchar_t* table, const wchar_t* column)
    {
        MsiFieldSchema::Ptr field = schema_->FindField(table, column);
        EXPECT_TRUE(field) << table << "." << column;
        return field ? field->category() : FieldCategory::None;
    }
};

TEST_F(GeneratedSchema, CategoriesFollowTheColumnTypes)
{
    EXPECT_EQ(FieldCategory::GUID, category(L"Component", L"ComponentId"));
    EXPECT_EQ(FieldCategory::GUID, category(L"Upgrade", L"UpgradeCode"));
    EXPECT_EQ(FieldCategory::Integer, category(L"Feature", L"Level"));
    EXPECT_EQ(FieldCategory::DoubleInteger, category(L"File", L"FileSize"));
    EXPECT_EQ(FieldCategory::Hex, category(L"Component", L"Attributes"));
    EXPECT_EQ(FieldCategory::Hex, category(L"Control", L"Attributes"));
    EXPECT_EQ(FieldCategory::Date, category(L"Signature", L"MinDate"));
    EXPECT_EQ(FieldCategory::Formatted, category(L"Registry", L"Value"));
    EXPECT_EQ(FieldCategory::Formatted, category(L"Registry", L"Key"));
    EXPECT_EQ(FieldCategory::Template, category(L"Error", L"Message"));
    EXPECT_EQ(FieldCategory::None, category(L"Component", L"Condition"));

    MsiFieldSchema::Ptr value = schema_->FindField(L"Property", L"Value");
    ASSERT_TRUE(value);
    EXPECT_EQ(FieldCategory::GUID, value->category_for(L"ProductCode"));
    EXPECT_EQ(FieldCategory::None, value->category_for(L"ProductName"));
    EXPECT_FALSE(value->description.empty()); // whichever of its rows came first
    EXPECT_GE(schema_->fields().size(), 550u);
}

TEST_F(GeneratedSchema, NamedValuesEnumerationsCarryMasks)
{
    MsiFieldSchema::Ptr attributes = schema_->FindField(L"Component", L"Attributes");
    ASSERT_TRUE(attributes);
    ASSERT_FALSE(NamedValuesEmpty(attributes.get()));
    EXPECT_EQ(0u, attributes->named_values[0].value);
    EXPECT_EQ(3u, attributes->named_values[0].mask);
    // Every zero-valued choice has a mask, or a bit-flag editor would always show it set.
    for (const MsiFieldSchema::Ptr& field : schema_->fields())
        for (const NamedValue& value : field->named_values) {
            if (!value.is_separator()) {
                EXPECT_TRUE(value.value != 0 || value.mask != 0) << field->table() << "." << field->column();
            }
        }
}

TEST_F(GeneratedSchema, EveryStoredLineAndRelationshipIsRead)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_READONLY);
    // No named-value line may be lost to the pattern.
    for (const auto& row :
         SelectRows(database.get(), L"SELECT `Table`, `Column`, `NamedValues` FROM `Schema`")) {
        if (row[2] == "<null>")
            continue;
        size_t lines = std::count(row[2].begin(), row[2].end(), '\n') + 1;
        MsiFieldSchema::Ptr field = schema_->FindField(tfc::to_wide(row[0]), tfc::to_wide(row[1]));
        ASSERT_TRUE(field);
        EXPECT_EQ(lines, field->named_values.size()) << row[0] << "." << row[1];
    }
    // The generator describes every related column, so no relationship row is skipped.
    std::set<std::tuple<std::string, std::string, std::string>> numbers;
    size_t pairs = 0;
    for (const auto& row :
         SelectRows(database.get(), L"SELECT `TableA`, `TableB`, `Number` FROM `Relationships`")) {
        numbers.insert({row[0], row[1], row[2]});
        ++pairs;
    }
    EXPECT_EQ(numbers.size(), schema_->relationships().size());
    size_t loaded = 0;
    for (const RelationshipDefPtr& relationship : schema_->relationships())
        loaded += relationship->pairs().size();
    EXPECT_EQ(pairs, loaded);
    EXPECT_GE(loaded, 200u);
}

TEST_F(GeneratedSchema, OwnershipFollowsTheTrees)
{
    auto describe = [&](const wchar_t* table, const wchar_t* column) {
        MsiFieldSchema::Ptr field = schema_->FindField(table, column);
        return field ? Describe(field) : std::vector<std::wstring>();
    };
    EXPECT_EQ(std::vector<std::wstring>{L"File.Component_ IS OWNED BY Component.Component, required"},
              describe(L"File", L"Component_"));
    EXPECT_EQ(std::vector<std::wstring>{L"Feature.Feature_Parent IS OWNED BY Feature.Feature, optional"},
              describe(L"Feature", L"Feature_Parent"));
    // A row that requires another goes when that one is deleted: every required link is ownership.
    EXPECT_EQ(
        std::vector<std::wstring>{L"FeatureComponents.Component_ IS OWNED BY Component.Component, required"},
        describe(L"FeatureComponents", L"Component_"));
    EXPECT_EQ(std::vector<std::wstring>{L"ProgId.Class_ REFERENCES Class.CLSID, optional"},
              describe(L"ProgId", L"Class_"));

    // Three relationships from Dialog to Control, each over the dialog and one control column.
    for (int number = 1; number <= 3; ++number) {
        RelationshipDefPtr relationship = schema_->FindRelationship(L"Dialog", L"Control", number);
        ASSERT_TRUE(relationship) << number;
        EXPECT_EQ(2u, relationship->pairs().size());
        EXPECT_EQ(number == 1, relationship->required());
    }
    for (const RelationshipDefPtr& relationship : schema_->relationships()) {
        EXPECT_NE(RelationshipKind::Owns, relationship->kind()) << relationship->Describe();
        if (relationship->required())
            EXPECT_EQ(RelationshipKind::IsOwnedBy, relationship->kind()) << relationship->Describe();
    }
}

TEST_F(GeneratedSchema, DescribesEveryColumnOfTheSamplePackages)
{
    int checked = 0;
    for (const wchar_t* name : {L"shortcuts.msi", L"MergeModule1.msm", L"OldClassTableDef.msi"}) {
        std::wstring path = testing_support::TestDataPath(name);
        if (path.empty())
            continue;
        MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
        for (const auto& table : SelectRows(database.get(), L"SELECT `Name` FROM `_Tables`")) {
            std::wstring table_name = tfc::to_wide(table[0]);
            MsiHandle view = Execute(database.get(), L"SELECT * FROM `" + table_name + L"`");
            MsiHandle names = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_NAMES);
            for (UINT field = 1; field <= msi::RecordGetFieldCount(names.get()); ++field) {
                std::wstring column = msi::RecordGetString(names.get(), field);
                EXPECT_TRUE(schema_->FindField(table_name, column))
                    << name << ": " << table_name << "." << column;
                ++checked;
            }
        }
    }
    if (checked == 0)
        GTEST_SKIP() << "no sample packages";
}
