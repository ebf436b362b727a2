#pragma once

#include <span>
#include <string>

// The program's vocabulary as data: the main menu, the accelerator table and the string table
// (prompts with their short names, pane texts, the document string). The frame builds its
// menus, shortcuts and status bar from these tables in one pass; tests read them too.

// One menu item. A separator has id 0 and no text. Text: "&" marks the mnemonic, the part
// after "\t" is the accelerator shown beside the item.
struct SMenuItem
{
    int nID;
    const char* pszText;
    bool bGrayed;
};

struct SMenu
{
    const char* pszTitle;
    std::span<const SMenuItem> items;
};

// Keys in QKeySequence's portable text form ("Ctrl+O", "Shift+Del").
struct SAccelerator
{
    const char* pszKeys;
    int nID;
};

// An input the view handles itself, in the words the help shows.
struct SInputAction
{
    const char* pszInput;
    const char* pszEffect;
};

struct SStringEntry
{
    int nID;
    const char* pszText;
};

namespace Resources
{
std::span<const SMenu> MainMenu();
std::span<const SAccelerator> Accelerators();
std::span<const SInputAction> ViewInputs();
// Help > Keys and Mouse: the view's inputs, then every shortcut with its command's short name.
std::string KeysAndMouseText();
std::span<const SStringEntry> StringTable();
// The string of nID, or nullptr when the table has none.
const char* LoadString(int nID);
// A command's prompt: its string up to the line feed ("" when it has none).
std::string Prompt(int nID);
// A command's short name: its string after the line feed ("" when it has none).
std::string ShortName(int nID);
// The status bar panes after the message pane, left to right.
std::span<const int> IndicatorPanes();

inline constexpr const char* DOCUMENT_STRING =
    "TeldViewGL\n\nTeldVi\n\n\nTeldViewGL.Document\nTeldVi Document";
inline constexpr const char* ABOUT_TITLE = "About TeldViewGL";
inline constexpr const char* ABOUT_TEXT = "TeldViewGL Version 3.2";
} // namespace Resources
