// What the about box tells about the machine: the operating system's name and the processor's.
#pragma once

#include <string_view>

#include "runtime/text.h"

// The distribution's PRETTY_NAME from /etc/os-release (else /usr/lib/os-release); "Linux" when
// neither names one.
Text OperatingSystemName();
// The processor's brand as it reports it: on x86 the CPUID brand string, elsewhere the first
// "model name" of /proc/cpuinfo, else the machine name of uname. Leading blanks and tabs skipped.
Text ProcessorBrand();

// The value of PRETTY_NAME in an os-release file's content, unquoted and unescaped; "" if none.
Text PrettyNameFromOsRelease(std::string_view content);
// The value of the first "model name" line of a /proc/cpuinfo content, trimmed; "" if none.
Text ModelNameFromCpuinfo(std::string_view content);
