#pragma once
// Column definitions. A column is decoded from the type text the installer gives for it ("s72", "I4",
// "L0", "V0"...) and copied into the class of its kind, which formats, parses, validates, writes and copies
// the cells of that column.
#include "model/FieldSchema.h"
#include "model/MsiFieldData.h"

#include <windows.h>
#include <msi.h>
#include <string>
#include <utility>
#include <vector>

enum class MsiFieldKind
{
    Integer = 0,
    Binary = 1,
    String = 2
};

// (level, message): 2 for a missing value, 1 for other faults; any message means the value is refused.
using MsiValidation = std::vector<std::pair<int, std::wstring>>;

class MsiFieldDef;
using MsiFieldDefRef = tfc::RefersTo<MsiFieldDef>;

class MsiFieldDef : public tfc::RefCounted
{
public:
    // Decodes the type text: first letter i/s/l/v (l = localizable string; anything else a plain string),
    // lower case = required, then the width in decimal (0 or none = unlimited).
    MsiFieldDef(std::wstring name, bool key, std::wstring type_text, int column_index,
                MsiFieldSchema::Ptr field_schema);
    MsiFieldDef(const MsiFieldDef& other) = default;
    MsiFieldDef& operator=(const MsiFieldDef&) = delete;
    ~MsiFieldDef() override = default;

    // "(72), Key, Required"; each kind puts "Name: String " (or "Number ", "Binary") first.
    virtual std::wstring description() const;
    virtual std::wstring display_str(const MsiFieldData& cell) const;
    // Appends display_str's text; a string cell's without a string of its own (sorting reads every cell).
    virtual void append_display_str(const MsiFieldData& cell, std::wstring& text) const;
    virtual std::wstring clipboard_str(const MsiFieldData& cell) const;
    virtual int integer_value(const MsiFieldData& cell) const;
    // Parses user text into the cell.
    virtual void set_field_data(MsiFieldData& cell, const std::wstring& text) const;
    virtual MsiValidation validate(const MsiFieldData& cell) const;
    virtual void set_non_null_record_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const;
    virtual MsiFieldDataRef clone_non_null_data(const MsiFieldData& cell) const;

    // The column in CREATE TABLE: "`Property` CHAR(72) NOT NULL".
    std::wstring sql_definition() const;
    MsiFieldDataRef clone_data(const MsiFieldData& cell) const;
    // Null as a null field, anything else through set_non_null_record_data.
    void set_record_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const;
    // The same as a parameter of a condition (WHERE), where a few columns take another form than as data.
    virtual void set_condition_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const;

    unsigned width() const { return width_; }
    MsiFieldKind kind() const { return kind_; }
    bool nullable() const { return nullable_; }
    bool localizable() const { return localizable_; }
    bool is_key() const { return key_; }
    void set_key(bool key) { key_ = key; }
    const std::wstring& name() const { return name_; }
    const std::wstring& type_text() const { return type_text_; }
    int column_index() const { return column_index_; }
    const MsiFieldSchema::Ptr& field_schema() const { return field_schema_; }

protected:
    std::wstring described(const wchar_t* kind_word) const;

private:
    unsigned width_ = 0;
    MsiFieldKind kind_ = MsiFieldKind::String;
    bool nullable_ = false;
    bool localizable_ = false;
    bool key_ = false;
    std::wstring name_;
    std::wstring type_text_;
    int column_index_ = 0;
    MsiFieldSchema::Ptr field_schema_;
};

class MsiStringFieldDef : public MsiFieldDef
{
public:
    explicit MsiStringFieldDef(const MsiFieldDef& base) : MsiFieldDef(base) {}
    std::wstring description() const override;
    std::wstring display_str(const MsiFieldData& cell) const override;
    void append_display_str(const MsiFieldData& cell, std::wstring& text) const override;
    std::wstring clipboard_str(const MsiFieldData& cell) const override;
    void set_field_data(MsiFieldData& cell, const std::wstring& text) const override;
    MsiValidation validate(const MsiFieldData& cell) const override;
    void set_non_null_record_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const override;
    MsiFieldDataRef clone_non_null_data(const MsiFieldData& cell) const override;
};

class MsiNumericFieldDef : public MsiFieldDef
{
public:
    explicit MsiNumericFieldDef(const MsiFieldDef& base) : MsiFieldDef(base) {}
    std::wstring description() const override;
    std::wstring display_str(const MsiFieldData& cell) const override;
    std::wstring clipboard_str(const MsiFieldData& cell) const override;
    int integer_value(const MsiFieldData& cell) const override;
    void set_field_data(MsiFieldData& cell, const std::wstring& text) const override;
    MsiValidation validate(const MsiFieldData& cell) const override;
    void set_non_null_record_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const override;
    void set_condition_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const override;
    MsiFieldDataRef clone_non_null_data(const MsiFieldData& cell) const override;
    // The value the installer stores as null: 0x80000000, and -32768 in a 2-byte column.
    bool holds_null_marker(const MsiFieldData& cell) const;
};

class MsiBinaryFieldDef : public MsiFieldDef
{
public:
    explicit MsiBinaryFieldDef(const MsiFieldDef& base) : MsiFieldDef(base) {}
    std::wstring description() const override;
    std::wstring display_str(const MsiFieldData& cell) const override;
    std::wstring clipboard_str(const MsiFieldData& cell) const override;
    // The text is a file path; the file is copied into a temporary file, so later changes to the user's
    // own file do not change what is saved.
    void set_field_data(MsiFieldData& cell, const std::wstring& path) const override;
    void set_non_null_record_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const override;
    MsiFieldDataRef clone_non_null_data(const MsiFieldData& cell) const override;
};

// A column decoded from its type text, as the class of its kind.
MsiFieldDefRef MakeFieldDef(const std::wstring& name, bool key, const std::wstring& type_text,
                            int column_index, const MsiFieldSchema::Ptr& field_schema);
// The same column as the class of its kind (also a copy of another definition).
MsiFieldDefRef MakeConcreteFieldDef(const MsiFieldDef& base);

// The category numbers of a column are shown in: Hex for hexadecimal, anything else decimal. Bit-flag
// columns follow the user's option.
FieldCategory GetNumericDisplayFormat(const MsiFieldSchema* field_schema);
// "Unsigned 32-bit decimal" as the editors read it: white space, an optional sign, digits up to the first
// other character (none: 0); a minus negates modulo 2^32; more than 32 bits gives 0xFFFFFFFF.
uint32_t ParseUnsigned32(const std::wstring& text);
