#include "model/FieldSchema.h"

#include <boost/regex.hpp>

FieldCategory CategoryFromWord(const std::wstring& word)
{
    static const std::pair<const wchar_t*, FieldCategory> words[] = {
        {L"GUID", FieldCategory::GUID},         {L"Date", FieldCategory::Date},
        {L"Integer", FieldCategory::Integer},   {L"DoubleInteger", FieldCategory::DoubleInteger},
        {L"Hex", FieldCategory::Hex},           {L"Formatted", FieldCategory::Formatted},
        {L"Template", FieldCategory::Template},
    };
    for (const auto& entry : words)
        if (word == entry.first)
            return entry.second;
    return FieldCategory::None;
}

namespace {

// Unsigned 32 bits; a number too large for them reads as all bits set.
uint32_t ReadNumber(const std::wstring& digits, unsigned base)
{
    uint64_t value = 0;
    for (wchar_t c : digits) {
        unsigned digit = (c >= L'0' && c <= L'9')   ? c - L'0'
                         : (c >= L'a' && c <= L'f') ? c - L'a' + 10
                                                    : c - L'A' + 10;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

uint32_t NumberOf(const boost::wsmatch& match, int hex_group)
{
    if (match[hex_group].matched)
        return ReadNumber(match[hex_group].str(), 16);
    if (match[hex_group + 1].matched)
        return ReadNumber(match[hex_group + 1].str(), 10);
    return 0;
}

} // namespace

std::vector<NamedValue> ParseNamedValues(const std::wstring& text)
{
    static const std::wstring number = L"(?:(?:0x([[:xdigit:]]+))|([[:digit:]]+))";
    static const boost::wregex pattern(L"^(?:([^\\t\\n]+)\\t+" + number + L"(?:\\t+" + number + L")?)|(" +
                                       L"---.*" + L")$");
    std::vector<NamedValue> values;
    // Without match_not_dot_newline ".*" would run over the line ends and swallow every later line.
    for (boost::wsregex_iterator it(text.begin(), text.end(), pattern, boost::match_not_dot_newline), end;
         it != end; ++it) {
        const boost::wsmatch& match = *it;
        if (match[6].matched)
            values.push_back({L"---", 0, 0});
        else
            values.push_back({match[1].str(), NumberOf(match, 2), NumberOf(match, 4)});
    }
    return values;
}

MsiFieldSchema::MsiFieldSchema(std::wstring table, std::wstring column)
    : table_(std::move(table)), column_(std::move(column))
{
    categories_[L""] = FieldCategory::None;
}

FieldCategory MsiFieldSchema::category() const
{
    auto found = categories_.find(L"");
    return found == categories_.end() ? FieldCategory::None : found->second;
}

FieldCategory MsiFieldSchema::category_for(const std::wstring& qualifier) const
{
    auto found = categories_.find(qualifier);
    return found == categories_.end() ? category() : found->second;
}

std::set<MsiFieldSchema::Ptr> MsiFieldSchema::ReferencedColumns() const
{
    std::set<Ptr> columns;
    for (const RelationshipDefPtr& relationship : outgoing)
        for (const Ptr& column : relationship->TargetColumnsFor(this))
            columns.insert(column);
    return columns;
}

bool NamedValuesEmpty(const MsiFieldSchema* schema)
{
    return !schema || schema->named_values.empty();
}

RelationshipDef::RelationshipDef(bool required, RelationshipKind kind, int number)
    : required_(required), kind_(kind), number_(number)
{
}

void RelationshipDef::add_pair(const MsiFieldSchema::Ptr& side_a, const MsiFieldSchema::Ptr& side_b)
{
    pairs_.insert({side_a, side_b});
}

std::vector<MsiFieldSchema::Ptr> RelationshipDef::SourceColumnsFor(const MsiFieldSchema* column) const
{
    std::vector<MsiFieldSchema::Ptr> columns;
    for (const ColumnPair& pair : pairs_)
        if (pair.second.get() == column)
            columns.push_back(pair.first);
    return columns;
}

std::vector<MsiFieldSchema::Ptr> RelationshipDef::TargetColumnsFor(const MsiFieldSchema* column) const
{
    std::vector<MsiFieldSchema::Ptr> columns;
    for (const ColumnPair& pair : pairs_)
        if (pair.first.get() == column)
            columns.push_back(pair.second);
    return columns;
}

std::wstring RelationshipDef::Describe() const
{
    if (kind_ == RelationshipKind::Formatted)
        return L"Formatted";
    const wchar_t* word = kind_ == RelationshipKind::Owns        ? L" OWNS "
                          : kind_ == RelationshipKind::IsOwnedBy ? L" IS OWNED BY "
                                                                 : L" REFERENCES ";
    std::wstring text;
    for (const ColumnPair& pair : pairs_) {
        if (!text.empty())
            text += L" + ";
        text += pair.first->table() + L"." + pair.first->column() + word + pair.second->table() + L"." +
                pair.second->column();
    }
    return text + (required_ ? L", required" : L", optional");
}

bool RelationshipDefLess::operator()(const RelationshipDefPtr& left, const RelationshipDefPtr& right) const
{
    if (left->pairs().empty() || right->pairs().empty())
        return left->pairs().empty() && !right->pairs().empty();
    const RelationshipDef::ColumnPair& a = *left->pairs().begin();
    const RelationshipDef::ColumnPair& b = *right->pairs().begin();
    if (a.first->table() != b.first->table())
        return a.first->table() < b.first->table();
    if (a.second->table() != b.second->table())
        return a.second->table() < b.second->table();
    return left->number() < right->number();
}
