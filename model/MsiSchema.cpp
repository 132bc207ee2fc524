#include "model/MsiSchema.h"
#include "model/installer/MsiApi.h"
#include "foundation/Errors.h"

#include <vector>

namespace {

std::shared_ptr<MsiSchema>& TheInstance()
{
    static std::shared_ptr<MsiSchema> instance;
    return instance;
}

std::wstring& ChosenPath()
{
    static std::wstring path;
    return path;
}

// A null integer field reads as 0.
int IntegerOrZero(MSIHANDLE record, UINT field)
{
    int value = msi::RecordGetInteger(record, field);
    return value == static_cast<int>(MSI_NULL_INTEGER) ? 0 : value;
}

MsiHandle RunQuery(MSIHANDLE database, const wchar_t* sql)
{
    MsiHandle view = msi::DatabaseOpenView(database, sql);
    msi::ViewExecute(view.get(), 0);
    return view;
}

} // namespace

std::shared_ptr<MsiSchema> MsiSchema::Instance()
{
    std::shared_ptr<MsiSchema>& instance = TheInstance();
    if (!instance) {
        // Assigned only once the load succeeded: a failure leaves no instance behind.
        instance = std::make_shared<MsiSchema>(ChosenPath().empty() ? DefaultPath() : ChosenPath());
    }
    return instance;
}

void MsiSchema::SetFilePath(const std::wstring& path)
{
    ChosenPath() = path;
    Release();
}

void MsiSchema::Release()
{
    TheInstance().reset();
}

std::wstring MsiSchema::DefaultPath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            tfc::throw_last_error(L"GetModuleFileName");
        if (length < buffer.size())
            break;
        buffer.resize(buffer.size() * 2); // cut short: a longer path would name the wrong folder
    }
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.rfind(L'\\')) + L"\\schema.dat";
}

MsiSchema::MsiSchema(const std::wstring& path)
    : formatted_(std::make_shared<RelationshipDef>(false, RelationshipKind::Formatted, 1))
{
    Load(path);
}

MsiSchema::~MsiSchema()
{
    // Fields and relationships hold each other; break the rings so both go.
    for (const MsiFieldSchema::Ptr& field : fields_) {
        field->outgoing.clear();
        field->incoming.clear();
    }
    for (const RelationshipDefPtr& relationship : relationships_)
        relationship->clear_pairs();
}

MsiFieldSchema::Ptr MsiSchema::FindField(const std::wstring& table, const std::wstring& column) const
{
    auto found = fields_.find(FieldLess::Key(table, column));
    return found == fields_.end() ? nullptr : *found;
}

RelationshipDefPtr MsiSchema::FindRelationship(const std::wstring& table_a, const std::wstring& table_b,
                                               int number) const
{
    auto probe = std::make_shared<RelationshipDef>(false, RelationshipKind::References, number);
    probe->add_pair(std::make_shared<MsiFieldSchema>(table_a, L""),
                    std::make_shared<MsiFieldSchema>(table_b, L""));
    auto found = relationships_.find(probe);
    return found == relationships_.end() ? nullptr : *found;
}

void MsiSchema::Load(const std::wstring& path)
{
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
    LoadFields(database.get());
    LoadRelationships(database.get());
}

void MsiSchema::LoadFields(MSIHANDLE database)
{
    MsiHandle view = RunQuery(database, L"SELECT * FROM `Schema`");
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        MSIHANDLE row = record.get();
        std::wstring table = msi::RecordGetString(row, 1);
        std::wstring column = msi::RecordGetString(row, 2);
        MsiFieldSchema::Ptr field = FindField(table, column);
        if (!field) {
            // The first row fetched for a column gives its texts; later rows only add categories.
            field = std::make_shared<MsiFieldSchema>(table, column);
            UINT count = msi::RecordGetFieldCount(row);
            if (count > 5)
                field->first_text = msi::RecordGetString(row, 6);
            if (count > 6)
                field->description = msi::RecordGetString(row, 7);
            if (count >= 8) {
                std::wstring values = msi::RecordGetString(row, 8);
                if (!values.empty())
                    field->named_values = ParseNamedValues(values);
            }
            fields_.insert(field);
        }
        field->set_category(msi::RecordGetString(row, 3), CategoryFromWord(msi::RecordGetString(row, 4)));
    }
}

void MsiSchema::LoadRelationships(MSIHANDLE database)
{
    MsiHandle view = RunQuery(database, L"SELECT * FROM `Relationships`");
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        MSIHANDLE row = record.get();
        std::wstring table_a = msi::RecordGetString(row, 1);
        std::wstring table_b = msi::RecordGetString(row, 3);
        MsiFieldSchema::Ptr side_a = FindField(table_a, msi::RecordGetString(row, 2));
        MsiFieldSchema::Ptr side_b = FindField(table_b, msi::RecordGetString(row, 4));
        if (!side_a || !side_b)
            continue; // names a column the Schema table does not describe
        int number = IntegerOrZero(row, 5);
        RelationshipDefPtr relationship = FindRelationship(table_a, table_b, number);
        if (relationship) {
            relationship->add_pair(side_a, side_b);
        } else {
            relationship = std::make_shared<RelationshipDef>(
                IntegerOrZero(row, 6) == 0, static_cast<RelationshipKind>(IntegerOrZero(row, 7)), number);
            relationship->add_pair(side_a, side_b); // its first pair places it in the ordered set
            relationships_.insert(relationship);
        }
        side_a->outgoing.insert(relationship);
        side_b->incoming.insert(relationship);
    }
}
