// Every database of the shared test data, opened read-only and transacted through the model, must hold
// exactly what the installer library returns for it: tables, row counts, every cell, every stream.
#include "model/MsiBinaryData.h"
#include "model/MsiFile.h"
#include "model/MsiQuery.h"
#include "foundation/Convert.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"
#include "tools/ModelDump.h"

#include <gtest/gtest.h>
#include <wincrypt.h>

using namespace model_testing;

namespace {

std::vector<std::wstring> CorpusFiles()
{
    std::vector<std::wstring> names;
    std::wstring folder = testing_support::SharedPath(L"testdata");
    if (folder.empty())
        return names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = found.cFileName;
        size_t dot = name.rfind(L'.');
        std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot);
        for (const wchar_t* known : {L".msi", L".msm", L".cub", L".wsi", L".pcp"}) {
            if (lstrcmpiW(extension.c_str(), known) == 0)
                names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// MD5 straight from the crypto library, apart from the model's own hashing.
std::vector<BYTE> Md5(const std::string& bytes)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    std::vector<BYTE> digest(16);
    DWORD size = 16;
    EXPECT_TRUE(CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    EXPECT_TRUE(CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));
    if (!bytes.empty())
        CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0);
    CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    return digest;
}

void CompareTable(MsiFile& file, MsiTable& table)
{
    SCOPED_TRACE(table.name());
    MsiHandle view =
        MsiQuery::OpenAndExecute(file.handle(), L"SELECT * FROM " + MsiQuery::QuoteName(table.name()), 0);
    size_t count = 0;
    auto row = table.rows().begin();
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        ++count;
        ASSERT_NE(row, table.rows().end()) << "the model has fewer rows";
        ASSERT_EQ(table.columns().size(), msi::RecordGetFieldCount(record.get()));
        for (const MsiFieldDefRef& column : table.columns()) {
            UINT field = static_cast<UINT>(column->column_index() + 1);
            const MsiFieldData& cell = *(*row)[column->column_index()];
            bool null = msi::RecordIsNull(record.get(), field);
            switch (column->kind()) {
            case MsiFieldKind::Integer:
                EXPECT_EQ(null, cell.is_null());
                if (!null) {
                    EXPECT_EQ(msi::RecordGetInteger(record.get(), field), cell.integer());
                }
                break;
            case MsiFieldKind::String:
                EXPECT_EQ(null ? std::wstring() : msi::RecordGetString(record.get(), field),
                          column->clipboard_str(cell));
                EXPECT_EQ(null, cell.is_null());
                break;
            case MsiFieldKind::Binary: {
                EXPECT_EQ(null, cell.is_null());
                if (null)
                    break;
                table.ExtractCell(*row, *column);
                MsiBinaryData data(cell);
                std::string direct = StreamBytes(record.get(), field);
                std::vector<BYTE> bytes = testing_support::ReadFileBytes(data.path);
                EXPECT_EQ(direct, std::string(bytes.begin(), bytes.end()));
                EXPECT_EQ(Md5(direct), *data.digest);
                break;
            }
            }
        }
        ++row;
    }
    EXPECT_EQ(count, table.rows().size());
}

} // namespace

TEST(Corpus, EveryTableAndCellAsTheLibrarySeesIt)
{
    std::vector<std::wstring> files = CorpusFiles();
    if (files.empty())
        GTEST_SKIP() << "no shared test data";
    testing_support::ScratchFolder folder;
    for (const std::wstring& name : files) {
        for (const wchar_t* mode : {MSIDBOPEN_READONLY, MSIDBOPEN_TRANSACT}) {
            SCOPED_TRACE(testing::Message() << tfc::to_narrow(name)
                                            << (mode == MSIDBOPEN_READONLY ? " read-only" : " transacted"));
            std::wstring copy = folder.copy_in(testing_support::TestDataPath(name), name);
            MsiFile file;
            EXPECT_EQ(mode == MSIDBOPEN_READONLY, file.Open(copy, mode));
            // Every table `_Tables` lists is loaded.
            for (const auto& listed : SelectRows(file.handle(), L"SELECT `Name` FROM `_Tables`")) {
                MsiTableRef table = file.FindTable(tfc::to_wide(listed[0]));
                ASSERT_TRUE(table) << listed[0];
                EXPECT_TRUE(table->user_table());
            }
            for (auto& entry : file.tables())
                CompareTable(file, *entry.second);
            std::wstring dump = model_dump::DumpDatabase(file, true);
            EXPECT_NE(std::wstring::npos, dump.find(L"[Summary Information]"));
            DeleteFileW(copy.c_str());
        }
    }
}
