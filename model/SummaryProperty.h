#pragma once
// One typed property of a database's summary information stream. The base answers every setter and
// numeric_value with a runtime error; each class overrides the setter of its own type.
#include <windows.h>
#include <msi.h>
#include <string>

class MsiSIProperty
{
public:
    virtual ~MsiSIProperty() = default;
    MsiSIProperty(const MsiSIProperty&) = delete;
    MsiSIProperty& operator=(const MsiSIProperty&) = delete;

    // Display text; empty when null.
    virtual std::wstring to_string() const = 0;
    virtual int numeric_value() const;
    // Writes the value into an open summary handle (tfc::Win32Error "MsiSummaryInfoSetProperty").
    virtual void write_to(MSIHANDLE summary, UINT pid) const = 0;
    virtual void set_filetime(const FILETIME& value);
    virtual void set_short(short value);
    virtual void set_integer(int value);
    virtual void set_string(const std::wstring& value);
    virtual void set_null() { null_ = true; }

    bool is_null() const { return null_; }
    const std::wstring& label() const { return label_; }

protected:
    MsiSIProperty(std::wstring label, bool null) : label_(std::move(label)), null_(null) {}
    void mark_set() { null_ = false; }

private:
    std::wstring label_;
    bool null_;
};

class MsiSIShortProperty : public MsiSIProperty
{
public:
    explicit MsiSIShortProperty(std::wstring label) : MsiSIProperty(std::move(label), true) {}
    MsiSIShortProperty(std::wstring label, short value)
        : MsiSIProperty(std::move(label), false), value_(value)
    {
    }
    std::wstring to_string() const override;
    int numeric_value() const override { return value_; }
    void write_to(MSIHANDLE summary, UINT pid) const override;
    void set_short(short value) override;

private:
    short value_ = 0;
};

class MsiSIIntegerProperty : public MsiSIProperty
{
public:
    explicit MsiSIIntegerProperty(std::wstring label) : MsiSIProperty(std::move(label), true) {}
    MsiSIIntegerProperty(std::wstring label, int value)
        : MsiSIProperty(std::move(label), false), value_(value)
    {
    }
    std::wstring to_string() const override;
    int numeric_value() const override { return value_; }
    void write_to(MSIHANDLE summary, UINT pid) const override;
    void set_integer(int value) override;

private:
    int value_ = 0;
};

class MsiSIStringProperty : public MsiSIProperty
{
public:
    explicit MsiSIStringProperty(std::wstring label) : MsiSIProperty(std::move(label), true) {}
    MsiSIStringProperty(std::wstring label, std::wstring value)
        : MsiSIProperty(std::move(label), false), value_(std::move(value))
    {
    }
    std::wstring to_string() const override;
    void write_to(MSIHANDLE summary, UINT pid) const override;
    void set_string(const std::wstring& value) override;

private:
    std::wstring value_;
};

class MsiSIFiletimeProperty : public MsiSIProperty
{
public:
    explicit MsiSIFiletimeProperty(std::wstring label) : MsiSIProperty(std::move(label), true) {}
    MsiSIFiletimeProperty(std::wstring label, const FILETIME& value)
        : MsiSIProperty(std::move(label), false), value_(value)
    {
    }
    // The user's date and time formats, without any time-zone shift (the stream holds local time).
    std::wstring to_string() const override;
    void write_to(MSIHANDLE summary, UINT pid) const override;
    void set_filetime(const FILETIME& value) override;
    const FILETIME& value() const { return value_; }

private:
    FILETIME value_ = {0, 0};
};
