#pragma once

#include <cstdint>
#include <string>

namespace script {

// A lexical token. Words are kept as written; the parser folds case when
// it compares them, because keywords, terms and variables ignore case.
struct Token {
    enum class Kind {
        Word,        // tell, name, myStr
        Identifier,  // |any text|: always a variable, never a keyword or term
        String,      // "text", escapes already applied
        Integer,
        Real,
        LeftParen,
        RightParen,
        Ampersand,
        Plus,
        Minus,
        Star,
        Slash,
        Caret,
        Equal,
        NotEqual,
        Less,
        Greater,
        LessEqual,
        GreaterEqual,
        Newline,
        End,         // end of the source
    };

    Kind kind = Kind::End;
    std::string text;       // Word/Identifier/String: the word as written or the string's value
    std::string folded;     // Word: the word in lower case, as keywords and terms are compared
    std::int64_t integer = 0;
    double real = 0.0;
    int line = 1;
    int column = 1;
};

// How a token kind is named in messages ("Expected "then" but found end of line.").
const char* describe(Token::Kind kind);

} // namespace script
