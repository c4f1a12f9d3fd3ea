#include "platform/posix/shell_words.h"

#include <cstring>

namespace zun::platform::posix {

bool SplitShellWords(const std::string& text, std::vector<std::string>* words) {
    words->clear();
    std::vector<std::string> found;
    std::string word;
    bool inWord = false;  // a word has begun (it may still be empty: "")
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) found.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (++i == text.size()) return false;
            word += text[i];
        } else if (c == '\'') {
            const size_t close = text.find('\'', i + 1);
            if (close == std::string::npos) return false;
            word.append(text, i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i == text.size()) return false;
                if (text[i] == '"') break;
                if (text[i] == '\\' && i + 1 < text.size() && std::strchr("\"\\$`", text[i + 1]) != nullptr) ++i;
                word += text[i];
            }
        } else {
            word += c;
        }
    }
    if (inWord) found.push_back(std::move(word));
    *words = std::move(found);
    return true;
}

}  // namespace zun::platform::posix
