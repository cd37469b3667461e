// Text out to stdout or stderr: to a console as UTF-16, to a file or pipe as UTF-8 bytes.
#pragma once

#include <string_view>

void writeOut(std::string_view utf8);
void writeErr(std::string_view utf8);
