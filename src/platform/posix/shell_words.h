// Splitting a setting into words as a POSIX shell does, so that one word can
// hold blanks: --host-resolver-rules="MAP host:443 127.0.0.1:8443".
#pragma once

#include <string>
#include <vector>

namespace zun::platform::posix {

// Blanks (spaces, tabs, newlines) separate words. Single quotes keep every
// character up to the next single quote; double quotes keep every character
// up to the next unescaped double quote, and inside them a backslash escapes
// only ", \, $ and `; outside quotes a backslash keeps the next character.
// Nothing is expanded. False, with no words, when a quote is left open or
// the text ends in a lone backslash.
bool SplitShellWords(const std::string& text, std::vector<std::string>* words);

}  // namespace zun::platform::posix
