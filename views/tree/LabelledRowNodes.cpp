#include "views/tree/LabelledRowNodes.h"

namespace {

std::wstring DisplayText(MsiTable& table, const MsiRow& row, size_t column)
{
    if (column >= row.size() || row[column]->is_null())
        return std::wstring();
    return table.columns()[column]->display_str(*row[column]);
}

} // namespace

std::wstring IniFileNode::MakeLabel()
{
    if (!HasRow())
        return std::wstring();
    std::wstring label;
    for (size_t column : {1u, 3u, 4u}) {
        std::wstring text = DisplayText(*GetTable(), *GetRow(), column);
        if (text.empty())
            continue;
        if (!label.empty())
            label += L" ";
        label += text;
    }
    return label.empty() ? RowElementNode::MakeLabel() : CutLabel(label);
}

std::wstring RegistryNode::MakeLabel()
{
    if (!HasRow())
        return std::wstring();
    const MsiRow& row = *GetRow();
    std::wstring root;
    if (row.size() > 1 && !row[1]->is_null()) {
        switch (row[1]->integer()) {
        case 0:
            root = L"HKCR";
            break;
        case 1:
            root = L"HKCU";
            break;
        case 2:
            root = L"HKLM";
            break;
        case 3:
            root = L"HKU";
            break;
        case -1:
            root = L"HKLM|HKCU";
            break;
        default:
            root = DisplayText(*GetTable(), row, 1);
        }
    }
    return CutLabel(root + L"\\" + DisplayText(*GetTable(), row, 2) + L": " +
                    DisplayText(*GetTable(), row, 3) + L" => " + DisplayText(*GetTable(), row, 4));
}
