#pragma once

#include <QString>

#include <span>
#include <vector>

// The window's resources as tables of command ids: the commands with their texts, prompts and
// accelerators, the menu bar, the toolbar and the status-bar panes. The frame builds itself from
// these tables alone.

// One command as the window shows it.
struct _commanddef {
  int nId = 0;
  // The menu text with its & mnemonic and, after "\t", the shortcut text shown beside it; null
  // for a command without a menu item of its own.
  const char *szText = nullptr;
  // The status-bar prompt and the tool tip as one string, "prompt\ntip"; blanks around the line
  // feed are not part of either. Null for a command without a prompt.
  const char *szPrompt = nullptr;
  // Accelerators in portable key-sequence form, separated by "; "; null when none.
  const char *szKeys = nullptr;
  bool bCheckable = false;
};

// One menu of the menu bar: its title and its items in order. ID_SEPARATOR is a separator and
// ID_FILE_RECENT1 the place of the recent-file list.
struct _menudef {
  const char *szTitle = nullptr;
  std::vector<int> items;
};

// A submenu: its id stands among the items of the menu that holds it. Its checkable items are
// one choice: checking one unchecks the others.
struct _submenudef {
  int nId = 0;
  const char *szTitle = nullptr;
  std::vector<int> items;
};

// One status-bar pane: its id and the text it shows until someone sets its text. The text's
// width in the status bar's font is the pane's width, trailing blanks included.
struct _panedef {
  int nId = 0;
  QString strText;
};

std::span<const _commanddef> CommandTable();
// The command with id nId, or null.
const _commanddef *FindCommand(int nId);
std::span<const _menudef> MenuTable();
std::span<const int> ToolbarTable();
// The submenu with id nId, or null.
const _submenudef *FindSubmenu(int nId);
// The indicator panes, left to right; the message pane, which shows "Ready" and the command
// prompts, is not among them.
std::span<const _panedef> PaneTable();

// The parts of a command's prompt string, trimmed; empty when the command has none.
QString CommandPrompt(const _commanddef &command);
QString CommandTip(const _commanddef &command);
