#include "ChangesTesting.h"
#include "tools/ModelDump.h"

#include <algorithm>
#include <vector>

namespace changes_testing {

namespace {

std::wstring SortedTable(MsiTable& table)
{
    std::wstring dump = model_dump::DumpTable(table, true);
    // Header line, column names, types; then the rows, then an empty line.
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < dump.size()) {
        size_t end = dump.find(L'\n', start);
        lines.push_back(dump.substr(start, end - start));
        start = end + 1;
    }
    std::sort(lines.begin() + 3, lines.end());
    std::wstring text;
    for (const std::wstring& line : lines) {
        // The summary stream holds the save time; its other properties are compared one by one.
        if (!line.empty() && line.compare(0, 19, L"\x5SummaryInformation") != 0)
            text += line + L"\n";
    }
    return text;
}

} // namespace

std::wstring DatabasePicture(MsiFile& file, bool streams_table)
{
    std::wstring text;
    for (auto& entry : file.tables()) {
        if (streams_table || entry.first != L"_Streams")
            text += SortedTable(*entry.second);
    }
    text += L"[Summary Information]\n";
    for (const auto& entry : file.summary_info()) {
        if (entry.first == 13)
            continue; // the save time
        text += std::to_wstring(entry.first) + L"\t" +
                (entry.second->is_null() ? std::wstring(L"<null>") : entry.second->to_string()) + L"\n";
    }
    return text + L"[Code page]\n" + std::to_wstring(file.GetCodepage()) + L"\n";
}

std::wstring FilePicture(const std::wstring& path, bool streams_table)
{
    MsiFile file;
    file.Open(path, MSIDBOPEN_READONLY);
    return DatabasePicture(file, streams_table);
}

std::wstring LinksPicture(MsiFile& file, const SchemaRelationships& tracking)
{
    std::vector<std::wstring> lines;
    for (auto& entry : file.tables()) {
        MsiTable& table = *entry.second;
        for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row) {
            std::wstring from = table.name() + L":" + table.RowKeyText(*row);
            for (const auto& related : tracking.GetReferencedRows(table, row)) {
                for (const SchemaRelationships::LinkedRow& link : related.second) {
                    std::wstring line = from + L" -> " + related.first->name() + L":" +
                                        related.first->RowKeyText(*link.row) + L" [";
                    for (const RelationshipDefPtr& relationship : link.relationships)
                        line += relationship->Describe() + L"; ";
                    lines.push_back(line + L"]");
                }
            }
            // Each link seen from its other end too, so both indexes are checked.
            for (const auto& related : tracking.GetReferencingRows(table, row)) {
                for (const SchemaRelationships::LinkedRow& link : related.second) {
                    std::wstring line = related.first->name() + L":" + related.first->RowKeyText(*link.row) +
                                        L" => " + from + L" [";
                    for (const RelationshipDefPtr& relationship : link.relationships)
                        line += relationship->Describe() + L"; ";
                    lines.push_back(line + L"]");
                }
            }
        }
    }
    std::sort(lines.begin(), lines.end());
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\n";
    return text;
}

std::wstring RebuiltLinksPicture(MsiFile& file)
{
    SchemaRelationships fresh;
    fresh.Build(file);
    return LinksPicture(file, fresh);
}

} // namespace changes_testing
