#pragma once

#include <string>

// Where the window finds its pictures among the program's Qt resources; linking tarvex_pictures
// builds them in. Each is an SVG for Qt Svg whose default size is the size the window shows it at.

// The application icon, drawn to read at every size from 16 to 256 pixels.
constexpr const char *APP_ICON_PATH = ":/icons/app/tarvex-collector.svg";

// A toolbar button's icon by its command id (32783, 32777, ...), 16 x 16.
std::string ToolbarIconPath(int nCommandId);
// A dialog's icon by its icon id (140, 175), 32 x 32.
std::string DialogIconPath(int nIconId);
// A map marker by its bitmap id (137, 172, 143, 173), 23 x 23, white corners included.
std::string MarkerPicturePath(int nBitmapId);
// A half of the channel dialog's instructions by its bitmap id (145, 146).
std::string InstructionsPicturePath(int nBitmapId);
// A help page by its bitmap id (164 to 169).
std::string HelpPagePath(int nBitmapId);
