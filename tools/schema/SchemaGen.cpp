// Build tool: turns the table files in tools/schema/tables into schema.dat through the installer library.
//   SchemaGen <tables folder> <output file>
// The data is checked first (every related column must be described, required links must start at required
// columns and be owned-by, named values must parse); any fault is reported as "file:line: text" and fails
// the build.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Fault : std::runtime_error
{
    explicit Fault(const std::string& text) : std::runtime_error(text) {}
};

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end()); // the sources are plain ASCII (checked on reading)
}

struct Place
{
    std::wstring file;
    int line = 0;
    [[noreturn]] void fail(const std::string& text) const
    {
        throw Fault(narrow(file) + ":" + std::to_string(line) + ": " + text);
    }
};

struct Column
{
    Place place;
    std::wstring name, type, dataType, category, description;
    std::vector<std::wstring> values;                              // named-value lines
    std::vector<std::pair<std::wstring, std::wstring>> qualifiers; // row key text, category
    bool isInteger() const { return type[0] == L'i' || type[0] == L'I'; }
    bool isRequired() const { return iswlower(type[0]) != 0; }
};

struct Link
{
    Place place;
    std::vector<std::wstring> columnsA, columnsB;
    std::wstring tableB;
    int kind = 0;
    bool required = false;
};

struct Table
{
    std::wstring name;
    std::vector<std::wstring> keys;
    std::vector<Column> columns;
    std::vector<Link> links;
    const Column* find(const std::wstring& column) const
    {
        for (const Column& c : columns)
            if (c.name == column)
                return &c;
        return nullptr;
    }
};

std::vector<std::wstring> split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    std::wstring::size_type start = 0;
    for (;;) {
        auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return parts;
        start = end + 1;
    }
}

std::vector<std::wstring> readLines(const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw Fault("cannot open " + narrow(path));
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got != 0)
        bytes.append(buffer, got);
    CloseHandle(file);

    std::vector<std::wstring> lines;
    std::wstring line;
    int number = 1;
    for (char c : bytes) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
            ++number;
        } else if (c == '\r') {
            continue;
        } else if (c == '\t' || (c >= 0x20 && c < 0x7f)) {
            line += static_cast<wchar_t>(c);
        } else {
            // Only ASCII goes in: the database keeps its strings in a code page.
            Place{path, number}.fail("only printable ASCII and tabs are allowed");
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// Decimal, or "0x" with lower-case hex digits, within 32 bits.
bool isNumber(const std::wstring& text)
{
    if (text.empty())
        return false;
    unsigned long long value = 0;
    if (text.size() > 2 && text.compare(0, 2, L"0x") == 0) {
        for (wchar_t c : text.substr(2)) {
            int digit = (c >= L'0' && c <= L'9') ? c - L'0' : (c >= L'a' && c <= L'f') ? c - L'a' + 10 : -1;
            if (digit < 0)
                return false;
            value = value * 16 + digit;
            if (value > 0xffffffffULL)
                return false;
        }
        return true;
    }
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
        if (value > 0xffffffffULL)
            return false;
    }
    return true;
}

bool isZero(const std::wstring& number)
{
    return number.find_first_not_of(L"0x") == std::wstring::npos;
}

const wchar_t* const kCategories[] = {L"Date", L"Integer",   L"DoubleInteger", L"Hex",
                                      L"GUID", L"Formatted", L"Template"};

bool isCategory(const std::wstring& word)
{
    return std::find(std::begin(kCategories), std::end(kCategories), word) != std::end(kCategories);
}

// The category word a column gets from its type and data type, or from its explicit Hex/Date.
std::wstring categoryOf(const Column& column)
{
    const Place& at = column.place;
    if (column.isInteger()) {
        std::wstring width = column.type.substr(1);
        if (width != L"2" && width != L"4")
            at.fail("integer columns are 2 or 4 bytes wide");
        std::wstring natural = width == L"2" ? L"Integer" : L"DoubleInteger";
        if (column.dataType != natural)
            at.fail("a " + narrow(column.type) + " column holds " + narrow(natural));
        if (column.category.empty())
            return natural;
        if (column.category != L"Hex" && column.category != L"Date")
            at.fail("only Hex or Date may be given as a category");
        return column.category;
    }
    if (!column.category.empty())
        at.fail("Hex and Date are for integer columns");
    if (column.dataType == L"Integer" || column.dataType == L"DoubleInteger")
        at.fail("an integer data type needs an integer column type");
    if (column.dataType == L"GUID")
        return L"GUID";
    if (column.dataType == L"Formatted" || column.dataType == L"KeyFormatted" ||
        column.dataType == L"RegPath" || column.dataType == L"Shortcut" ||
        column.dataType == L"FormattedSDDLText")
        return L"Formatted";
    if (column.dataType == L"Template")
        return L"Template";
    return L"";
}

void checkType(const Place& at, const std::wstring& type)
{
    if (type.size() < 2 || wcschr(L"sSlLiIvV", type[0]) == nullptr ||
        type.find_first_not_of(L"0123456789", 1) != std::wstring::npos)
        at.fail("column type must look like s72, L0, i2 or V0");
}

Table readTable(const std::wstring& folder, const std::wstring& fileName)
{
    Table table;
    table.name = fileName.substr(0, fileName.size() - 4);
    std::vector<std::wstring> lines = readLines(folder + L"\\" + fileName);
    Column* current = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        Place at{fileName, static_cast<int>(i + 1)};
        const std::wstring& line = lines[i];
        if (line.empty() || line[0] == L'#')
            continue;
        std::vector<std::wstring> f = split(line, L'\t');
        const std::wstring& word = f[0];
        if (word == L"keys") {
            if (f.size() < 2 || !table.keys.empty())
                at.fail("one keys line naming at least one column");
            table.keys.assign(f.begin() + 1, f.end());
        } else if (word == L"column") {
            if (f.size() != 6)
                at.fail("column: name, type, data type, category, description");
            Column column{at, f[1], f[2], f[3], f[4], f[5], {}, {}};
            checkType(at, column.type);
            if (column.name.empty() || column.dataType.empty() || column.description.empty())
                at.fail("a column needs a name, a data type and a description");
            if (table.find(column.name))
                at.fail("column " + narrow(column.name) + " appears twice");
            table.columns.push_back(column);
            current = &table.columns.back();
        } else if (word == L"value") {
            if (!current || !current->isInteger())
                at.fail("named values belong to an integer column");
            if (f.size() == 2 && f[1] == L"---") {
                current->values.push_back(L"---");
                continue;
            }
            if (f.size() != 3 && f.size() != 4)
                at.fail("value: name, value and an optional mask");
            if (f[1].empty() || f[1] == L"---" || !isNumber(f[2]) || (f.size() == 4 && !isNumber(f[3])))
                at.fail("a named value is a name, then numbers in decimal or lower-case 0x hex");
            // A zero choice without a mask would always show as set.
            if (isZero(f[2]) && (f.size() == 3 || isZero(f[3])))
                at.fail("a zero-valued choice needs a mask");
            std::wstring text = f[1] + L"\t" + f[2];
            if (f.size() == 4)
                text += L"\t" + f[3];
            current->values.push_back(text);
        } else if (word == L"qualifier") {
            if (!current || f.size() != 3 || f[1].empty() || !isCategory(f[2]))
                at.fail("qualifier: row key text and a category word, after a column");
            current->qualifiers.emplace_back(f[1], f[2]);
        } else if (word == L"link") {
            if (f.size() != 6)
                at.fail("link: columns, table, columns, kind, required or optional");
            Link link;
            link.place = at;
            link.columnsA = split(f[1], L',');
            link.tableB = f[2];
            link.columnsB = split(f[3], L',');
            if (f[4] == L"references")
                link.kind = 0;
            else if (f[4] == L"owned-by")
                link.kind = -1;
            else if (f[4] == L"owns")
                link.kind = 1;
            else
                at.fail("the kind is references, owned-by or owns");
            if (f[5] != L"required" && f[5] != L"optional")
                at.fail("a link is required or optional");
            link.required = f[5] == L"required";
            if (link.columnsA.size() != link.columnsB.size())
                at.fail("both sides of a link name as many columns");
            table.links.push_back(link);
        } else {
            at.fail("unknown line kind " + narrow(word));
        }
    }
    Place whole{fileName, 0};
    if (table.columns.empty() || table.keys.empty())
        whole.fail("a table needs columns and a keys line");
    for (const std::wstring& key : table.keys)
        if (!table.find(key))
            whole.fail("key " + narrow(key) + " is not a column");
    return table;
}

void checkLinks(const std::map<std::wstring, Table>& tables)
{
    for (const auto& entry : tables) {
        const Table& table = entry.second;
        for (const Link& link : table.links) {
            auto other = tables.find(link.tableB);
            if (other == tables.end())
                link.place.fail("no table file for " + narrow(link.tableB));
            // A deletion follows ownership only: a row whose required link merely referred would be left
            // naming a row that is gone.
            if (link.required && link.kind != -1)
                link.place.fail("a required link is owned-by: the row cannot outlive the row it names");
            for (size_t i = 0; i < link.columnsA.size(); ++i) {
                const Column* a = table.find(link.columnsA[i]);
                if (!a)
                    link.place.fail(narrow(table.name + L"." + link.columnsA[i]) + " has no column line");
                if (!other->second.find(link.columnsB[i]))
                    link.place.fail(narrow(link.tableB + L"." + link.columnsB[i]) + " has no column line");
                if (link.required && !a->isRequired())
                    link.place.fail("a required link cannot start at the nullable column " + narrow(a->name));
            }
        }
    }
}

class Database
{
public:
    explicit Database(const std::wstring& path)
    {
        check(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, &handle_), "MsiOpenDatabase");
    }
    ~Database() { MsiCloseHandle(handle_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void run(const std::wstring& sql)
    {
        MSIHANDLE view = 0;
        check(MsiDatabaseOpenViewW(handle_, sql.c_str(), &view), "MsiDatabaseOpenView");
        UINT result = MsiViewExecute(view, 0);
        MsiCloseHandle(view);
        check(result, "MsiViewExecute");
    }
    MSIHANDLE handle() const { return handle_; }
    void commit() { check(MsiDatabaseCommit(handle_), "MsiDatabaseCommit"); }

    static void check(UINT result, const char* what)
    {
        if (result != ERROR_SUCCESS)
            throw Fault(std::string(what) + " failed with " + std::to_string(result));
    }

private:
    MSIHANDLE handle_ = 0;
};

// One prepared INSERT, executed with a record of parameters per row.
class Insert
{
public:
    Insert(Database& db, const std::wstring& sql, UINT fields)
    {
        Database::check(MsiDatabaseOpenViewW(db.handle(), sql.c_str(), &view_), "MsiDatabaseOpenView");
        record_ = MsiCreateRecord(fields);
    }
    ~Insert()
    {
        MsiCloseHandle(record_);
        MsiCloseHandle(view_);
    }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;

    void text(UINT field, const std::wstring& value)
    {
        Database::check(MsiRecordSetStringW(record_, field, value.empty() ? nullptr : value.c_str()),
                        "MsiRecordSetString");
    }
    void number(UINT field, int value)
    {
        Database::check(MsiRecordSetInteger(record_, field, value), "MsiRecordSetInteger");
    }
    void execute(const Place& at)
    {
        UINT result = MsiViewExecute(view_, record_);
        if (result != ERROR_SUCCESS)
            at.fail("inserting the row failed with " + std::to_string(result));
    }

private:
    MSIHANDLE view_ = 0;
    MSIHANDLE record_ = 0;
};

std::wstring join(const std::vector<std::wstring>& parts, const wchar_t* separator)
{
    std::wstring text;
    for (const std::wstring& part : parts)
        text += (text.empty() ? L"" : separator) + part;
    return text;
}

void writeSchema(const std::map<std::wstring, Table>& tables, const std::wstring& path)
{
    Database db(path);
    db.run(L"CREATE TABLE `Schema` (`Table` CHAR(64) NOT NULL, `Column` CHAR(64) NOT NULL, `Qualifier` "
           L"CHAR(255), "
           L"`Category` CHAR(32), `Unused` SHORT, `Type` CHAR(32), `Description` LONGCHAR, `NamedValues` "
           L"LONGCHAR "
           L"PRIMARY KEY `Table`, `Column`, `Qualifier`)");
    db.run(L"CREATE TABLE `Relationships` (`TableA` CHAR(64) NOT NULL, `ColumnA` CHAR(64) NOT NULL, "
           L"`TableB` CHAR(64) NOT NULL, `ColumnB` CHAR(64) NOT NULL, `Number` SHORT NOT NULL, `Optional` "
           L"SHORT, "
           L"`Kind` SHORT PRIMARY KEY `TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`)");

    int columns = 0, relationships = 0, pairs = 0;
    {
        Insert insert(db,
                      L"INSERT INTO `Schema` (`Table`, `Column`, `Qualifier`, `Category`, `Unused`, `Type`, "
                      L"`Description`, `NamedValues`) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                      8);
        for (const auto& entry : tables) {
            for (const Column& column : entry.second.columns) {
                // The reader keeps the texts of whichever row of a column it fetches first, and the
                // installer returns rows in key order: every qualifier row repeats fields 5 to 8.
                std::vector<std::pair<std::wstring, std::wstring>> rows{{L"", categoryOf(column)}};
                rows.insert(rows.end(), column.qualifiers.begin(), column.qualifiers.end());
                for (const auto& row : rows) {
                    insert.text(1, entry.first);
                    insert.text(2, column.name);
                    insert.text(3, row.first);
                    insert.text(4, row.second);
                    insert.number(5, 0);
                    insert.text(6, column.dataType);
                    insert.text(7, column.description);
                    insert.text(8, join(column.values, L"\n"));
                    insert.execute(column.place);
                }
                ++columns;
            }
        }
    }
    {
        Insert insert(
            db,
            L"INSERT INTO `Relationships` (`TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`, `Optional`, "
            L"`Kind`) VALUES (?, ?, ?, ?, ?, ?, ?)",
            7);
        std::map<std::pair<std::wstring, std::wstring>, int> numbers;
        for (const auto& entry : tables) {
            for (const Link& link : entry.second.links) {
                int number = ++numbers[{entry.first, link.tableB}];
                for (size_t i = 0; i < link.columnsA.size(); ++i) {
                    insert.text(1, entry.first);
                    insert.text(2, link.columnsA[i]);
                    insert.text(3, link.tableB);
                    insert.text(4, link.columnsB[i]);
                    insert.number(5, number);
                    insert.number(6, link.required ? 0 : 1); // repeated in every row of the relationship
                    insert.number(7, link.kind);
                    insert.execute(link.place);
                    ++pairs;
                }
                ++relationships;
            }
        }
    }
    db.commit();
    std::printf("schema.dat: %u tables, %d columns, %d relationships (%d column pairs)\n",
                static_cast<unsigned>(tables.size()), columns, relationships, pairs);
}

std::vector<std::wstring> tableFiles(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.tsv").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        throw Fault("no table files in " + narrow(folder));
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: SchemaGen <tables folder> <output file>\n");
        return 2;
    }
    std::wstring folder = argv[1], output = argv[2];
    std::wstring building = output + L".new";
    try {
        std::map<std::wstring, Table> tables;
        for (const std::wstring& name : tableFiles(folder)) {
            Table table = readTable(folder, name);
            tables.emplace(table.name, std::move(table));
        }
        checkLinks(tables);
        DeleteFileW(building.c_str());
        writeSchema(tables, building);
        if (!MoveFileExW(building.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING))
            throw Fault("cannot replace " + narrow(output) + ": error " + std::to_string(GetLastError()));
    } catch (const std::exception& error) {
        DeleteFileW(building.c_str());
        std::fprintf(stderr, "SchemaGen: %s\n", error.what());
        return 1;
    }
    return 0;
}
