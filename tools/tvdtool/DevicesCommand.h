#pragma once

#include <ostream>

// Prints the devices the listing finds, one line each: serial number, description, product
// name and manufacturer, tab-separated, or one JSON object per line. Returns the exit status:
// 1 when the number of devices cannot be told.
int PrintDevices(std::ostream &out, std::ostream &err, bool bJson);
