#pragma once
// The kinds of new file that the installer registers templates for, each a category of qualified
// components, and the reference database that Add Tables copies tables from.
#include "model/MsiQuery.h"

#include <optional>
#include <string>
#include <vector>

struct TemplateKind
{
    const wchar_t* name;              // the text in the Type list
    const wchar_t* category;          // the qualified-component category
    const wchar_t* default_extension; // ".msi", ".msm", or empty
    const wchar_t* filter_name;       // the save dialog's filter: description and pattern
    const wchar_t* filter_pattern;
};

// Package, Merge Module and Templates, in the order they are listed.
const std::vector<TemplateKind>& TemplateKinds();

// The package templates' category; its entries with numeric qualifiers are the reference databases.
extern const wchar_t kPackageTemplateCategory[];

// The entry whose qualifier, read as a decimal number, is the largest; ties keep the first. Null when
// there is none.
const QualifiedComponent* LargestNumericQualifier(const std::vector<QualifiedComponent>& entries);

// The installed reference database (its qualifier, description and path), if any is registered.
std::optional<QualifiedComponent> FindReferenceDatabase();
