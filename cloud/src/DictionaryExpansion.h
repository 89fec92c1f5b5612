#pragma once
// Every word form a Hunspell dictionary spells: each .dic stem with the prefixes and suffixes
// its flags allow, cross products included. hunspell-tools' unmunch does the same, but it is
// not installed with the library and stops at fixed buffer sizes; the affix files we serve
// (one-letter flags, one affix level, bracket conditions) are simple enough to expand here.
// The caller still asks Hunspell about each form: it stays the authority.
#include <string>
#include <vector>

namespace quillo::cloud::DictionaryExpansion {

struct Forms {
    std::vector<std::string> words;
    size_t stems = 0;
};

// Stems flagged NOSUGGEST or ONLYINCOMPOUND and stems with digits (compound-rule material)
// are left out: Hunspell never suggests them either.
Forms expand(const std::string &affText, const std::string &dicText);

}  // namespace quillo::cloud::DictionaryExpansion
