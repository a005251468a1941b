#include "resources/pictures/Pictures.h"

namespace {

std::string ResourcePath(const char *szFolder, int nId) { return std::string(szFolder) + std::to_string(nId) + ".svg"; }

} // namespace

std::string ToolbarIconPath(int nCommandId) { return ResourcePath(":/icons/toolbar/", nCommandId); }
std::string DialogIconPath(int nIconId) { return ResourcePath(":/icons/dialog/", nIconId); }
std::string MarkerPicturePath(int nBitmapId) { return ResourcePath(":/pictures/markers/", nBitmapId); }
std::string InstructionsPicturePath(int nBitmapId) { return ResourcePath(":/pictures/instructions/", nBitmapId); }
std::string HelpPagePath(int nBitmapId) { return ResourcePath(":/pictures/help/", nBitmapId); }
