#pragma once

#include <optional>
#include <string>
#include <vector>

// Telling whether two paths name one file, so that a command never writes its output over one of
// its inputs, whatever way the path is spelt: "P", "./P", "dir/../P", a symbolic link to P or a
// second hard link of it.

// The path with every symbolic link along it followed and "." and ".." taken out, absolute. A
// link whose target does not exist yet is followed too, so the result is where a file written
// to path would land. The path as it stands when the links cannot be followed (a loop).
std::string ResolvedPath(const std::string &path);

// Whether a and b are the same file: the same device and inode when both exist, otherwise the
// same resolved path (a file about to be created is the same as another path to that place).
bool IsSameFile(const std::string &a, const std::string &b);

// The first of others that is the same file as path, or nothing.
std::optional<std::string> FindSameFile(const std::string &path, const std::vector<std::string> &others);
