#include "script/Terminology.h"

#include <algorithm>

namespace script {

std::string foldCase(std::string_view word)
{
    std::string out(word);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

Terminology::Terminology(const Dictionary& dictionary)
{
    // Order of preference among terms spelt alike.
    add(dictionary.properties, Kind::Property);
    add(dictionary.commands, Kind::Command);
    add(dictionary.enumerators, Kind::Enumerator);
    add(dictionary.elements, Kind::Element);
    for (auto& [first, entries] : m_byFirstWord) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.words.size() > b.words.size(); });
    }
}

void Terminology::add(const std::vector<std::string>& terms, Kind kind)
{
    for (const std::string& term : terms) {
        Entry entry{{}, kind, &term};
        std::size_t i = 0;
        while (i < term.size()) {
            std::size_t j = term.find(' ', i);
            if (j == std::string::npos)
                j = term.size();
            if (j > i)
                entry.words.push_back(foldCase(std::string_view(term).substr(i, j - i)));
            i = j + 1;
        }
        if (!entry.words.empty())
            m_byFirstWord[entry.words.front()].push_back(std::move(entry));
    }
}

namespace {

bool startsKey(const Token& t)
{
    switch (t.kind) {
    case Token::Kind::Integer:
    case Token::Kind::Real:
    case Token::Kind::String:
    case Token::Kind::LeftParen:
    case Token::Kind::Minus:
    case Token::Kind::Identifier:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<Terminology::Match> Terminology::match(const std::vector<Token>& tokens, std::size_t at) const
{
    if (at >= tokens.size() || tokens[at].kind != Token::Kind::Word)
        return std::nullopt;
    auto it = m_byFirstWord.find(tokens[at].folded);
    if (it == m_byFirstWord.end())
        return std::nullopt;

    const Entry* best = nullptr;
    for (const Entry& entry : it->second) {
        if (best && entry.words.size() < best->words.size())
            break; // entries are longest first
        bool fits = at + entry.words.size() <= tokens.size();
        for (std::size_t k = 1; fits && k < entry.words.size(); ++k) {
            const Token& t = tokens[at + k];
            fits = t.kind == Token::Kind::Word && t.folded == entry.words[k];
        }
        if (!fits)
            continue;
        if (!best) {
            best = &entry;
        } else if (entry.kind == Kind::Element) {
            std::size_t next = at + entry.words.size();
            if (next < tokens.size() && startsKey(tokens[next]))
                best = &entry;
        }
    }
    if (!best)
        return std::nullopt;
    return Match{best->kind, best->term, best->words.size()};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace script
