#pragma once

#include <QString>

// What a file given to the collector by name is, from its extension (in any case): a projection
// (".gpf" geo-coded, ".lpf" linear) or a survey data file (".tvd"). A projection's own header
// decides its kind once it is loaded; the extension only chooses the command that opens it.
enum FileKind {
  FILE_KIND_NONE,
  FILE_KIND_PROJECTION,
  FILE_KIND_SURVEY,
};

FileKind FileKindOf(const QString &strPath);

// The sentence that refuses a file of no known kind, naming it.
QString FileKindRefusal(const QString &strPath);

// The sentence that refuses what is at strPath when something is there but it is no regular file
// (a folder, a pipe or FIFO, a device, a socket), naming it, saying what it is and why it cannot
// be opened; empty for a regular file and for nothing at all. Nothing is opened to find out.
QString NotAFileRefusal(const QString &strPath);
