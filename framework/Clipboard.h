// The clipboard, for the copy commands: Unicode text, so names and paths of
// any language arrive whole.
#pragma once

#include <windows.h>

#include <string>

// Replaces the clipboard's content with text; false when the clipboard could
// not be opened or the text not stored.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);
