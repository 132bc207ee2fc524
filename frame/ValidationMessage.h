#pragma once
// One ICE message of a validation run: where it points (document, table, column, row keys), which .cub
// and ICE said it, its type and texts, and whether its document was closed since.
#include "model/lookups/FindCriteria.h"

#include <string>
#include <vector>

struct ValidationMessage
{
    // text: the validated document's full path (as its tab answers GetPath).
    FindCriteria location;
    std::wstring cub;
    std::wstring ice;
    // "0" failure, "1" error, "2" warning, "3" information, or whatever else the ICE wrote.
    std::wstring type;
    std::wstring description;
    std::wstring help;
    bool hidden = false;

    // Fields of a results line: ICE, type, description, help, table, column, then the key values.
    static ValidationMessage FromFields(const std::vector<std::wstring>& fields, const std::wstring& document,
                                        const std::wstring& cub);

    // "Failure", "Error", "Warning", "Info", else the type as received.
    std::wstring TypeText() const;
    // Key values joined with "|".
    std::wstring KeyText() const;
};

// Document paths, then (as asked) tables, key vectors and columns; exact, case-sensitive.
struct ValidationMessageLess
{
    ValidationMessageLess(bool columns, bool key_values, bool tables)
        : columns(columns), key_values(key_values), tables(tables)
    {
    }
    bool operator()(const FindCriteria& a, const FindCriteria& b) const;
    bool operator()(const ValidationMessage& a, const ValidationMessage& b) const
    {
        return (*this)(a.location, b.location);
    }

    bool columns;
    bool key_values;
    bool tables;
};
