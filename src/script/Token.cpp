#include "script/Token.h"

namespace script {

const char* describe(Token::Kind kind)
{
    switch (kind) {
    case Token::Kind::Word: return "identifier";
    case Token::Kind::Identifier: return "identifier";
    case Token::Kind::String: return "string";
    case Token::Kind::Integer: return "number";
    case Token::Kind::Real: return "number";
    case Token::Kind::LeftParen: return "\"(\"";
    case Token::Kind::RightParen: return "\")\"";
    case Token::Kind::Ampersand: return "\"&\"";
    case Token::Kind::Plus: return "\"+\"";
    case Token::Kind::Minus: return "\"-\"";
    case Token::Kind::Star: return "\"*\"";
    case Token::Kind::Slash: return "\"/\"";
    case Token::Kind::Caret: return "\"^\"";
    case Token::Kind::Equal: return "\"=\"";
    case Token::Kind::NotEqual: return "\"≠\"";
    case Token::Kind::Less: return "\"<\"";
    case Token::Kind::Greater: return "\">\"";
    case Token::Kind::LessEqual: return "\"≤\"";
    case Token::Kind::GreaterEqual: return "\"≥\"";
    case Token::Kind::Newline: return "end of line";
    case Token::Kind::End: return "end of script";
    }
    return "token";
}

} // namespace script
