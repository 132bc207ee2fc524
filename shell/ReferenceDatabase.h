#pragma once
// Where Add Tables finds the reference database: the installer's qualified component of reference
// databases, one entry per qualifier (a decimal number; the largest wins).
#include "model/MsiQuery.h"

#include <functional>
#include <string>
#include <vector>

using ReferenceDatabaseSource = std::function<std::vector<QualifiedComponent>()>;

// The registered entries; tests install their own source and get the previous one back.
std::vector<QualifiedComponent> RegisteredReferenceDatabases();
ReferenceDatabaseSource SetReferenceDatabaseSource(ReferenceDatabaseSource source);

// The entry whose qualifier read as a decimal number is the largest (the first of equals); -1 for none.
int ChooseReferenceDatabase(const std::vector<QualifiedComponent>& entries);
