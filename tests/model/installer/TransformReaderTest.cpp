// The layer reads transforms back where it applies part of them itself: what the writer puts in must
// come out the same.
#include "model/installer/TransformContent.h"
#include "model/installer/TransformReader.h"
#include "model/installer/TransformStorage.h"
#include "model/installer/TransformStreamNames.h"
#include "model/installer/TransformWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

msi::TransformCell Int(int value)
{
    msi::TransformCell cell;
    cell.kind = msi::TransformCell::Integer;
    cell.integer = value;
    return cell;
}

msi::TransformCell Text(const std::wstring& text)
{
    msi::TransformCell cell;
    cell.kind = msi::TransformCell::Text;
    cell.text = text;
    return cell;
}

msi::TransformCell Bytes(const std::string& bytes)
{
    msi::TransformCell cell;
    cell.kind = msi::TransformCell::Stream;
    cell.bytes = bytes;
    return cell;
}

} // namespace

TEST(TransformReader, NamesUnpackAsTheyWerePacked)
{
    for (const wchar_t* name :
         {L"_Columns", L"Binary.Icon1", L"a-b c", L"T.1.-2", L"Z_z.9", L"\x00E9t\x00E9"}) {
        for (bool table : {false, true}) {
            bool table_stream = !table;
            EXPECT_EQ(name, msi::UnpackStreamName(msi::PackStreamName(name, table), table_stream));
            EXPECT_EQ(table, table_stream);
        }
    }
}

// Inserts (whole, and cut short before a null stream cell), updates, deletes, 2- and 4-byte integers at their
// limits, texts in the pool's code page and one of 64 KiB or more, and stream cells under their row names.
TEST(TransformReader, RecordsReadBackAsWritten)
{
    const std::vector<msi::TransformColumn> columns = {{L"K", 0x2D48},    {L"Small", 0x1502},
                                                       {L"Tiny", 0x1501}, {L"Big", 0x1104},
                                                       {L"Note", 0x1F00}, {L"Data", 0x1900}};
    const std::wstring long_text = std::wstring(70000, L'x') + L"end";
    const std::vector<msi::TransformRow> rows = {
        {Text(L"a"), Int(-32767), Int(-127), Int(-2147483647), Text(L"caf\x00E9"), Bytes("data of a")},
        {Text(L"b"), Int(32767), Int(6), Int(2147483647), Text(long_text), Bytes(std::string(5000, 'b'))},
        {Text(L"c"), Int(0), Int(1), {}, {}, {}},
        {Text(L"d"), {}, {}, Int(7), Text(L"before the null stream"), {}},
    };
    msi::TransformContent content(1252);
    content.Insert(L"T", columns, rows[0]);
    content.Insert(L"T", columns, rows[1]);
    content.Insert(L"T", columns, rows[2]);
    content.Insert(L"T", columns, rows[3]);
    content.Update(L"T", columns, rows[1], {2, 5});
    content.Delete(L"T", columns, rows[2]);
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"read.mst");
    msi::WriteStorageFile(path, msi::kTransformClassId, content.Streams());

    msi::TransformFile file(path);
    EXPECT_TRUE(IsEqualCLSID(msi::kTransformClassId, file.ClassId()));
    EXPECT_EQ((std::vector<std::wstring>{L"T"}), file.Tables());
    EXPECT_EQ(1u, file.CellStreams().count(L"T.a"));
    std::vector<msi::TransformRecord> records = file.Records(L"T", columns);
    ASSERT_EQ(6u, records.size());
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(records[i].IsInsert());
        EXPECT_EQ(rows[i], records[i].row);
    }
    // A null stream cell at the end is left out of the record.
    EXPECT_FALSE(records[3].present[5]);
    EXPECT_EQ((std::vector<bool>{true, false, true, false, false, true}), records[4].present);
    EXPECT_EQ(rows[1][2], records[4].row[2]);
    EXPECT_EQ(rows[1][5], records[4].row[5]);
    EXPECT_TRUE(records[5].IsDelete());
    EXPECT_EQ(rows[2][0], records[5].row[0]);
}
