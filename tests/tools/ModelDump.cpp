#include "tools/ModelDump.h"
#include "model/MsiBinaryData.h"

namespace model_dump {

std::wstring HexText(const std::vector<BYTE>& bytes)
{
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (BYTE byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

namespace {

std::wstring Joined(const std::vector<std::wstring>& parts)
{
    std::wstring text;
    for (size_t at = 0; at < parts.size(); ++at)
        text += (at ? L"\t" : L"") + parts[at];
    return text + L"\n";
}

} // namespace

std::wstring DumpTable(MsiTable& table, bool stream_digests)
{
    std::wstring text = L"[" + table.name() + L"]\n";
    std::vector<std::wstring> names, types;
    for (const MsiFieldDefRef& column : table.columns()) {
        names.push_back(column->name());
        types.push_back(column->type_text());
    }
    text += Joined(names) + Joined(types);
    for (MsiRow& row : table.rows()) {
        std::vector<std::wstring> cells;
        for (const MsiFieldDefRef& column : table.columns()) {
            const MsiFieldData& cell = *row[column->column_index()];
            if (stream_digests && column->kind() == MsiFieldKind::Binary && !cell.is_null()) {
                table.ExtractCell(row, *column);
                cells.push_back(L"md5:" + HexText(*MsiBinaryData(cell).digest));
            } else {
                cells.push_back(column->display_str(cell));
            }
        }
        text += Joined(cells);
    }
    return text + L"\n";
}

std::wstring DumpSummaryInformation(MsiFile& file)
{
    std::wstring text = L"[Summary Information]\n";
    for (const auto& entry : file.summary_info()) {
        const MsiSIProperty& property = *entry.second;
        text += Joined({std::to_wstring(entry.first), property.label(),
                        property.is_null() ? std::wstring(L"<null>") : property.to_string()});
    }
    return text;
}

std::wstring DumpDatabase(MsiFile& file, bool stream_digests)
{
    std::wstring text;
    for (auto& entry : file.tables())
        text += DumpTable(*entry.second, stream_digests);
    return text + DumpSummaryInformation(file);
}

} // namespace model_dump
