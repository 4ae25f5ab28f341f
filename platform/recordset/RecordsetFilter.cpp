#include "platform/recordset/RecordsetFilter.h"

#include "platform/AutomationError.h"

namespace fillahead {
namespace {

[[noreturn]] void fail(TextView problem) {
    throw AutomationError(error::InvalidArgument, u"Filter: " + Text(problem));
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool endsBareName(char16_t c) {
    return isSpace(c) || c == u'=' || c == u'<' || c == u'>' || c == u'\'' || c == u'[' ||
           c == u']' || c == u'(' || c == u')';
}

class Parser {
public:
    explicit Parser(TextView text) : text_(text) {}

    void skipSpaces() {
        while (at_ < text_.size() && isSpace(text_[at_])) {
            ++at_;
        }
    }
    bool atEnd() const { return at_ == text_.size(); }
    char16_t peek() const { return atEnd() ? u'\0' : text_[at_]; }

    Text fieldName() {
        skipSpaces();
        if (peek() == u'[') {
            const std::size_t close = text_.find(u']', at_ + 1);
            if (close == TextView::npos) {
                fail(u"missing ']' after the field name");
            }
            Text name(text_.substr(at_ + 1, close - at_ - 1));
            at_ = close + 1;
            if (name.empty()) {
                fail(u"empty field name '[]'");
            }
            return name;
        }
        const std::size_t start = at_;
        while (!atEnd() && !endsBareName(peek())) {
            ++at_;
        }
        if (at_ == start) {
            fail(atEnd() ? u"expected a field name"
                         : u"expected a field name at '" + rest() + u"'");
        }
        return Text(text_.substr(start, at_ - start));
    }

    // "=" or the keyword Like (any case); true for Like.
    bool comparison() {
        skipSpaces();
        if (peek() == u'=') {
            ++at_;
            return false;
        }
        const TextView word = text_.substr(at_, 4);
        if (word.size() == 4 && equalsIgnoringCase(word, u"like") &&
            (at_ + 4 == text_.size() || isSpace(text_[at_ + 4]) || text_[at_ + 4] == u'\'')) {
            at_ += 4;
            return true;
        }
        fail(u"expected '=' or 'Like' after the field name");
    }

    // A value in single quotes, a doubled quote standing for one.
    Text quotedValue(TextView after) {
        skipSpaces();
        if (peek() != u'\'') {
            fail(u"expected a value in single quotes after " + Text(after));
        }
        ++at_;
        Text value;
        for (;;) {
            const std::size_t quote = text_.find(u'\'', at_);
            if (quote == TextView::npos) {
                fail(u"unterminated quoted value");
            }
            value.append(text_.substr(at_, quote - at_));
            at_ = quote + 1;
            if (peek() != u'\'') {
                return value;
            }
            value.push_back(u'\'');
            ++at_;
        }
    }

    void end() {
        skipSpaces();
        if (!atEnd()) {
            fail(u"unexpected text after the value: '" + rest() + u"'");
        }
    }

private:
    Text rest() const {
        constexpr std::size_t kShown = 40;
        const TextView rest = text_.substr(at_);
        return rest.size() <= kShown ? Text(rest) : Text(rest.substr(0, kShown)) + u"...";
    }

    TextView text_;
    std::size_t at_ = 0;
};

bool isWildcard(char16_t c) {
    return c == u'*' || c == u'%';
}

} // namespace

FilterCriteria parseFilter(TextView criteria, const FieldLookup& findField) {
    Parser parser(criteria);
    const Text name = parser.fieldName();
    const bool like = parser.comparison();
    Text value = parser.quotedValue(like ? u"'Like'" : u"'='");
    parser.end();

    const std::optional<std::size_t> field = findField(name);
    if (!field) {
        fail(u"unknown field '" + name + u"'");
    }
    FilterCriteria result;
    result.field = *field;
    if (like) {
        // Only the first and the last character can be wildcards; anywhere
        // else '*' and '%' stand for themselves.
        const bool leading = !value.empty() && isWildcard(value.front());
        if (leading) {
            value.erase(0, 1);
        }
        const bool trailing = !value.empty() && isWildcard(value.back());
        if (trailing) {
            value.pop_back();
        }
        result.kind = leading && trailing ? MatchKind::Contains
                      : leading           ? MatchKind::EndsWith
                      : trailing          ? MatchKind::StartsWith
                                          : MatchKind::Equal;
        // '*' alone is both first and last: it matches any text.
        if (value.empty() && (leading || trailing)) {
            result.kind = MatchKind::Contains;
        }
    }
    result.value = std::move(value);
    appendSearchPattern(result.kind, result.value, result.pattern);
    return result;
}

} // namespace fillahead
