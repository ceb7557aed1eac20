// The command line's messages: texts of the string table in the user's language, as UTF-8
// (FilledText), and how they are said.
#pragma once

#include <cstdio>
#include <string>

#include "strings/stringtable.h"

// A number as printf's format writes it ("%.1f"), the C locale's way.
std::string Figure(const char* format, double value);

// One line on standard error: "quolk: " and the message.
void Say(std::FILE* err, const std::string& message);
