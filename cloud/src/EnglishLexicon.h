#pragma once
// Parts of speech and irregular forms of English words, from WordNet's lexicon in Debian's
// package wordnet-base: the lemmas of each part of speech (index.noun, index.verb, index.adj,
// index.adv) and the exception lists of irregular forms (verb.exc "went go", adj.exc
// "better good", noun.exc "children child"). Read once per process on first use.
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace quillo::cloud {

class EnglishLexicon {
public:
    // Every word argument is lower case.
    static constexpr const char *kDefaultDirectory = "/usr/share/wordnet";

    static EnglishLexicon load(const std::string &directory);
    static const EnglishLexicon &shared();  // kDefaultDirectory

    bool isNoun(const std::string &lower) const { return nouns_.contains(lower); }
    bool isVerb(const std::string &lower) const { return verbs_.contains(lower); }
    bool isAdjective(const std::string &lower) const { return adjectives_.contains(lower); }
    bool isLemma(const std::string &w) const;  // of any part of speech
    // Whether two neighbouring words belong to a multi-word lemma: borrowed phrases
    // ("viva voce", "comme il faut", "pro tem") whose words the dictionary does not know.
    bool isPhrase(const std::string &first, const std::string &second) const;
    bool empty() const { return verbs_.empty(); }

    // The base of an irregular verb form ("went" -> "go"), of an irregular comparative
    // ("better" -> "good"), or of an irregular plural ("children" -> "child").
    std::optional<std::string> verbBase(const std::string &w) const;
    std::optional<std::string> adjectiveBase(const std::string &w) const;
    std::optional<std::string> nounBase(const std::string &w) const;

    // For a verb with a distinct simple past and past participle ("went"/"gone",
    // "began"/"begun"), the participle of its simple past; nullopt otherwise.
    std::optional<std::string> participleOfPast(const std::string &w) const;
    // The simple past of an irregular verb ("choose" -> "chose", "teach" -> "taught").
    std::optional<std::string> irregularPast(const std::string &base) const;
    // The irregular past a learner's regular "-ed" form stands for ("choosed" -> "chose",
    // "teached" -> "taught", "runned" -> "ran"); nullopt for anything else.
    std::optional<std::string> pastOfRegularised(const std::string &w) const;

    // Whether a word is a plural noun: an irregular plural, or a regular one ("results")
    // whose singular is a noun while the word itself is no lemma ("news", "series" are).
    bool isPluralNoun(const std::string &w) const;
    // Whether a word is a comparative adjective ("taller", "bigger", "easier", "better").
    bool isComparative(const std::string &w) const;
    // The base of a regular or irregular inflected verb form that is no lemma itself
    // ("goes" -> "go", "wanted" -> "want", "went" -> "go"); nullopt for lemmas ("saw", "left").
    std::optional<std::string> baseOfInflectedVerb(const std::string &w, bool allowPast) const;

    // Whether a noun's most frequent sense names a person ("scientist", "teacher"), in
    // WordNet's lexicographer file noun.person; such a noun counts.
    bool isPersonNoun(const std::string &lower) const { return persons_.contains(lower); }
    // Whether a name's most frequent sense is a place ("france", "tokyo"), in noun.location.
    bool isPlaceName(const std::string &lower) const { return places_.contains(lower); }

    // The capitalised form of an adjective of a people, a place or a language ("english" ->
    // "English"): WordNet's capitalised adjectives glossed "of or relating to ...", unless the
    // lower-case spelling is a word of its own ("polish", "danish", "roman").
    std::optional<std::string> properAdjective(const std::string &lower) const;

    // Whether some sense of a verb takes an object, by WordNet's sentence frames ("utilize":
    // "Somebody ----s something"); "arrive" and "happen" take none, so have no passive.
    bool takesObject(const std::string &verb) const { return transitive_.contains(verb); }

private:
    void readProperAdjectives(const std::string &dir);
    // Persons and places, by the lexicographer file of a noun's most frequent sense.
    void readPersonNouns(const std::string &dir);
    void readVerbFrames(const std::string &dir);

    std::unordered_set<std::string> nouns_, verbs_, adjectives_, adverbs_, persons_, places_, transitive_;
    std::unordered_set<std::string> phrases_;  // neighbouring words of multi-word lemmas, "viva_voce"
    std::unordered_map<std::string, std::string> verbExceptions_, adjectiveExceptions_, nounExceptions_;
    std::unordered_map<std::string, std::string> participles_;       // simple past -> participle
    std::unordered_map<std::string, std::string> pasts_;             // base -> irregular simple past
    std::unordered_map<std::string, std::string> properAdjectives_;  // lower case -> written
};

}  // namespace quillo::cloud
