#include "WordCommonness.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <vector>

namespace quillo::cloud {

namespace {
const std::regex &listName()
{
    static const std::regex name(
        R"((english|american)-(words|upper|contractions|proper-names|abbreviations)\.([0-9]+))");
    return name;
}
}  // namespace

std::vector<std::string> WordCommonness::listFiles(const std::string &directory)
{
    std::vector<std::string> files;
    std::error_code ec;
    if (!std::filesystem::is_directory(directory, ec)) return files;
    for (auto &entry : std::filesystem::directory_iterator(directory, ec))
        if (entry.is_regular_file(ec) && std::regex_match(entry.path().filename().string(), listName()))
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

WordCommonness WordCommonness::load(const std::string &directory)
{
    WordCommonness out;
    const std::regex &name = listName();
    for (const std::filesystem::path path : listFiles(directory)) {
        std::smatch m;
        std::string file = path.filename().string();
        std::regex_match(file, m, name);
        int size = std::stoi(m[3].str());
        if (size > 95) continue;
        auto level = static_cast<uint8_t>(size);
        std::ifstream in(path);
        size_t count = 0;
        for (std::string word; std::getline(in, word);) {
            if (!word.empty() && word.back() == '\r') word.pop_back();
            if (word.empty()) continue;
            auto [it, inserted] = out.levels_.emplace(word, level);
            if (!inserted) it->second = std::min(it->second, level);
            ++count;
        }
        out.signature_ += file + ":" + std::to_string(count) + ";";
    }
    return out;
}

uint8_t WordCommonness::level(const std::string &word) const
{
    if (auto it = levels_.find(word); it != levels_.end()) return it->second;
    std::string lower = word;
    for (auto &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (auto it = levels_.find(lower); it != levels_.end()) return it->second;
    return kUnlisted;
}

}  // namespace quillo::cloud
