#pragma once
// The reference pages behind F1: a table's page, or the start page.
#include <windows.h>
#include <string>

class ContainerNode;

// The table a selected tree node is about: a table node's table, a row node's row's table, a grouping's
// table; empty for anything else.
std::wstring HelpTableName(ContainerNode* node);
// The link to a table's page, from the options' prefix and suffix.
std::wstring TableHelpLink(const std::wstring& table_name);
// Opens the page; when no program could be started for it (as under Wine without a browser), says so.
void OpenHelpPage(HWND owner, const std::wstring& link);
