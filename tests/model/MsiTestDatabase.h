#pragma once
// Small installer databases built through the library layer for model tests, and their files' times.
#include "model/installer/MsiApi.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace model_testing {

// A parameter of a statement: null, an integer, a text, or a stream read from a file.
struct Param
{
    enum Kind
    {
        null,
        integer,
        text,
        stream
    } kind = null;
    int number = 0;
    std::wstring value;

    static Param Null() { return Param(); }
    static Param Int(int number) { return Param{integer, number, {}}; }
    static Param Text(const std::wstring& value) { return Param{text, 0, value}; }
    static Param StreamFile(const std::wstring& path) { return Param{stream, 0, path}; }
};

MsiHandle ParamRecord(const std::vector<Param>& params);
// Opens and executes sql with the parameters; returns the executed view.
MsiHandle Execute(MSIHANDLE database, const std::wstring& sql, const std::vector<Param>& params = {});
// A new database file at path (created, committed and closed) made by the statements.
void CreateDatabaseFile(const std::wstring& path, const std::vector<std::wstring>& statements);
// Rows of a SELECT as display texts: "<null>" for null, integers in decimal, streams as their bytes.
std::vector<std::vector<std::string>> SelectRows(MSIHANDLE database, const std::wstring& sql,
                                                 const std::vector<Param>& params = {});
std::string StreamBytes(MSIHANDLE record, UINT field);

// A last-write time long past, and reading and setting a file's.
FILETIME OldTime();
FILETIME LastWriteTime(const std::wstring& path);
void SetLastWriteTime(const std::wstring& path, const FILETIME& time);

} // namespace model_testing
