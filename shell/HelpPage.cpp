#include "shell/HelpPage.h"

#include "foundation/Options.h"
#include "foundation/Prompt.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/RowElementNode.h"
#include "views/tree/RowGrouping.h"

std::wstring HelpTableName(ContainerNode* node)
{
    if (auto* table = dynamic_cast<MsiTableNode*>(node))
        return table->GetLookup()->GetTableName();
    if (auto* row = dynamic_cast<RowElementNode*>(node))
        return row->GetTableName();
    if (auto* grouping = dynamic_cast<RowGroupingNode*>(node))
        return grouping->GetGrouping()->GetTableName();
    return std::wstring();
}

std::wstring TableHelpLink(const std::wstring& table_name)
{
    return gOptions.help_table_prefix + table_name + gOptions.help_table_suffix;
}

void OpenHelpPage(HWND owner, const std::wstring& link)
{
    if (!OpenLink(owner, link))
        ShowMessageBox(owner, L"The help page could not be opened:\r\n" + link, L"Help",
                       MB_OK | MB_ICONINFORMATION);
}
