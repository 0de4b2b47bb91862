// The host's LISP: reading expressions, printing values as AutoLISP prints
// them, and calling functions (the host's own and those applications
// defined with acedDefun).
#pragma once

#include "host/adsdefs.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace lisp {

// Numbers. Integers are 32-bit as in AutoLISP: an integer literal beyond
// that range reads as the real of the same value when a double holds it
// exactly (2147483648 is 2147483648.0), and is an error otherwise
// (99999999999999999999). A real literal that overflows (1e400) or that
// underflows to zero while not zero (1e-400) is an error, and so is a
// token that the C library would take for a number but that is not a
// decimal one (0x10, 0x1p4): no literal is read as a different number.
// Tokens without a digit (inf, nan) and those that are no number at all
// (1+) are symbols.
//
// Nesting. Lists and quotes nest at most kMaxNesting deep; the reader
// refuses deeper text with a SyntaxError, and evaluation, printing and
// result buffers handed back by applications refuse deeper values with an
// EvalError, so that no input can exhaust the stack.
constexpr int kMaxNesting = 1000;

struct Value {
    // Void: a function that returned nothing (printed as nothing).
    enum class Kind { Nil, T, Int, Real, Str, Sym, List, Ename, Quote, Void };
    Kind kind = Kind::Nil;
    long long i = 0; // within 32 bits (see above)
    double r = 0.0;
    std::string s; // strings and symbols, UTF-8
    std::vector<Value> items;
    std::int64_t name[2] = {0, 0};
    // A dotted pair's last element (items then holds the head).
    std::shared_ptr<Value> dotted;

    static Value nil() { return Value{}; }
    static Value none()
    {
        Value v;
        v.kind = Kind::Void;
        return v;
    }
    static Value t();
    static Value integer(long long v);
    static Value real(double v);
    static Value str(std::string v);
    static Value sym(std::string v);
    static Value list(std::vector<Value> v);
    bool isNil() const { return kind == Kind::Nil || (kind == Kind::List && items.empty() && !dotted); }
};

// A text that is not a well-formed expression.
class SyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// A failed evaluation; the message is shown after "; 错误: ".
class EvalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Counts open parentheses outside strings: > 0 means the expression goes
// on in the next line.
int openDepth(const std::string& text);
// Reads every expression in the text.
std::vector<Value> read(const std::string& text);
// AutoLISP's printed form: 12, 1.5, "a\"b", (1 2 "x"), nil, T,
// <Entity name: 1a2b>.
std::string print(const Value& v);

// Result buffers to and from values: lists become RTLB ... RTLE, integers
// RTSHORT (RTLONG when they do not fit), lists of two or three numbers in
// arguments stay lists.
resbuf* toResbuf(const std::vector<Value>& args);
Value fromResbuf(const resbuf* rb);
// A list of every item of the chain.
Value listFromResbuf(const resbuf* rb);

// The names of the host's own functions, in the order they are documented.
const std::vector<std::string>& builtinNames();

// Evaluates an expression: a list is a call, a quoted value itself, a
// symbol nil/T or an error.
Value eval(const Value& v);

} // namespace lisp
