#pragma once
// "&Import .reg file" of a component: a registry export file becomes rows of the Registry table for that
// component. All or nothing: every row is built and checked before the first is added.
#include <windows.h>
#include <string>

class EditableMsiFileTab;

// `component` is the component row's key text; `owner` owns the message boxes.
void ImportRegFile(EditableMsiFileTab& tab, HWND owner, const std::wstring& component);
