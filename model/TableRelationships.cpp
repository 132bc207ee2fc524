#include "model/TableRelationships.h"
#include "model/MsiSchema.h"

#include <boost/regex.hpp>
#include <climits>
#include <iterator>
#include <vector>

namespace {

// A name in square brackets starting with "$", "#", "!" or a word character.
const boost::wregex PropertyReferenceRegex(L"\\[([\\$#![:word:]][[:word:]\\.]*)\\]");

const wchar_t* const kTextReferenceTables[] = {L"Component", L"Directory", L"File", L"Property"};

bool HoldsFormattedText(const MsiFieldDef& column)
{
    if (!column.field_schema())
        return false;
    FieldCategory category = column.field_schema()->category();
    return category == FieldCategory::Formatted || category == FieldCategory::Template;
}

// The decimal text of a number other than INT_MIN, as std::to_wstring writes it.
std::wstring_view WriteNumber(int number, table_relationships::ValueText& text)
{
    wchar_t* end = std::end(text.units);
    wchar_t* at = end;
    unsigned magnitude = number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
    do {
        *--at = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (number < 0)
        *--at = L'-';
    return std::wstring_view(at, static_cast<size_t>(end - at));
}

// The value a cell gives a relationship; false when it holds none.
bool MatchView(const MsiFieldDef& column, const MsiFieldData& cell, table_relationships::ValueText& number,
               std::wstring_view& value)
{
    if (cell.is_null())
        return false;
    switch (column.kind()) {
    case MsiFieldKind::Integer: {
        int integer = column.integer_value(cell);
        if (integer == INT_MIN)
            return false;
        // By value: a column shown in hexadecimal still matches a decimal one.
        value = WriteNumber(integer, number);
        return true;
    }
    case MsiFieldKind::Binary:
        return false;
    case MsiFieldKind::String:
        break;
    }
    // A cell keeps a text's units whole and aligned: they are read where they are.
    const BYTE* kept = cell.stored_data();
    if (!cell.narrow()) {
        value = std::wstring_view(reinterpret_cast<const wchar_t*>(kept), cell.size() / sizeof(wchar_t));
        return true;
    }
    number.wide.assign(kept, kept + cell.stored_size());
    value = number.wide;
    return true;
}

bool MatchValue(const MsiFieldDef& column, const MsiFieldData& cell, std::wstring& value)
{
    table_relationships::ValueText number;
    std::wstring_view view;
    if (!MatchView(column, cell, number, view))
        return false;
    value.assign(view.data(), view.size());
    return true;
}

// Names written in [..] references of a row's formatted columns, by the table they name rows of.
struct TextReferences
{
    std::set<std::wstring> plain; // Property and Directory
    std::set<std::wstring> components;
    std::set<std::wstring> files;

    const std::set<std::wstring>& For(const std::wstring& table) const
    {
        if (table == L"Component")
            return components;
        if (table == L"File")
            return files;
        return plain;
    }
};

TextReferences ReferencesInRow(const MsiTable& table, const MsiRow& row)
{
    TextReferences found;
    for (const MsiFieldDefRef& column : table.columns()) {
        const MsiFieldData& cell = *row[column->column_index()];
        if (!HoldsFormattedText(*column) || cell.is_null())
            continue;
        std::wstring text = column->display_str(cell);
        for (boost::wsregex_iterator match(text.begin(), text.end(), PropertyReferenceRegex), end;
             match != end; ++match) {
            std::wstring name = (*match)[1].str();
            if (name[0] == L'#' || name[0] == L'!')
                found.files.insert(name.substr(1));
            else if (name[0] == L'$')
                found.components.insert(name.substr(1));
            else
                found.plain.insert(name);
        }
    }
    return found;
}

// Whether a related row's key is one of the names.
bool KeyNamed(const MsiTable& related, const MsiRow& related_row, const std::set<std::wstring>& names)
{
    if (names.empty() || related.columns().empty())
        return false;
    std::wstring key;
    return MatchValue(*related.columns()[0], *related_row[0], key) && names.count(key) > 0;
}

// The schema's relationships from table a to table b, in the schema's order.
std::vector<RelationshipDefPtr> RelationshipsBetween(const std::wstring& a, const std::wstring& b)
{
    std::shared_ptr<MsiSchema> schema = MsiSchema::Instance();
    // The set is ordered by side-A table, side-B table and number: start at the lowest number.
    auto probe = std::make_shared<RelationshipDef>(false, RelationshipKind::References, INT_MIN);
    probe->add_pair(std::make_shared<MsiFieldSchema>(a, L""), std::make_shared<MsiFieldSchema>(b, L""));
    std::vector<RelationshipDefPtr> found;
    const MsiSchema::RelationshipSet& all = schema->relationships();
    for (auto it = all.lower_bound(probe); it != all.end(); ++it) {
        if ((*it)->pairs().empty())
            continue;
        const RelationshipDef::ColumnPair& first = *(*it)->pairs().begin();
        if (first.first->table() != a || first.second->table() != b)
            break;
        found.push_back(*it);
    }
    return found;
}

// The column pairs of a relationship that both tables have, in the pair set's order.
struct UsablePair
{
    const MsiFieldDef* mine;
    const MsiFieldDef* theirs;
};

std::vector<UsablePair> UsablePairs(const RelationshipDef& relationship, const MsiTable& table,
                                    const MsiTable& related)
{
    std::vector<UsablePair> pairs;
    for (const RelationshipDef::ColumnPair& pair : relationship.pairs()) {
        MsiFieldDefRef mine = table.FindColumn(pair.first->column());
        MsiFieldDefRef theirs = related.FindColumn(pair.second->column());
        if (mine && theirs)
            pairs.push_back(UsablePair{mine.get(), theirs.get()});
    }
    return pairs;
}

// The row's values in the pairs' columns; false when one holds no value (then it refers to nothing).
bool ValuesOf(const std::vector<UsablePair>& pairs, const MsiRow& row, std::vector<std::wstring>& values)
{
    values.resize(pairs.size());
    for (size_t at = 0; at < pairs.size(); ++at) {
        if (!MatchValue(*pairs[at].mine, *row[pairs[at].mine->column_index()], values[at]))
            return false;
    }
    return true;
}

bool Agrees(const std::vector<UsablePair>& pairs, const std::vector<std::wstring>& values,
            const MsiRow& related_row)
{
    std::wstring value;
    for (size_t at = 0; at < pairs.size(); ++at) {
        if (!MatchValue(*pairs[at].theirs, *related_row[pairs[at].theirs->column_index()], value) ||
            value != values[at])
            return false;
    }
    return true;
}

bool PassesThrough(const RelationshipDef& relationship, const MsiFieldDef& changed)
{
    for (const RelationshipDef::ColumnPair& pair : relationship.pairs()) {
        if (pair.second->column() == changed.name())
            return true;
    }
    return false;
}

} // namespace

namespace table_relationships {

bool NamedByText(const std::wstring& table)
{
    for (const wchar_t* name : kTextReferenceTables) {
        if (table == name)
            return true;
    }
    return false;
}

bool CellValue(const MsiFieldDef& column, const MsiFieldData& cell, std::wstring& value)
{
    return MatchValue(column, cell, value);
}

bool CellValueView(const MsiFieldDef& column, const MsiFieldData& cell, ValueText& number,
                   std::wstring_view& value)
{
    return MatchView(column, cell, number, value);
}

std::vector<RelationshipDefPtr> Between(const std::wstring& a, const std::wstring& b)
{
    return RelationshipsBetween(a, b);
}

std::vector<ColumnPair> ColumnPairs(const RelationshipDef& relationship, const MsiTable& table,
                                    const MsiTable& related)
{
    std::vector<ColumnPair> found;
    for (const UsablePair& pair : UsablePairs(relationship, table, related))
        found.push_back(ColumnPair{pair.mine->column_index(), pair.theirs->column_index()});
    return found;
}

bool ThroughColumn(const RelationshipDef& relationship, const MsiFieldDef& changed)
{
    return PassesThrough(relationship, changed);
}

wchar_t TextNameKind(const std::wstring& table)
{
    if (table == L"Component")
        return L'$';
    if (table == L"File")
        return L'#';
    return L'=';
}

std::vector<std::wstring> TextNames(const MsiTable& table, const MsiRow& row)
{
    TextReferences references = ReferencesInRow(table, row);
    std::vector<std::wstring> names;
    names.reserve(references.plain.size() + references.components.size() + references.files.size());
    for (const std::wstring& name : references.plain)
        names.push_back(L'=' + name);
    for (const std::wstring& name : references.components)
        names.push_back(L'$' + name);
    for (const std::wstring& name : references.files)
        names.push_back(L'#' + name);
    return names;
}

bool HoldsText(const MsiFieldDef& column)
{
    return HoldsFormattedText(column);
}

} // namespace table_relationships

std::set<std::wstring> MsiTable::ReferencedTables() const
{
    std::set<std::wstring> names;
    for (const MsiFieldDefRef& column : columns_) {
        const MsiFieldSchema::Ptr& schema = column->field_schema();
        if (!schema)
            continue;
        if (HoldsFormattedText(*column))
            names.insert(std::begin(kTextReferenceTables), std::end(kTextReferenceTables));
        for (const RelationshipDefPtr& relationship : schema->outgoing) {
            if (!relationship->pairs().empty())
                names.insert(relationship->pairs().begin()->second->table());
        }
    }
    return names;
}

void MsiTable::FindRelatedRows(RelatedRows& result, RowIterator row, MsiTable& related) const
{
    const MsiTable& table = *this;
    std::vector<std::wstring> values;
    for (const RelationshipDefPtr& relationship : RelationshipsBetween(table.name(), related.name())) {
        std::vector<UsablePair> pairs = UsablePairs(*relationship, table, related);
        if (pairs.empty() || !ValuesOf(pairs, *row, values))
            continue;
        for (RowIterator candidate = related.rows().begin(); candidate != related.rows().end(); ++candidate) {
            if (Agrees(pairs, values, *candidate))
                result[std::make_pair(&related, candidate)].insert(relationship);
        }
    }
    if (!table_relationships::NamedByText(related.name()) || related.owner() != table.owner())
        return;
    TextReferences references = ReferencesInRow(table, *row);
    const std::set<std::wstring>& names = references.For(related.name());
    if (names.empty())
        return;
    const RelationshipDefPtr& formatted = MsiSchema::Instance()->FormattedRelationship();
    for (RowIterator candidate = related.rows().begin(); candidate != related.rows().end(); ++candidate) {
        if (KeyNamed(related, *candidate, names))
            result[std::make_pair(&related, candidate)].insert(formatted);
    }
}

void MsiTable::MatchRelatedRows(RelatedRows& result, RowIterator row, MsiTable& related,
                                RowIterator related_row, const MsiFieldDef* changed) const
{
    const MsiTable& table = *this;
    std::vector<std::wstring> values;
    for (const RelationshipDefPtr& relationship : RelationshipsBetween(table.name(), related.name())) {
        if (changed && !PassesThrough(*relationship, *changed))
            continue;
        std::vector<UsablePair> pairs = UsablePairs(*relationship, table, related);
        if (!pairs.empty() && ValuesOf(pairs, *row, values) && Agrees(pairs, values, *related_row))
            result[std::make_pair(&related, related_row)].insert(relationship);
    }
    if (!table_relationships::NamedByText(related.name()) || related.owner() != table.owner())
        return;
    if (changed && changed->column_index() != 0)
        return;
    TextReferences references = ReferencesInRow(table, *row);
    if (KeyNamed(related, *related_row, references.For(related.name())))
        result[std::make_pair(&related, related_row)].insert(MsiSchema::Instance()->FormattedRelationship());
}
