#pragma once

#include <istream>
#include <ostream>
#include <string>

// Cuts a raw receiver byte stream into packets and prints one line per delivered packet on out,
// as JSON or as a readable summary. A stream that ends inside a frame, which is therefore not
// shown, is noted on err. Returns the number of packets. Raises COutputFailed when out fails.

// Reads the stream in (bytes held in memory, say); a failed read raises std::runtime_error.
unsigned long DecodeFrames(std::istream &in, std::ostream &out, std::ostream &err, bool bJson);
// Reads the standard input; a failed read raises std::runtime_error with the system's reason
// ("Is a directory").
unsigned long DecodeFramesStandardInput(std::ostream &out, std::ostream &err, bool bJson);
// Reads the file (or FIFO) at strPath: raises CFileException naming it and the system's reason
// when it cannot be opened or read ("Is a directory", "No such file or directory").
unsigned long DecodeFramesFile(const std::string &strPath, std::ostream &out, std::ostream &err, bool bJson);
