#pragma once
// What "schema.dat" says about one column (category, named values, description) and about the relationships
// between columns of different tables. MsiSchema builds these; column definitions and the views read them.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

enum class FieldCategory
{
    None = 0,
    Date = 1,
    Integer = 2,
    DoubleInteger = 3,
    Hex = 4,
    GUID = 5,
    Formatted = 6,
    Template = 7
};

// The category a word of the Schema table stands for: the whole word, case-sensitive; anything else is None.
FieldCategory CategoryFromWord(const std::wstring& word);

enum class RelationshipKind
{
    IsOwnedBy = -1,
    References = 0,
    Owns = 1,
    Formatted = 2 // side A holds formatted text whose [..] references point into side B
};

struct NamedValue
{
    std::wstring name;
    uint32_t value = 0;
    uint32_t mask = 0;
    bool is_separator() const { return name == L"---"; }
    bool operator==(const NamedValue& other) const
    {
        return name == other.name && value == other.value && mask == other.mask;
    }
};

// Named values from their text: one per line, "Name<TAB>Value[<TAB>Mask]" in decimal or 0x hex, a line
// starting with "---" a separator; lines of any other shape are passed over.
std::vector<NamedValue> ParseNamedValues(const std::wstring& text);

class RelationshipDef;
using RelationshipDefPtr = std::shared_ptr<RelationshipDef>;

class MsiFieldSchema
{
public:
    using Ptr = std::shared_ptr<MsiFieldSchema>;

    MsiFieldSchema(std::wstring table, std::wstring column);

    const std::wstring& table() const { return table_; }
    const std::wstring& column() const { return column_; }

    // The column's own category (the entry of the empty qualifier).
    FieldCategory category() const;
    // The category of one row, by the row's key text; the column's own category when the row has none.
    FieldCategory category_for(const std::wstring& qualifier) const;
    const std::map<std::wstring, FieldCategory>& categories() const { return categories_; }
    void set_category(const std::wstring& qualifier, FieldCategory category)
    {
        categories_[qualifier] = category;
    }

    std::wstring first_text;
    std::wstring description;
    std::vector<NamedValue> named_values;
    // Relationships in which this column is on side A (it refers) and on side B (it is referred to).
    std::set<RelationshipDefPtr> outgoing;
    std::set<RelationshipDefPtr> incoming;

    // The side-B columns of the outgoing relationships' pairs that start at this column.
    std::set<Ptr> ReferencedColumns() const;

private:
    std::wstring table_;
    std::wstring column_;
    std::map<std::wstring, FieldCategory> categories_;
};

// True when there is no schema or it has no named values (integer columns then get no bit-flag editor).
bool NamedValuesEmpty(const MsiFieldSchema* schema);

class RelationshipDef
{
public:
    using ColumnPair = std::pair<MsiFieldSchema::Ptr, MsiFieldSchema::Ptr>; // side A, side B

    RelationshipDef(bool required, RelationshipKind kind, int number);

    bool required() const { return required_; }
    RelationshipKind kind() const { return kind_; }
    int number() const { return number_; }
    // Every pair of one relationship joins the same two tables.
    const std::set<ColumnPair>& pairs() const { return pairs_; }
    void add_pair(const MsiFieldSchema::Ptr& side_a, const MsiFieldSchema::Ptr& side_b);
    void clear_pairs() { pairs_.clear(); }

    // Side-A columns of the pairs whose side B is the given column, and the other way round.
    std::vector<MsiFieldSchema::Ptr> SourceColumnsFor(const MsiFieldSchema* column) const;
    std::vector<MsiFieldSchema::Ptr> TargetColumnsFor(const MsiFieldSchema* column) const;

    // "Component.Directory_ REFERENCES Directory.Directory, required"; "Formatted" for kind Formatted.
    std::wstring Describe() const;

private:
    bool required_;
    RelationshipKind kind_;
    int number_;
    std::set<ColumnPair> pairs_;
};

// Relationships without pairs first, then by side-A table, side-B table and number.
struct RelationshipDefLess
{
    bool operator()(const RelationshipDefPtr& left, const RelationshipDefPtr& right) const;
};
