#pragma once
// The column descriptions and relationships of "schema.dat", read once per process. The file lies beside
// the executable; tests may point the process at another one.
#include "model/FieldSchema.h"

#include <windows.h>
#include <msi.h>
#include <memory>
#include <set>
#include <string>
#include <utility>

class MsiSchema
{
public:
    // Fields by table, then column (case-sensitive); the comparator also finds by a (table, column) pair.
    struct FieldLess
    {
        using is_transparent = void;
        using Key = std::pair<const std::wstring&, const std::wstring&>;
        static Key key(const MsiFieldSchema::Ptr& field) { return {field->table(), field->column()}; }
        bool operator()(const MsiFieldSchema::Ptr& a, const MsiFieldSchema::Ptr& b) const
        {
            return key(a) < key(b);
        }
        bool operator()(const MsiFieldSchema::Ptr& a, const Key& b) const { return key(a) < b; }
        bool operator()(const Key& a, const MsiFieldSchema::Ptr& b) const { return a < key(b); }
    };
    using FieldSet = std::set<MsiFieldSchema::Ptr, FieldLess>;
    using RelationshipSet = std::set<RelationshipDefPtr, RelationshipDefLess>;

    // The process-wide instance, loaded on first use. A failed load throws (tfc::Win32Error named
    // "MsiOpenDatabase", "MsiViewFetch"...) and leaves no instance, so the next call tries again.
    static std::shared_ptr<MsiSchema> Instance();
    // Where Instance loads from: empty for "schema.dat" beside the executable. Drops the current instance.
    static void SetFilePath(const std::wstring& path);
    // Drops the current instance; the next Instance call loads the file again.
    static void Release();
    // The executable's folder + "\schema.dat".
    static std::wstring DefaultPath();

    // Loads the given file at once.
    explicit MsiSchema(const std::wstring& path);
    ~MsiSchema();
    MsiSchema(const MsiSchema&) = delete;
    MsiSchema& operator=(const MsiSchema&) = delete;

    // The schema of a column, or empty when the file does not describe it.
    MsiFieldSchema::Ptr FindField(const std::wstring& table, const std::wstring& column) const;
    // The relationship between two tables with this number, or empty.
    RelationshipDefPtr FindRelationship(const std::wstring& table_a, const std::wstring& table_b,
                                        int number) const;

    const FieldSet& fields() const { return fields_; }
    const RelationshipSet& relationships() const { return relationships_; }
    // The relationship that every link found through [..] references in formatted text carries.
    const RelationshipDefPtr& FormattedRelationship() const { return formatted_; }

private:
    void Load(const std::wstring& path);
    void LoadFields(MSIHANDLE database);
    void LoadRelationships(MSIHANDLE database);

    FieldSet fields_;
    RelationshipSet relationships_;
    RelationshipDefPtr formatted_;
};
