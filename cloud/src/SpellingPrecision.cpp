#include "SpellingPrecision.h"

#include "KnownMisspellings.h"
#include "ScowlLexicon.h"
#include "SuggestionRanking.h"
#include "TypoCost.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <unordered_map>

namespace quillo::cloud::SpellingPrecision {

namespace {
std::string lowered(std::string_view w)
{
    std::string out(w);
    for (auto &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

size_t letters(std::string_view w)
{
    return static_cast<size_t>(
        std::count_if(w.begin(), w.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }));
}

bool isVowel(char c) { return std::string_view("aeiou").find(c) != std::string_view::npos; }

// The word with one of its letters typed twice.
bool doubledLetter(const std::string &typo, const std::string &word)
{
    if (typo.size() != word.size() + 1) return false;
    for (size_t i = 1; i < typo.size(); ++i)
        if (typo[i] == typo[i - 1] && typo.compare(0, i, word, 0, i) == 0 &&
            typo.compare(i + 1, std::string::npos, word, i) == 0)
            return true;
    return false;
}

// The word with one letter more than the typo has, anywhere ("walkd": "walked").
bool lacksOneLetter(const std::string &typo, const std::string &word)
{
    return word.size() == typo.size() + 1 && TypoCost::editDistance(typo, word, 1) == 1;
}
}  // namespace

bool isPlainSlip(const std::string &typo, const std::string &candidate, const ScowlLexicon &lexicon)
{
    if (letters(typo) < kPlainSlipLetters || candidate.empty() ||
        !std::islower(static_cast<unsigned char>(candidate[0])))
        return false;
    if (candidate[0] != typo[0] || lexicon.level(candidate) > kCommonLevel ||
        TypoCost::editDistance(typo, candidate, 1) != 1)
        return false;
    // A letter left out, added or swapped; one letter for another in a short word is as likely
    // a term of its own ("serde", "lefse").
    if (typo.size() != candidate.size() || letters(typo) >= kSubstitutionLetters) return true;
    std::string a = typo;
    std::string b = candidate;
    std::ranges::sort(a);
    std::ranges::sort(b);
    return a == b;
}

bool isChatForm(std::string_view lower)
{
    // SCOWL has no list of chat forms; these are the ones common in English messaging and in
    // developers' shorthand that are not dictionary words.
    static const std::set<std::string_view> forms = {
        "afaik",   "afk",      "asap",  "atm",   "bc",    "bday",   "brb",     "btw",    "cya",    "dm",    "eod",
        "eow",     "eta",      "fwiw",  "fyi",   "gg",    "gonna",  "gotta",   "haha",   "hahaha", "hehe",  "hmm",
        "hmu",     "hbu",      "idc",   "idk",   "iirc",  "ikr",    "ily",     "imho",   "imo",    "irl",   "jk",
        "kinda",   "lmao",     "lmfao", "lmk",   "lol",   "lolz",   "msg",     "ngl",    "np",     "nvm",   "obv",
        "omg",     "omw",      "ooo",   "pls",   "plz",   "ppl",    "rofl",    "rn",     "smh",    "sorta", "srsly",
        "tbf",     "tbh",      "thx",   "thnx",  "tho",   "thru",   "tl",      "tldr",   "tmr",    "tmrw",  "ttyl",
        "ty",      "tyvm",     "ugh",   "wanna", "wfh",   "wtf",    "wth",     "wyd",    "xoxo",   "ya",    "yall",
        "yup",     "yep",      "args",  "async", "auth",  "config", "configs", "deps",   "dev",    "devs",  "env",
        "envs",    "impl",     "init",  "json",  "lib",   "libs",   "param",   "params", "prod",   "repo",  "repos",
        "src",     "util",     "utils", "vm",    "vms",   "yaml",   "infra",   "todo",   "todos",  "cmd",   "regex",
        "systemd", "journald", "udev",  "sshd",  "httpd", "crond",  "stdin",   "stdout", "stderr", "sudo",  "cron",
    };
    return forms.contains(lower);
}

std::optional<std::string> contractionFor(const std::string &lower,
                                          const std::function<bool(const std::string &)> &isKnown,
                                          const ScowlLexicon &lexicon)
{
    if (lower.size() < 2) return std::nullopt;
    // "hes", "whats", "thats" are words too (plurals of "he", "what"), but hardly ever meant.
    bool plainKnown = isKnown(lower);
    // "'s" also makes possessives ("johns"), so it is restored only after these.
    static const std::set<std::string> sStems = {"he",    "she",  "that", "what", "who", "where",
                                                 "there", "here", "how",  "when", "why"};
    static const std::array<std::pair<std::string_view, std::string_view>, 7> tails = {{
        {"nt", "n't"},
        {"re", "'re"},
        {"ve", "'ve"},
        {"ll", "'ll"},
        {"m", "'m"},
        {"d", "'d"},
        {"s", "'s"},
    }};
    for (auto [tail, restored] : tails) {
        if (lower.size() <= tail.size() || lower.compare(lower.size() - tail.size(), tail.size(), tail) != 0) continue;
        std::string stem = lower.substr(0, lower.size() - tail.size());
        if (tail == "s" ? !sStems.contains(stem) : plainKnown) continue;
        std::string candidate = stem + std::string(restored);
        if (stem == "i") {
            candidate[0] = 'I';
            if (isKnown(candidate)) return candidate;
            continue;
        }
        // Hunspell's en_US leaves out some contractions ("he's") that SCOWL lists.
        if (isKnown(candidate) || lexicon.contains(candidate)) return candidate;
    }
    return std::nullopt;
}

bool isCompound(const std::string &lower, const std::function<bool(const std::string &)> &isKnown)
{
    for (size_t cut = 3; cut + 3 <= lower.size(); ++cut)
        if (isKnown(lower.substr(0, cut)) && isKnown(lower.substr(cut))) return true;
    return false;
}

std::vector<std::string> compoundSplits(const std::string &lower,
                                        const std::function<bool(const std::string &)> &isKnown)
{
    std::vector<std::string> out;
    for (size_t cut = 3; cut + 3 <= lower.size(); ++cut)
        if (isKnown(lower.substr(0, cut)) && isKnown(lower.substr(cut)))
            out.push_back(lower.substr(0, cut) + ' ' + lower.substr(cut));
    return out;
}

namespace {
// A letter left out, two swapped or one typed twice: what a writer's hand does to a word. A
// letter more or one for another is as often a term built on the word ("gradle", "fluentd",
// "resque", "matcha").
bool lostLetterSlip(const std::string &typo, const std::string &word, const ScowlLexicon &lexicon)
{
    if (letters(typo) < kCommonReadingLetters || lexicon.level(word) > kEveryoneLevel ||
        !isPlainSlip(typo, word, lexicon))
        return false;
    if (typo.size() < word.size()) return true;
    if (typo.size() == word.size()) return std::ranges::is_permutation(typo, word);
    for (size_t i = 1; i < typo.size(); ++i)
        if (typo[i] == typo[i - 1] && typo.substr(0, i) + typo.substr(i + 1) == word) return true;
    return false;
}
}  // namespace

bool shapedLikeAName(std::string_view lower)
{
    // No vowel at all ("pwd", "mkfs"): an abbreviation. A doubled first letter ("mmap",
    // "ccache", "lldb"): a name built on a word, hardly ever a slip.
    if (lower.find_first_of("aeiouy") == std::string_view::npos) return true;
    return lower.size() > 2 && lower[0] == lower[1] && std::isalpha(static_cast<unsigned char>(lower[0]));
}

std::optional<std::string> learnerEnding(const std::string &typo,
                                         const std::function<bool(const std::string &)> &isKnown,
                                         const ScowlLexicon &lexicon)
{
    // "faceing", "makeing": the silent "e" goes before "-ing". A vowel before it keeps it
    // ("seeing", "canoeing"), and those the dictionary knows.
    if (typo.size() >= 7 && typo.ends_with("eing") && !isVowel(typo[typo.size() - 5])) {
        std::string stem = typo.substr(0, typo.size() - 4);
        std::string ing = stem + "ing";
        if (lexicon.level(stem + "e") > kCommonLevel || !isKnown(stem + "e") || !isKnown(ing)) return std::nullopt;
        return ing;
    }
    // "familys", "citys": the plural of a noun in consonant + "y" spelt as if regular. A vowel
    // before the "y" makes a regular plural ("days"), so only a consonant counts.
    if (typo.size() < 5 || !typo.ends_with("ys")) return std::nullopt;
    char before = typo[typo.size() - 3];
    if (!std::isalpha(static_cast<unsigned char>(before)) || isVowel(before)) return std::nullopt;
    std::string stem = typo.substr(0, typo.size() - 2);
    std::string singular = stem + "y";
    std::string plural = stem + "ies";
    if (lexicon.level(singular) > kCommonLevel || !isKnown(singular) || !isKnown(plural)) return std::nullopt;
    return plural;
}

bool termNearRareWord(const std::string &typo, const std::string &word, uint8_t level)
{
    size_t n = letters(typo);
    if (typo.size() == word.size()) {
        size_t first = 0;
        while (first < typo.size() && typo[first] == word[first]) ++first;
        if (first == typo.size()) return false;
        bool single = typo.compare(first + 1, std::string::npos, word, first + 1) == 0;
        // Two letters swapped or changed: in a short word as likely a name ("avro", "dbus").
        if (!single) return n <= kShortTermLetters && level > kFamiliarLevel;
        char from = typo[first];
        char to = word[first];
        // A letter for an apostrophe is no slip ("nextjs" is not "next's").
        if (!std::isalpha(static_cast<unsigned char>(from)) || !std::isalpha(static_cast<unsigned char>(to)))
            return true;
        // The stem of a plural or possessive with another ending is a name built on the stem
        // ("numba", "prisma", "snapd"), not the plural misspelt.
        for (std::string_view suffix : {"'s", "es", "s"}) {
            if (word.size() < suffix.size() + 3 || !word.ends_with(suffix)) continue;
            if (first >= word.size() - suffix.size()) return true;
        }
        if (level <= kFamiliarLevel) return false;
        bool nearSlip = TypoCost::adjacentKeys(from, to) || (isVowel(from) && isVowel(to));
        return !nearSlip || n <= kShortTermLetters;
    }
    if (typo.size() == word.size() + 1 && n <= kWordLetters && level > kEveryoneLevel) {
        // A letter more that neither doubles a letter nor sits beside one on the keyboard
        // ("gradle"): a term built on the word.
        for (size_t i = 0; i < typo.size(); ++i) {
            if (typo.compare(0, i, word, 0, i) != 0 || typo.compare(i + 1, std::string::npos, word, i) != 0) continue;
            char extra = typo[i];
            bool beside = (i > 0 && (typo[i - 1] == extra || TypoCost::adjacentKeys(typo[i - 1], extra))) ||
                          (i + 1 < typo.size() && (typo[i + 1] == extra || TypoCost::adjacentKeys(typo[i + 1], extra)));
            return !beside;
        }
    }
    return false;
}

bool fixableAtSentenceStart(const std::string &typo, const std::string &fix, const ScowlLexicon &lexicon)
{
    if (lostLetterSlip(typo, fix, lexicon)) return true;
    // A stray letter inside a long everyday word ("Peolple"); a name's extra letter is at its end
    // ("Marky") or makes no word at all.
    if (typo.size() < 7 || typo.size() != fix.size() + 1 || lexicon.level(fix) > kEveryoneLevel) return false;
    for (size_t i = 1; i + 1 < typo.size(); ++i)
        if (typo.substr(0, i) + typo.substr(i + 1) == fix) return true;
    return false;
}

std::optional<std::string> commonReading(const std::string &typo, const std::vector<std::string> &candidates,
                                         const std::function<bool(const std::string &)> &isKnown,
                                         const ScowlLexicon &lexicon)
{
    if (letters(typo) < kCommonReadingLetters) return std::nullopt;
    const std::string *common = nullptr;
    double commonScore = 0;
    for (size_t i = 0; i < candidates.size() && i < 8; ++i) {
        const std::string &c = candidates[i];
        if (c.empty() || !std::islower(static_cast<unsigned char>(c[0])) || c.find_first_of(" -'") != std::string::npos)
            continue;
        if (lexicon.level(c) > kEveryoneLevel) continue;
        double s = SuggestionRanking::score(typo, c, c, lexicon.level(c));
        if (!common || s < commonScore) {
            common = &c;
            commonScore = s;
        }
    }
    if (!common || !lostLetterSlip(typo, *common, lexicon)) return std::nullopt;
    for (size_t i = 0; i < candidates.size() && i < 8; ++i) {
        const std::string &c = candidates[i];
        if (&c == common || lowered(c) == *common) continue;
        if (lexicon.level(c) <= kCommonLevel &&
            SuggestionRanking::score(typo, lowered(c), c, lexicon.level(c)) < commonScore + kMargin)
            return std::nullopt;
    }
    if (isCompound(typo, isKnown)) return std::nullopt;
    return *common;
}

namespace {
// "noticer" / "noticed", "unsounded" / "unsounder": one derived word for another of the same
// stem. The typed one is a word of its own the dictionary lacks, not a slip.
bool endingSwapped(const std::string &typo, const std::string &word)
{
    if (typo.size() != word.size() || typo.size() < 6 ||
        typo.compare(0, typo.size() - 2, word, 0, word.size() - 2) != 0)
        return false;
    std::string_view a = std::string_view(typo).substr(typo.size() - 2),
                     b = std::string_view(word).substr(word.size() - 2);
    return (a == "er" && b == "ed") || (a == "ed" && b == "er");
}

// "thunderings", "scrubbings": the plural of a noun made from a verb, which the dictionary
// lists only in the singular.
bool gerundPlural(const std::string &typo, const std::string &word)
{
    return typo.size() == word.size() + 1 && typo.back() == 's' && word.ends_with("ing") && typo.starts_with(word);
}

// The plain words people write (SCOWL below kRareGuessLevel, lower-case letters, the typo's
// first letter, one slip from it) within kContextMargin of the closest such word, and the
// familiar ones among them however they rank ("fre": "fire" as much as "free"): the readings
// between which only the words around the typo can decide.
std::vector<std::string> closeRivals(const std::string &typo, const std::vector<std::string> &candidates,
                                     const ScowlLexicon &lexicon)
{
    std::vector<std::pair<double, std::string>> plain;
    for (size_t i = 0; i < candidates.size() && i < 8; ++i) {
        const std::string &c = candidates[i];
        if (c.empty() || c[0] != typo[0] || !std::ranges::all_of(c, [](char ch) { return ch >= 'a' && ch <= 'z'; }))
            continue;
        // One slip away: a term ("setuid", "libpng") is two or more from the words it resembles.
        if (lexicon.level(c) >= kRareGuessLevel || TypoCost::editDistance(typo, c, 1) > 1 || endingSwapped(typo, c) ||
            gerundPlural(typo, c))
            continue;
        plain.emplace_back(SuggestionRanking::score(typo, c, c, lexicon.level(c)), c);
    }
    std::vector<std::string> out;
    if (plain.empty()) return out;
    double closest = std::ranges::min_element(plain)->first;
    for (auto &[score, word] : plain)
        if ((score < closest + kContextMargin + 1e-9 || lexicon.level(word) <= kFamiliarLevel) &&
            std::ranges::find(out, word) == out.end())
            out.push_back(word);
    // The one reading the typo merely lacks a letter of ("walkd": "walked", not "walks") leads.
    auto lacking = [&](const std::string &w) { return lacksOneLetter(typo, w); };
    if (std::ranges::count_if(out, lacking) == 1) std::stable_partition(out.begin(), out.end(), lacking);
    return out;
}
// The consonants of a word, a doubled one once ("trobull" -> "trbl"): what a writer who spells
// by ear keeps of a word while getting its vowels wrong.
std::string consonants(const std::string &w)
{
    std::string out;
    for (char ch : w)
        if (!isVowel(ch) && ch != 'y' && (out.empty() || out.back() != ch)) out += ch;
    return out;
}

// A long typo two slips or so from a familiar word with the same first letter and the same
// consonants ("sevirl": "several", "trobull": "trouble"), for the words around it to weigh
// against the other common candidates; none when no candidate is such a word. A term shares no
// such skeleton with a word ("libpng", "setuid", "terminfo").
std::vector<std::string> readingsByEar(const std::string &typo, const std::vector<std::string> &candidates,
                                       const ScowlLexicon &lexicon)
{
    std::vector<std::string> out;
    if (letters(typo) < kFarTypoLetters) return out;
    auto plain = [&](const std::string &c) {
        return !c.empty() && std::ranges::all_of(c, [](char ch) { return ch >= 'a' && ch <= 'z'; }) &&
               lexicon.level(c) <= kCommonLevel;
    };
    std::string skeleton = consonants(typo);
    bool byEar = false;
    for (size_t i = 0; i < candidates.size() && i < 6; ++i) {
        const std::string &c = candidates[i];
        if (!plain(c) || std::ranges::find(out, c) != out.end()) continue;
        byEar = byEar || (c[0] == typo[0] && lexicon.level(c) <= kFamiliarLevel && consonants(c) == skeleton &&
                          TypoCost::weighted(typo, c) <= kLoneWordCost + 1e-9);
        out.push_back(c);
    }
    if (!byEar || out.size() < 2) out.clear();
    return out;
}

// The one familiar word a long typo spells by ear when the index offers no reading near it
// ("imidiatly": "immediately", "errounuosly": "erroneously"): the same first letter and
// consonants, as long or up to two letters longer; none when no such word or more than one.
std::optional<std::string> loneWordByEar(const std::string &typo, const ScowlLexicon &lexicon,
                                         const std::function<bool(const std::string &)> &isKnown)
{
    if (letters(typo) < kLoneWordLetters + 1 ||
        !std::ranges::all_of(typo, [](char ch) { return ch >= 'a' && ch <= 'z'; }))
        return std::nullopt;
    // Built once, on the first long typo, from the process's lexicon.
    static const auto byEar = [&] {
        std::unordered_multimap<std::string, std::string> out;
        lexicon.forEachWord(kCommonLevel, [&](std::string_view w) {
            if (w.size() >= kLoneWordLetters && std::ranges::all_of(w, [](char ch) { return ch >= 'a' && ch <= 'z'; }))
                out.emplace(consonants(std::string(w)), std::string(w));
        });
        return out;
    }();
    // A word built of words ("testsuite") or on one ("ununderstood", "unfaceted") is a term.
    if (isCompound(typo, isKnown)) return std::nullopt;
    for (size_t k = 2; k + 5 <= typo.size(); ++k)
        if (isKnown(typo.substr(k))) return std::nullopt;
    // Spelt by ear, a word keeps its length or loses letters; a term built on another adds
    // them ("textutils" is no "textiles").
    auto heard = [&](const std::string &skeleton, std::optional<std::string> &found) {
        auto [from, to] = byEar.equal_range(skeleton);
        for (auto it = from; it != to; ++it) {
            const std::string &w = it->second;
            if (w[0] != typo[0] || w.size() < typo.size() || typo.size() + 2 < w.size() || !isKnown(w) || found == w)
                continue;
            if (found) return false;
            found = w;
        }
        return true;
    };
    std::optional<std::string> found;
    std::string skeleton = consonants(typo);
    if (!heard(skeleton, found)) return std::nullopt;
    if (found) return found;
    // Or with two neighbouring consonants typed the other way round ("definelty", "eldelery").
    for (size_t k = 1; k + 1 < skeleton.size(); ++k) {
        std::string swapped = skeleton;
        std::swap(swapped[k], swapped[k + 1]);
        if (swapped != skeleton && !heard(swapped, found)) return std::nullopt;
    }
    return found;
}
}  // namespace

std::optional<std::string> confidentChoice(const std::string &typo, const std::vector<std::string> &candidates,
                                           const std::function<bool(const std::string &)> &isKnown,
                                           const ScowlLexicon &lexicon, const KnownMisspellings &misspellings,
                                           std::vector<std::string> *tied)
{
    if (letters(typo) < 3 || isChatForm(typo) || shapedLikeAName(typo)) return std::nullopt;
    // The possessive of a word the dictionary lists without one ("own's") is that word's; a
    // plural's takes no "s" after its apostrophe ("dinosaurs's").
    if (typo.size() > 4 && typo.ends_with("'s") && typo[typo.size() - 3] != 's' &&
        isKnown(typo.substr(0, typo.size() - 2)))
        return std::nullopt;
    // A word the dictionary knows only capitalised ("paris", "english") gets its capital.
    // Not a brand with inner capitals ("mysql", "sqlite", "ipod") or another name SCOWL lists
    // only among people, companies and products ("redis", "yong"): written in lower case, that
    // is the name of a command or package, or another word misspelt.
    if (!candidates.empty() && candidates.front() != typo && lowered(candidates.front()) == typo) {
        const std::string &named = candidates.front();
        // Particles of names the dictionary lists alone ("Los" of "Los Angeles", "Van"): written
        // in lower case they are another language's word or another word misspelt ("a los of").
        static const std::set<std::string_view> particles = {"los", "las", "san", "del", "van", "von", "der",
                                                             "den", "bin", "ibn", "dos", "das", "des"};
        if (particles.contains(typo)) return std::nullopt;
        bool innerCapital = std::any_of(named.begin() + 1, named.end(),
                                        [](char c) { return std::isupper(static_cast<unsigned char>(c)); });
        if (innerCapital) return std::nullopt;
        if (lexicon.onlyProperName(named)) {
            // A plain word one slip away may still be meant ("our yong generation"): the
            // neighbouring words decide, and the name itself is among the readings they weigh,
            // so "I met yong" stays.
            if (tied && !misspellings.listed(typo)) {
                auto rivals = closeRivals(typo, candidates, lexicon);
                if (!rivals.empty()) {
                    rivals.push_back(typo);
                    *tied = std::move(rivals);
                }
            }
            return std::nullopt;
        }
        return named;
    }
    const std::string *best = candidates.empty() ? nullptr : &candidates.front();
    // A word clipped from a longer one ("struct", "config", "admin") is shorthand, unless the
    // reading completes it or is a slip of the hand from it ("creat", "nightt", "farme").
    bool completed = std::ranges::any_of(candidates, [&](const std::string &c) {
        std::string word = lowered(c);
        return word.starts_with(typo) || lacksOneLetter(typo, word) || doubledLetter(typo, word) ||
               (word.size() == typo.size() && std::ranges::is_permutation(word, typo));
    });
    if (best && letters(typo) >= 5 && !completed && !misspellings.listed(typo) &&
        lexicon.beginsWord(typo, 3, kCommonLevel, isKnown))
        return std::nullopt;
    bool plainSlip = best && isPlainSlip(typo, *best, lexicon);
    // SCOWL's largest sizes list rare variants ("belive", "wich"); one of those a single edit
    // from a common word is that word misspelt.
    if (lexicon.contains(typo) && !(plainSlip && lexicon.level(typo) >= kRareLevel)) return std::nullopt;
    if (auto known = misspellings.correction(typo)) {
        bool fine = !known->empty();
        for (size_t start = 0; fine && start < known->size();) {
            size_t end = std::min(known->find(' ', start), known->size());
            fine = isKnown(known->substr(start, end - start));
            start = end + 1;
        }
        if (fine) return known;
    }
    if (auto plural = learnerEnding(typo, isKnown, lexicon)) return plural;
    if (!best) return loneWordByEar(typo, lexicon, isKnown);
    std::string bestLower = lowered(*best);
    // No common word starts with the typed first two letters ("ldap", "dgit"): in a short word,
    // a name, unless two of the candidate's letters were swapped ("hte", "bda").
    if (letters(typo) <= kShortTermLetters && !lexicon.commonOnset(typo) &&
        !std::ranges::is_permutation(typo, bestLower))
        return std::nullopt;
    // A word with a letter more at its end is a name or term built on it ("fluentd", "matcha");
    // a writer's slip there is an "e" ("develope"), a learner's "s" ("smallers") or a doubled
    // letter ("untill").
    if (typo.size() == bestLower.size() + 1 && typo.starts_with(bestLower) && typo.back() != 'e' &&
        typo.back() != 's' && typo.back() != bestLower.back())
        return std::nullopt;
    // codespell knows the word for a slip with several readings ("ther": "there", "their",
    // "the", "other"): the best candidate stands only if it is one of them, and the neighbouring
    // words may pick among them, never another word that merely ranks first ("thee"). A reading
    // of two words ("alot": "a lot") is no rival.
    std::vector<std::string> splits;
    auto choice = choiceByCandidates(typo, candidates, isKnown, lexicon, plainSlip, &splits);
    if (const auto *readings = misspellings.readings(typo);
        readings && (!choice || std::ranges::find(*readings, *choice) == readings->end())) {
        if (tied &&
            std::ranges::all_of(*readings, [](const std::string &r) { return r.find(' ') == std::string::npos; }))
            std::ranges::copy_if(*readings, std::back_inserter(*tied), isKnown);
        return std::nullopt;
    }
    // The closest reading another ending on the same stem ("noticer" for "noticed"): the typed
    // word is one of its own, whatever the words around favour.
    if (tied && !misspellings.listed(typo) && !endingSwapped(typo, bestLower)) {
        auto rivals = closeRivals(typo, candidates, lexicon);
        if (!choice || (rivals.size() > 1 && std::ranges::find(rivals, *choice) != rivals.end()))
            *tied = std::move(rivals);
        // Two words run together or one word misspelt ("importand", "backend"): the words
        // around weigh the best candidate against the halves, which stay unless far outweighed.
        if (!choice && !splits.empty()) {
            if (std::ranges::find(*tied, bestLower) == tied->end()) tied->push_back(bestLower);
            std::ranges::copy(splits, std::back_inserter(*tied));
        }
        if (!choice && tied->empty()) *tied = readingsByEar(typo, candidates, lexicon);
        // One rival alone against a closer everyday word ("ereas": "eras" against "areas"): the
        // words around weigh both.
        if (!choice && tied->size() == 1 && tied->front() != bestLower && lexicon.level(bestLower) <= kEveryoneLevel &&
            std::ranges::all_of(bestLower, [](char ch) { return ch >= 'a' && ch <= 'z'; }))
            tied->insert(tied->begin(), bestLower);
    }
    // Nothing near enough to read: a long typo may still spell one familiar word by ear.
    if (!choice && (!tied || tied->empty()) && !misspellings.listed(typo))
        if (auto heard = loneWordByEar(typo, lexicon, isKnown);
            heard && TypoCost::weighted(typo, bestLower) > kLongWordCost)
            return heard;
    return choice;
}

std::optional<std::string> choiceByCandidates(const std::string &typo, const std::vector<std::string> &candidates,
                                              const std::function<bool(const std::string &)> &isKnown,
                                              const ScowlLexicon &lexicon, bool plainSlip,
                                              std::vector<std::string> *splits)
{
    const std::string *best = &candidates.front();
    std::string bestLower = lowered(*best);
    if (termNearRareWord(typo, bestLower, lexicon.level(*best)) || endingSwapped(typo, bestLower) ||
        gerundPlural(typo, bestLower))
        return std::nullopt;
    // A name for a name ("Efua" -> "Ecua") is a guess; so is a split ("codebase" -> "code base").
    if (std::isupper(static_cast<unsigned char>((*best)[0])) || best->find_first_of(" -") != std::string::npos)
        return std::nullopt;
    bool sameStart = bestLower[0] == typo[0] ||
                     (typo.size() > 1 && bestLower.size() > 1 && bestLower[0] == typo[1] && bestLower[1] == typo[0]);
    size_t n = letters(typo);
    double limit = n <= 4 ? kShortWordCost : n <= 7 ? kWordCost : kLongWordCost;
    // Learners mix up a first vowel they hear the same ("imotions", "anderstand"); the rest of
    // the word must then be a slip or less, and the word a common one.
    bool vowelStart = !sameStart && n >= kVowelStartLetters && isVowel(typo[0]) && isVowel(bestLower[0]) &&
                      lexicon.level(*best) <= kCommonLevel &&
                      TypoCost::weighted(typo.substr(1), bestLower.substr(1)) <= limit + 1e-9;
    // Where the best candidate is no slip, a word everyone writes may still be the one meant.
    auto common = [&] { return commonReading(typo, candidates, isKnown, lexicon); };
    // Two slips away, a rare word is a guess ("wasent" -> "wisent", "axcedant" -> "ascendant");
    // one slip from a word hardly anyone writes, the typed word is a term of its own
    // ("pcretest" is no "pretest").
    if (lexicon.contains(*best) && lexicon.level(*best) >= kRareGuessLevel &&
        (lexicon.level(*best) >= kRareWordLevel || TypoCost::editDistance(typo, bestLower, 1) > 1))
        return common();
    if (!sameStart && !vowelStart) return common();
    // A long typo far from everything but one everyday word is that word however mangled
    // ("reaserch", "posssbale"); a term that long sits far from every word.
    auto loneEveryday = [&] {
        if (n < kLoneWordLetters || !sameStart || lexicon.level(*best) > kEveryoneLevel ||
            TypoCost::weighted(typo, bestLower) > kLoneWordCost + 1e-9)
            return false;
        // Letters only added ("ununderstood") make a word built on it, often its opposite.
        size_t matched = 0;
        for (char ch : typo)
            if (matched < bestLower.size() && ch == bestLower[matched]) ++matched;
        if (matched == bestLower.size()) return false;
        double bestScore = SuggestionRanking::score(typo, bestLower, *best, lexicon.level(*best));
        for (size_t i = 1; i < candidates.size() && i < 8; ++i)
            if (lowered(candidates[i]) != bestLower &&
                SuggestionRanking::score(typo, lowered(candidates[i]), candidates[i], lexicon.level(candidates[i])) <
                    bestScore + kLoneWordMargin)
                return false;
        return true;
    };
    if (!plainSlip && !vowelStart && TypoCost::weighted(typo, bestLower) > limit + 1e-9 && !loneEveryday())
        return common();
    double bestScore = SuggestionRanking::score(typo, bestLower, *best, lexicon.level(*best));
    for (size_t i = 1; i < candidates.size() && i < 8; ++i) {
        std::string other = lowered(candidates[i]);
        if (other == bestLower) continue;
        double s = SuggestionRanking::score(typo, other, candidates[i], lexicon.level(candidates[i]));
        if (s < bestScore + kMargin) return common();
    }
    // Fragments Hunspell accepts make almost any word a compound ("docter" = "doc" + "ter"); a
    // single slip from a common word still reads as that word. Checked last: it asks the
    // dictionary about every split of the word.
    // A letter left out or doubled reads as the common word even where the letters also split
    // into two ("stressfull", "allready"). A changed letter does not: "automake" is a term.
    bool clearSlip = plainSlip && lexicon.level(*best) <= kCommonLevel &&
                     (typo.size() < bestLower.size() || doubledLetter(typo, bestLower));
    if (!clearSlip &&
        (!plainSlip || isCompound(typo, [&](const std::string &w) { return lexicon.level(w) <= kCommonLevel; })) &&
        isCompound(typo, isKnown)) {
        // One letter for another in a run of common words ("importand", "arkward") may be
        // either; a letter more is a term built on the word ("automagic", "backend").
        if (splits && typo.size() == bestLower.size() && bestLower[0] == typo[0] &&
            lexicon.level(*best) <= kCommonLevel && TypoCost::editDistance(typo, bestLower, 1) == 1)
            *splits = compoundSplits(typo, [&](const std::string &w) { return lexicon.level(w) <= kCommonLevel; });
        return std::nullopt;
    }
    return *best;
}

}  // namespace quillo::cloud::SpellingPrecision
