// Row references over a small database and a schema of our own: which rows a row refers to through the
// schema's relationships and [..] references in formatted text, and tracking kept current by the row
// operations (always the same as building it afresh).
#include "model/MsiSchema.h"
#include "foundation/MessageTrail.h"
#include "ChangesTesting.h"

#include <random>

using namespace model_testing;
using changes_testing::LinksPicture;
using changes_testing::RebuiltLinksPicture;

namespace {

const wchar_t kCreateSchema[] =
    L"CREATE TABLE `Schema` (`Table` CHAR(64) NOT NULL, `Column` CHAR(64) NOT NULL, `Qualifier` CHAR(255), "
    L"`Category` CHAR(32), `Unused` SHORT, `Type` CHAR(32), `Description` LONGCHAR, `NamedValues` LONGCHAR "
    L"PRIMARY KEY `Table`, `Column`, `Qualifier`)";
const wchar_t kCreateRelationships[] =
    L"CREATE TABLE `Relationships` (`TableA` CHAR(64) NOT NULL, `ColumnA` CHAR(64) NOT NULL, "
    L"`TableB` CHAR(64) NOT NULL, `ColumnB` CHAR(64) NOT NULL, `Number` SHORT NOT NULL, `Optional` SHORT, "
    L"`Kind` SHORT PRIMARY KEY `TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`)";

struct Link
{
    const wchar_t* table_a;
    const wchar_t* column_a;
    const wchar_t* table_b;
    const wchar_t* column_b;
    int number;
};

// Puts the schema back on the file beside the test program whatever happens.
struct SchemaPath
{
    explicit SchemaPath(const std::wstring& path) { MsiSchema::SetFilePath(path); }
    ~SchemaPath() { MsiSchema::SetFilePath(L""); }
};

class RowReferencesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::wstring schema = folder_.file(L"schema.dat");
        CreateDatabaseFile(schema, {kCreateSchema, kCreateRelationships});
        {
            MsiHandle database = msi::OpenDatabase(schema, MSIDBOPEN_TRANSACT);
            const wchar_t* columns[][3] = {{L"Property", L"Property", nullptr},
                                           {L"Property", L"Value", nullptr},
                                           {L"Directory", L"Directory", nullptr},
                                           {L"Directory", L"Directory_Parent", nullptr},
                                           {L"Component", L"Component", nullptr},
                                           {L"Component", L"Directory_", nullptr},
                                           {L"Component", L"Condition", L"Formatted"},
                                           {L"Component", L"KeyPath", nullptr},
                                           {L"File", L"File", nullptr},
                                           {L"File", L"Component_", nullptr},
                                           {L"Shortcut", L"Target", L"Formatted"},
                                           {L"Shortcut", L"Component_", nullptr},
                                           {L"Pair", L"A", nullptr},
                                           {L"Pair", L"B", nullptr},
                                           {L"Link", L"A_", nullptr},
                                           {L"Link", L"B_", nullptr},
                                           {L"Flags", L"Mask", L"Hex"},
                                           {L"Use", L"Mask_", nullptr}};
            for (const auto& column : columns)
                Execute(database.get(),
                        L"INSERT INTO `Schema` (`Table`, `Column`, `Category`, `Unused`) VALUES (?, ?, ?, 0)",
                        {Param::Text(column[0]), Param::Text(column[1]),
                         column[2] ? Param::Text(column[2]) : Param::Null()});
            const Link links[] = {{L"Component", L"Directory_", L"Directory", L"Directory", 1},
                                  {L"Component", L"KeyPath", L"File", L"File", 1},
                                  {L"Directory", L"Directory_Parent", L"Directory", L"Directory", 1},
                                  {L"File", L"Component_", L"Component", L"Component", 1},
                                  {L"Shortcut", L"Component_", L"Component", L"Component", 1},
                                  {L"Link", L"A_", L"Pair", L"A", 1},
                                  {L"Link", L"B_", L"Pair", L"B", 1},
                                  {L"Use", L"Mask_", L"Flags", L"Mask", 1}};
            for (const Link& link : links)
                Execute(database.get(),
                        L"INSERT INTO `Relationships` (`TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`, "
                        L"`Optional`, `Kind`) VALUES (?, ?, ?, ?, ?, ?, 0)",
                        {Param::Text(link.table_a), Param::Text(link.column_a), Param::Text(link.table_b),
                         Param::Text(link.column_b), Param::Int(link.number),
                         Param::Int(link.column_a == std::wstring(L"KeyPath") ? 1 : 0)});
            msi::DatabaseCommit(database.get());
        }
        schema_.reset(new SchemaPath(schema));

        path_ = folder_.file(L"references.msi");
        CreateDatabaseFile(
            path_,
            {L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR PRIMARY KEY "
             L"`Property`)",
             L"CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), "
             L"`DefaultDir` CHAR(255) NOT NULL PRIMARY KEY `Directory`)",
             L"CREATE TABLE `Component` (`Component` CHAR(72) NOT NULL, `Directory_` CHAR(72) NOT NULL, "
             L"`Condition` CHAR(255), `KeyPath` CHAR(72) PRIMARY KEY `Component`)",
             L"CREATE TABLE `File` (`File` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL PRIMARY KEY "
             L"`File`)",
             L"CREATE TABLE `Shortcut` (`Shortcut` CHAR(72) NOT NULL, `Target` CHAR(72) NOT NULL, "
             L"`Component_` "
             L"CHAR(72) NOT NULL PRIMARY KEY `Shortcut`)",
             L"CREATE TABLE `Pair` (`A` CHAR(20) NOT NULL, `B` CHAR(20) NOT NULL PRIMARY KEY `A`, `B`)",
             L"CREATE TABLE `Link` (`Link` CHAR(20) NOT NULL, `A_` CHAR(20), `B_` CHAR(20) PRIMARY KEY "
             L"`Link`)",
             L"CREATE TABLE `Flags` (`Flags` CHAR(20) NOT NULL, `Mask` LONG PRIMARY KEY `Flags`)",
             L"CREATE TABLE `Use` (`Use` CHAR(20) NOT NULL, `Mask_` LONG PRIMARY KEY `Use`)"});
        MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        // Values in the table's column order.
        auto insert = [&](const wchar_t* table, std::vector<Param> values) {
            MsiHandle view = Execute(database.get(), std::wstring(L"SELECT * FROM `") + table + L"`");
            MsiHandle names = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_NAMES);
            std::wstring columns, marks;
            for (size_t at = 0; at < values.size(); ++at) {
                columns += (at ? L", `" : L"`") +
                           msi::RecordGetString(names.get(), static_cast<UINT>(at + 1)) + L"`";
                marks += at ? L", ?" : L"?";
            }
            Execute(database.get(),
                    std::wstring(L"INSERT INTO `") + table + L"` (" + columns + L") VALUES (" + marks + L")",
                    values);
        };
        auto t = [](const wchar_t* text) { return Param::Text(text); };
        insert(L"Property", {t(L"INSTALLDIR"), t(L"C:\\")});
        insert(L"Property", {t(L"1"), t(L"one")});
        insert(L"Property", {t(L"Other"), t(L"[INSTALLDIR] is not formatted here")});
        insert(L"Directory", {t(L"TARGETDIR"), Param::Null(), t(L"SourceDir")});
        insert(L"Directory", {t(L"INSTALLDIR"), t(L"TARGETDIR"), t(L"Product")});
        insert(L"Component",
               {t(L"Comp1"), t(L"INSTALLDIR"),
                t(L"[INSTALLDIR] AND [#File1] OR [!File2] [$Comp2] [ ] [%TEMP] [1] [INSTALLDIR]"),
                t(L"File1")});
        insert(L"Component", {t(L"Comp2"), t(L"TARGETDIR"), Param::Null(), Param::Null()});
        insert(L"File", {t(L"File1"), t(L"Comp1")});
        insert(L"File", {t(L"File2"), t(L"Comp2")});
        insert(L"File", {t(L"<null>"), t(L"Comp2")});
        insert(L"Shortcut", {t(L"S1"), t(L"[$Comp1]"), t(L"Comp1")});
        insert(L"Pair", {t(L"a"), t(L"b")});
        insert(L"Pair", {t(L"a"), t(L"c")});
        insert(L"Pair", {t(L"d"), t(L"b")});
        insert(L"Link", {t(L"L1"), t(L"a"), t(L"b")});
        insert(L"Link", {t(L"L2"), t(L"a"), t(L"x")});
        insert(L"Link", {t(L"L3"), t(L"x"), t(L"b")});
        insert(L"Link", {t(L"L4"), Param::Null(), t(L"b")});
        insert(L"Flags", {t(L"F1"), Param::Int(16)});
        insert(L"Use", {t(L"U1"), Param::Int(16)});
        insert(L"Use", {t(L"U2"), Param::Null()});
        msi::DatabaseCommit(database.get());
        database.reset();
        file_.Open(path_, MSIDBOPEN_TRANSACT);
    }

    MsiTable& table(const wchar_t* name) { return *file_.FindTable(name); }

    RowIterator row(const wchar_t* table_name, const std::wstring& key)
    {
        MsiTable& found = table(table_name);
        for (RowIterator it = found.rows().begin(); it != found.rows().end(); ++it) {
            if (found.RowKeyText(*it) == key)
                return it;
        }
        ADD_FAILURE() << "no row";
        return found.rows().end();
    }

    std::wstring relationship(const wchar_t* table_a, const wchar_t* table_b)
    {
        return MsiSchema::Instance()->FindRelationship(table_a, table_b, 1)->Describe() + L"; ";
    }

    testing_support::ScratchFolder folder_;
    std::unique_ptr<SchemaPath> schema_;
    std::wstring path_;
    MsiFile file_;
};

using Lines = std::vector<std::wstring>;

// The links as comparing every row of a table with every row of each table it may refer to finds them,
// drawn as LinksPicture draws them: the reference that the indexed tracking must equal.
std::wstring PairwiseLinksPicture(MsiFile& file)
{
    std::vector<std::wstring> lines;
    for (auto& entry : file.tables()) {
        MsiTable& table = *entry.second;
        for (const std::wstring& name : table.ReferencedTables()) {
            MsiTableRef related = file.FindTable(name);
            if (!related)
                continue;
            for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row) {
                RelatedRows found;
                table.FindRelatedRows(found, row, *related);
                for (const auto& link : found) {
                    std::wstring from = table.name() + L":" + table.RowKeyText(*row);
                    std::wstring to =
                        L" " + related->name() + L":" + related->RowKeyText(*link.first.second) + L" [";
                    for (const RelationshipDefPtr& relationship : link.second)
                        to += relationship->Describe() + L"; ";
                    lines.push_back(from + L" ->" + to + L"]");
                    lines.push_back(from + L" =>" + to + L"]");
                }
            }
        }
    }
    std::sort(lines.begin(), lines.end());
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\n";
    return text;
}

// Random rows and changes whose values come from a few names, so that rows refer to each other through
// every kind of link of the schema: two-column keys, numbers, [..] text of each kind, and null cells.
class RandomRows
{
public:
    RandomRows(MsiFile& file, unsigned seed) : file_(file), random_(seed) {}

    MsiFieldDataRef value(const MsiFieldDef& column)
    {
        if (column.nullable() && pick(5) == 0)
            return MakeNullFieldData();
        if (column.kind() == MsiFieldKind::Integer)
            return MakeIntegerFieldData(pick(4));
        static const wchar_t* const names[] = {L"a",     L"b",     L"c",     L"INSTALLDIR", L"TARGETDIR",
                                               L"Comp1", L"Comp2", L"File1", L"File2",      L"x"};
        static const wchar_t* const marks[] = {L"", L"#", L"!", L"$", L"%"};
        std::wstring text = names[pick(10)];
        if (table_relationships::HoldsText(column)) {
            text.clear();
            for (int count = pick(4); count > 0; --count)
                text += std::wstring(L"[") + marks[pick(5)] + names[pick(10)] + L"] ";
        }
        return MsiFieldDataRef(new MsiFieldData(text));
    }

    MsiTable& table()
    {
        static const wchar_t* const tables[] = {L"Property", L"Directory", L"Component", L"File", L"Shortcut",
                                                L"Pair",     L"Link",      L"Flags",     L"Use"};
        return *file_.FindTable(tables[pick(9)]);
    }

    RowIterator row(MsiTable& table)
    {
        RowIterator row = table.rows().begin();
        std::advance(row, pick(static_cast<int>(table.rows().size())));
        return row;
    }

    // One row added, changed or deleted; the database refuses some (duplicate keys).
    void step()
    {
        MsiTable& changed = table();
        int kind = pick(10);
        try {
            if (kind < 4 || changed.rows().empty()) {
                MsiRow added;
                for (const MsiFieldDefRef& column : changed.columns())
                    added.push_back(value(*column));
                file_.AddRow(changed, added);
            } else if (kind < 9) {
                const MsiFieldDefRef& column =
                    changed.columns()[pick(static_cast<int>(changed.columns().size()))];
                file_.ModifyRow(changed, *column, row(changed), value(*column));
            } else {
                file_.DeleteRow(changed, row(changed));
            }
        } catch (const std::exception&) {
        } catch (const tfc::ManageableError&) {
        }
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

    MsiFile& file_;
    std::mt19937 random_;
};

} // namespace

TEST_F(RowReferencesTest, TablesReferToTheirRelationshipsAndFormattedTextToTheFourKeyedTables)
{
    using Names = std::set<std::wstring>;
    EXPECT_EQ((Names{L"Component", L"Directory", L"File", L"Property"}),
              table(L"Component").ReferencedTables());
    EXPECT_EQ((Names{L"Component", L"Directory", L"File", L"Property"}),
              table(L"Shortcut").ReferencedTables());
    EXPECT_EQ((Names{L"Pair"}), table(L"Link").ReferencedTables());
    EXPECT_EQ((Names{L"Directory"}), table(L"Directory").ReferencedTables());
    EXPECT_EQ(Names(), table(L"Property").ReferencedTables());
}

TEST_F(RowReferencesTest, TrackingAnswersByTableAndOnlyWhileOn)
{
    SchemaRelationships& tracking = file_.relationships();
    EXPECT_FALSE(tracking.IsEnabled());
    EXPECT_TRUE(tracking.GetReferencingRows(table(L"Component"), row(L"Component", L"Comp1")).empty());

    struct Status
    {
        std::vector<int> parts;
        std::vector<std::wstring> texts;
        void SetStatusParts(const std::vector<int>& percentages) { parts = percentages; }
        void SetStatusText(const std::wstring& text, int part)
        {
            EXPECT_EQ(0, part);
            texts.push_back(text);
        }
    } status;
    tracking.Build(file_, &status);
    EXPECT_TRUE(tracking.IsEnabled());
    EXPECT_EQ(std::vector<int>{100}, status.parts);
    EXPECT_NE(status.texts.end(), std::find(status.texts.begin(), status.texts.end(),
                                            L"Building relationships for tables: Component -> Directory"));
    EXPECT_EQ(L"Building relationships for tables: Use -> Flags", status.texts.back());

    // Exactly the schema's links and those of [..] references, seen from the referring rows. Text that is
    // no reference ("[ ]", "[%TEMP]"), text of a column that is not formatted, null cells (no link to the
    // file whose key reads "<null>") and pairs that agree in one column only link nothing; a row reached
    // through a relationship and through text has one link with both; numbers match by value though one
    // side is shown in hexadecimal.
    const std::wstring formatted = L"Formatted; ";
    Lines expected = {
        L"Component:Comp1 -> Component:Comp2 [" + formatted + L"]",
        L"Component:Comp1 -> Directory:INSTALLDIR [" + formatted + relationship(L"Component", L"Directory") +
            L"]",
        L"Component:Comp1 -> File:File1 [" + formatted + relationship(L"Component", L"File") + L"]",
        L"Component:Comp1 -> File:File2 [" + formatted + L"]",
        L"Component:Comp1 -> Property:1 [" + formatted + L"]",
        L"Component:Comp1 -> Property:INSTALLDIR [" + formatted + L"]",
        L"Component:Comp2 -> Directory:TARGETDIR [" + relationship(L"Component", L"Directory") + L"]",
        L"Directory:INSTALLDIR -> Directory:TARGETDIR [" + relationship(L"Directory", L"Directory") + L"]",
        L"File:<null> -> Component:Comp2 [" + relationship(L"File", L"Component") + L"]",
        L"File:File1 -> Component:Comp1 [" + relationship(L"File", L"Component") + L"]",
        L"File:File2 -> Component:Comp2 [" + relationship(L"File", L"Component") + L"]",
        L"Link:L1 -> Pair:a|b [" + relationship(L"Link", L"Pair") + L"]",
        L"Shortcut:S1 -> Component:Comp1 [" + formatted + relationship(L"Shortcut", L"Component") + L"]",
        L"Use:U1 -> Flags:F1 [" + relationship(L"Use", L"Flags") + L"]"};
    Lines built;
    std::wstring picture = LinksPicture(file_, tracking);
    for (size_t start = 0, end; (end = picture.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        std::wstring line = picture.substr(start, end - start);
        if (line.find(L" -> ") != std::wstring::npos)
            built.push_back(line);
    }
    EXPECT_EQ(expected, built);

    SchemaRelationships::RowsByTable referring =
        tracking.GetReferencingRows(table(L"Component"), row(L"Component", L"Comp1"));
    std::set<std::wstring> tables;
    for (const auto& entry : referring)
        tables.insert(entry.first->name());
    EXPECT_EQ((std::set<std::wstring>{L"File", L"Shortcut"}), tables);
    referring =
        tracking.GetReferencingRows(table(L"Component"), row(L"Component", L"Comp1"), &table(L"File"));
    ASSERT_EQ(1u, referring.size());
    ASSERT_EQ(1u, referring.begin()->second.size());
    EXPECT_EQ(L"File1", table(L"File").RowKeyText(*referring.begin()->second[0].row));
    EXPECT_TRUE(tracking.GetReferencedRows(table(L"Property"), row(L"Property", L"Other")).empty());
    EXPECT_EQ(RebuiltLinksPicture(file_), LinksPicture(file_, tracking));

    tracking.Clear();
    EXPECT_FALSE(tracking.IsEnabled());
    EXPECT_TRUE(tracking.GetReferencedRows(table(L"File"), row(L"File", L"File1")).empty());
}

TEST_F(RowReferencesTest, TablesAddedWhileOffLeaveTrackingOff)
{
    // Wine opens no file that a transacted handle holds: the source comes from a copy.
    std::wstring copy = folder_.file(L"copy.msi");
    ASSERT_TRUE(CopyFileW(path_.c_str(), copy.c_str(), FALSE));
    MsiFile other;
    other.Open(copy, MSIDBOPEN_READONLY);
    MsiTableRef shortcuts = other.FindTable(L"Shortcut");
    file_.DropTable(table(L"Shortcut"));
    file_.AddTableWithRows(*shortcuts);
    SchemaRelationships& tracking = file_.relationships();
    EXPECT_FALSE(tracking.IsEnabled());
    EXPECT_TRUE(tracking.GetReferencedRows(table(L"Shortcut"), row(L"Shortcut", L"S1")).empty());
    EXPECT_TRUE(tracking.GetReferencingRows(table(L"Component"), row(L"Component", L"Comp1")).empty());

    // While on, a table added later links like the rest.
    tracking.Build(file_);
    file_.DropTable(table(L"Shortcut"));
    EXPECT_EQ(RebuiltLinksPicture(file_), LinksPicture(file_, tracking));
    file_.AddTableWithRows(*shortcuts);
    EXPECT_EQ(1u, tracking.GetReferencedRows(table(L"Shortcut"), row(L"Shortcut", L"S1")).size());
    EXPECT_EQ(RebuiltLinksPicture(file_), LinksPicture(file_, tracking));
}

TEST_F(RowReferencesTest, RowChangesKeepTheLinksAsABuildWouldMakeThem)
{
    SchemaRelationships& tracking = file_.relationships();
    tracking.Build(file_);
    std::wstring initial = LinksPicture(file_, tracking);
    auto text = [](const wchar_t* value) { return MsiFieldDataRef(new MsiFieldData(value)); };
    auto check = [&](const char* step) {
        EXPECT_EQ(RebuiltLinksPicture(file_), LinksPicture(file_, tracking)) << step;
    };

    // Renaming a property that formatted text names drops its formatted link; the old name brings it back.
    MsiTable& properties = table(L"Property");
    file_.ModifyRow(*properties.FindColumn(L"Property"), row(L"Property", L"INSTALLDIR"),
                    text(L"INSTALLDIR2"));
    check("property renamed");
    EXPECT_EQ(1u, tracking.GetReferencingRows(properties, row(L"Property", L"1")).size());
    EXPECT_TRUE(tracking.GetReferencingRows(properties, row(L"Property", L"INSTALLDIR2")).empty());
    file_.ModifyRow(*properties.FindColumn(L"Value"), row(L"Property", L"1"), text(L"[INSTALLDIR2]"));
    check("property value");
    file_.ModifyRow(*properties.FindColumn(L"Property"), row(L"Property", L"INSTALLDIR2"),
                    text(L"INSTALLDIR"));
    check("property renamed back");
    EXPECT_EQ(initial, LinksPicture(file_, tracking));

    // Keys and foreign keys of every kind of link.
    MsiTable& directories = table(L"Directory");
    file_.ModifyRow(*directories.FindColumn(L"Directory"), row(L"Directory", L"TARGETDIR"), text(L"ROOT"));
    check("directory key");
    file_.ModifyRow(*directories.FindColumn(L"Directory_Parent"), row(L"Directory", L"ROOT"),
                    text(L"INSTALLDIR"));
    check("directory loop");
    MsiTable& pairs = table(L"Pair");
    file_.ModifyRow(*pairs.FindColumn(L"B"), row(L"Pair", L"a|c"), text(L"x"));
    check("second key column");
    file_.ModifyRow(*table(L"Link").FindColumn(L"B_"), row(L"Link", L"L1"), text(L"c"));
    check("foreign key");
    file_.ModifyRow(*table(L"Component").FindColumn(L"Condition"), row(L"Component", L"Comp2"),
                    text(L"[$Comp2]"));
    check("self reference in text");
    file_.AddRow(table(L"File"), {text(L"File3"), text(L"Comp2")});
    file_.AddRow(table(L"Component"),
                 {text(L"Comp3"), text(L"INSTALLDIR"), text(L"[#File3]"), text(L"File3")});
    check("rows added");
    // Rows that existing rows already name get their links when they come.
    file_.ModifyRow(*table(L"Component").FindColumn(L"Directory_"), row(L"Component", L"Comp2"),
                    text(L"NEWDIR"));
    file_.ModifyRow(*table(L"Component").FindColumn(L"Condition"), row(L"Component", L"Comp3"),
                    text(L"[Late]"));
    check("names of rows still missing");
    file_.AddRow(directories, {text(L"NEWDIR"), text(L"ROOT"), text(L"new")});
    file_.AddRow(properties, {text(L"Late"), text(L"value")});
    check("named rows added");
    EXPECT_EQ(1u, tracking.GetReferencingRows(directories, row(L"Directory", L"NEWDIR")).size());
    EXPECT_EQ(1u, tracking.GetReferencingRows(properties, row(L"Property", L"Late")).size());

    // Deleting takes the links of both ends away first.
    file_.DeleteRow(table(L"Component"), row(L"Component", L"Comp1"));
    check("referred row deleted");
    EXPECT_TRUE(tracking.GetReferencedRows(table(L"File"), row(L"File", L"File1")).empty());
    file_.DeleteRow(table(L"Shortcut"), row(L"Shortcut", L"S1"));
    file_.DeleteRow(directories, row(L"Directory", L"INSTALLDIR"));
    check("rows deleted");
    file_.DropTable(table(L"File"));
    check("table dropped");
}

TEST_F(RowReferencesTest, IndexedTrackingFindsWhatComparingEveryPairOfRowsFinds)
{
    SchemaRelationships& tracking = file_.relationships();
    tracking.Build(file_);
    EXPECT_EQ(PairwiseLinksPicture(file_), LinksPicture(file_, tracking)) << "fixture";
    for (unsigned seed : {1u, 2u, 3u}) {
        RandomRows random(file_, seed);
        tracking.Clear();
        for (int at = 0; at < 60; ++at)
            random.step();
        tracking.Build(file_);
        ASSERT_EQ(PairwiseLinksPicture(file_), LinksPicture(file_, tracking)) << "built, seed " << seed;
        for (int at = 0; at < 60; ++at) {
            random.step();
            ASSERT_EQ(PairwiseLinksPicture(file_), LinksPicture(file_, tracking))
                << "kept, seed " << seed << ", change " << at;
        }
    }
}
