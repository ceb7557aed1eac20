// The command line's messages: texts of the string table in the user's language, as UTF-8.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "strings/text_id.h"

// The text of `id` with each "%1".."%9" in it replaced by that value, bytes as given (a file name
// that is no UTF-8 stays as it was typed), in one pass: a value's own "%2" is not replaced again.
std::string CliText(TextId id, std::initializer_list<std::string_view> values = {});

// A number as printf's format writes it ("%.1f"), the C locale's way.
std::string Figure(const char* format, double value);

// One line on standard error: "quolk: " and the message.
void Say(std::FILE* err, const std::string& message);
